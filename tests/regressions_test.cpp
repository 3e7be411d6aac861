// Faults the randomized differential test (tests/differential) found where
// it no longer reaches (keys along an assignment path), each kept as the
// smallest program that showed it; the others it checks on every run.
#include <gtest/gtest.h>

#include <string>

#include "support.h"

namespace vorn_test {
// Written forms of objects, from the path assignment suite.
vorn_handle seq(const char *written);
std::string text(vorn_handle h);
}  // namespace vorn_test

using namespace vorn_test;

// A new key added to a MAP whose value list is too short, or no sequence,
// reports what the insertion into that list reports.
TEST(Regressions, NewKeyIntoMalformedMapReportsTheInsertion)
{
    child_result r = run_child([] {
        vorn_handle m = 0;
        assign(&m, seq("{{b{97},b{98}},{10}}"));
        subscript_assign(&m, 5, 1, seq("b{99}"));
    });
    EXPECT_EQ(r.out, "RUN_TIME_ERROR : insert : subscript 2 out of range [1 .. 1]\n");
    EXPECT_EQ(r.status, 1);
    r = run_child([] {
        vorn_handle m = 0;
        assign(&m, seq("{{},7}"));
        subscript_assign(&m, 5, 1, seq("b{99}"));
    });
    EXPECT_EQ(r.out, "RUN_TIME_ERROR : insert : cann't operate on a Atom .\n");
}
