// Faults the randomized differential test (tests/differential) found, each
// kept as the smallest program that showed it.
#include <gtest/gtest.h>

#include <string>

#include "support.h"

namespace vorn_test {
// Written forms of objects, from the path assignment suite.
vorn_handle seq(const char *written);
std::string text(vorn_handle h);
}  // namespace vorn_test

using namespace vorn_test;

// The copy-on-write step of the assignment walk handed every level that was
// not already private (shared, a view, or no sequence at all) back to itself
// instead of to only_sequence, and never returned.
TEST(Regressions, AssignmentWalkCopiesSharedAndViewLevels)
{
    leak_check leaks;
    vorn_handle s = 0, t = 0, v = 0;
    assign(&s, seq("{1,{2,3}}"));
    assign(&t, s);
    subscript_assign(&t, 9, 2, 2, 1);
    EXPECT_EQ(text(s), "{1,{2,3}}");
    EXPECT_EQ(text(t), "{1,{9,3}}");

    assign(&v, slice(s, 1, 2));
    subscript_arithmetic_assign(0, &v, 5, 1, 1);
    slice_assign(&v, 2, 7, 1, 2);
    EXPECT_EQ(text(v), "{6,7}");
    EXPECT_EQ(vorn_record_of(v)->base, 0u);
    EXPECT_EQ(text(s), "{1,{2,3}}");

    child_result r = run_child([] {
        vorn_handle atom = 0;
        subscript_assign(&atom, 1, 1, 1);
    });
    EXPECT_EQ(r.out, "RUN_TIME_ERROR : assign subscript : cann't operate on a Atom .\n");
    EXPECT_EQ(r.status, 1);
    proc_cleanup(3, s, t, v);
    EXPECT_EQ(leaks.made(), 0);
}

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
