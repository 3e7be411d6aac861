// The bundled example programs run as real processes and print what they
// are meant to.
#include <gtest/gtest.h>

#include "support.h"

using namespace vorn_test;

TEST(Examples, FirstProgramEndsInItsRunTimeError)
{
    auto r = run_command(std::string(VORN_EXAMPLES_DIR) + "/first_program");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "greeting length 4, refcount 1, stored as bytes, text \"vorn\"\n"
                     "numbers  length 3, refcount 1, stored as bytes, text \"ABC\"\n"
                     "spaces   length 5, refcount 1, stored as bytes, text \".....\"\n"
                     "after alias = numbers: refcount 2, same handle: yes\n"
                     "alias    length 3, refcount 1, stored as bytes, text \"ZBC\"\n"
                     "numbers  length 3, refcount 1, stored as bytes, text \"ABC\"\n"
                     "numbers now holds 3 elements; greeting refcount 2\n"
                     "RUN_TIME_ERROR : length of an atom is undefined\n"
                     "crash routine: cleaning up before the end\n");
}
