// Compound assignment: results, the integer rule, reuse of a value the
// variable alone holds, sharing left intact, and division by zero.
#include <gtest/gtest.h>

#include "support.h"

using namespace vorn_test;

namespace {

double value_of(vorn_handle h) { return vorn_double_value(h); }

// A variable holding a temporary, as `assign` leaves it.
vorn_handle held(vorn_handle h)
{
    vorn_handle v = 0;
    assign(&v, h);
    return v;
}

}  // namespace

TEST(CompoundAssignment, IntegersFollowTheIntegerRule)
{
    leak_check leaks;
    const struct {
        int32_t start;
        void (*op)(vorn_handle *, vorn_handle);
        int32_t x;
        double want;  // an integer result unless it leaves the class
        bool whole;
    } cases[] = {
        {5, add_to, 1, 6, true},
        {5, subtract_from, 10, -5, true},
        {-4, multiply_by, 3, -12, true},
        {-12, divide_by, -4, 3, true},
        {2147483647, add_to, 1, 2147483648.0, false},
        {-805306367, subtract_from, 1, -805306368.0, false},
        {65536, multiply_by, 65536, 4294967296.0, false},
        {7, divide_by, 2, 3.5, false},
    };
    for (const auto &c : cases) {
        vorn_handle v = static_cast<vorn_handle>(c.start);
        c.op(&v, static_cast<vorn_handle>(c.x));
        if (c.whole) {
            EXPECT_EQ(static_cast<int32_t>(v), static_cast<int32_t>(c.want));
            continue;
        }
        ASSERT_TRUE(vorn_is_double(v));
        EXPECT_EQ(value_of(v), c.want);
        EXPECT_EQ(refcount(v), 1);
        assign(&v, 0);
    }
    EXPECT_EQ(leaks.made(), 0);
}

TEST(CompoundAssignment, ValueHeldAloneIsReusedSharedIsNot)
{
    leak_check leaks;
    vorn_handle d = held(make_double(1.0));
    vorn_handle constant = held(make_double(1.5));  // a held operand is not reused
    vorn_handle before = d;
    add_to(&d, constant);
    EXPECT_EQ(d, before);
    EXPECT_EQ(refcount(constant), 1);
    EXPECT_EQ(value_of(d), 2.5);
    EXPECT_EQ(refcount(d), 1);

    vorn_handle other = 0;
    assign(&other, d);
    multiply_by(&d, 2);
    EXPECT_NE(d, other);
    EXPECT_EQ(value_of(d), 5.0);
    EXPECT_EQ(value_of(other), 2.5);
    EXPECT_EQ(refcount(other), 1);
    EXPECT_EQ(refcount(d), 1);

    vorn_handle s = held(build_sequence(2, 1u, 2u));
    add_to(&s, 1);
    EXPECT_EQ(equal(s, build_sequence(2, 2u, 3u)), 1);
    EXPECT_EQ(refcount(s), 1);

    vorn_handle text = held(make_string("hi"));
    before = text;
    concat_to(&text, 33);
    EXPECT_EQ(text, before);
    EXPECT_EQ(vorn_record_of(text)->length, -3);
    EXPECT_STREQ(static_cast<const char *>(vorn_record_of(text)->data), "hi!");

    vorn_handle shared = 0;
    assign(&shared, text);
    concat_to(&text, make_string("?"));
    EXPECT_NE(text, shared);
    EXPECT_EQ(vorn_record_of(shared)->length, -3);
    EXPECT_EQ(vorn_record_of(text)->length, -4);
    EXPECT_EQ(refcount(shared), 1);

    concat_to(&d, make_double(7.0));  // an atom becomes a pair
    EXPECT_EQ(length(d), 2);
    EXPECT_EQ(refcount(d), 1);

    for (vorn_handle *h : {&d, &constant, &other, &s, &text, &shared})
        assign(h, 0);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(CompoundAssignment, DivisionByZero)
{
    leak_check leaks;
    vorn_handle empty = held(build_sequence(0));
    divide_by(&empty, 0);
    EXPECT_EQ(length(empty), 0);
    assign(&empty, 0);
    EXPECT_EQ(leaks.made(), 0);

    auto r = run_child([] {
        vorn_handle v = 1;
        divide_by(&v, 0);
    });
    EXPECT_EQ(r.out, "RUN_TIME_ERROR : attempt to divide by 0\n");
    EXPECT_EQ(r.status, 1);
    r = run_child([] {
        vorn_handle v = held(build_sequence(2, 4u, make_double(1.0)));
        divide_by(&v, 0);
    });
    EXPECT_EQ(r.out, "RUN_TIME_ERROR : attempt to divide by 0\n");
    EXPECT_EQ(r.status, 1);
}
