// Searching: the matching rules of find (an integer never matches a double),
// match over bytes and handles alike, the start, temporaries destroyed on
// every path (views included), and the reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support.h"

namespace vorn_test {
// The written form of objects; defined in path_assignment_test.cpp.
vorn_handle seq(const char *written);
}  // namespace vorn_test

using namespace vorn_test;

// Rows: 'f' find or 'm' match, x, s, the start (0: the plain form), result.
TEST(FindMatch, Rules)
{
    leak_check leaks;
    const struct {
        char which;
        const char *x, *s;
        int32_t start, expected;
    } rows[] = {
        {'f', "3", "{1,2,3}", 0, 3},          {'f', "4", "{1,2,3}", 0, 0},
        {'f', "2.0", "{1,2,3}", 0, 0},        {'f', "2", "{1,2.0}", 0, 0},
        {'f', "2.5", "{1,2.5}", 0, 2},        {'f', "{1}", "{{1},1}", 0, 1},
        {'f', "{1,2}", "{{1},b{1,2}}", 0, 2}, {'f', "{}", "{1,{}}", 0, 2},
        {'f', "65", "b{66,65}", 0, 2},        {'f', "200", "b{1,200}", 0, 2},
        {'f', "65.0", "b{65}", 0, 0},         {'f', "321", "b{65}", 0, 0},
        {'f', "3", "{3,1,3}", 1, 3},          {'f', "3", "{1,2}", 2, 0},
        {'f', "66", "b{66,66}", 1, 2},        {'m', "{2,3}", "{1,2,3}", 0, 2},
        {'m', "{3,4}", "{1,2,3}", 0, 0},      {'m', "{}", "{1,2}", 0, 1},
        {'m', "{1,2,3,4}", "{1,2}", 0, 0},    {'m', "b{2,3}", "{1,2,3}", 0, 2},
        {'m', "{2,3}", "b{1,2,3}", 0, 2},     {'m', "{2.0}", "{1,2}", 0, 2},
        {'m', "{{1}}", "{1,{1}}", 0, 2},      {'m', "b{1,2}", "b{1,2,1,2}", 1, 3},
        {'m', "b{2,1}", "b{1,2,1,2}", 0, 2},  {'m', "b{3}", "b{1,2}", 0, 0},
        {'m', "{}", "{1,2}", 2, 3},           {'m', "{2}", "{1,2}", 2, 0},
    };
    for (const auto &r : rows) {
        vorn_handle x = seq(r.x), s = seq(r.s), k = static_cast<vorn_handle>(r.start);
        int32_t at = r.which == 'f' ? (r.start == 0 ? find(x, s) : find_from(x, s, k))
                                    : (r.start == 0 ? match(x, s) : match_from(x, s, k));
        EXPECT_EQ(at, r.expected) << r.which << " " << r.x << " in " << r.s << " after " << r.start;
    }
    EXPECT_EQ(leaks.made(), 0);
}

TEST(FindMatch, TemporariesGoOnEveryPath)
{
    leak_check leaks;
    vorn_handle held = 0;
    assign(&held, seq("{1,2,3}"));
    vorn_handle t = seq("{1,2,3}");
    EXPECT_EQ(match(slice(t, 2, 3), t), 2);  // x a view of the temporary s
    t = seq("{1,2,3}");
    EXPECT_EQ(find(slice(t, 1, 2), t), 0);
    t = seq("b{1,2,3}");
    EXPECT_EQ(match(t, t), 1);                                 // one temporary passed as both
    EXPECT_EQ(match(seq("{3}"), slice(held, 2, 3)), 2);        // s a temporary view
    EXPECT_EQ(match(seq("{1,2,3,4}"), slice(held, 1, 2)), 0);  // no room
    EXPECT_EQ(find(held, held), 0);
    EXPECT_EQ(refcount(held), 1);
    assign(&held, 0);

    // With the free list empty, a record read after it was freed has count 0
    // and would be destroyed a second time.
    std::vector<int32_t> spare;
    while (free_tail != 0)
        spare.push_back(new_object());
    t = seq("{1,2,3}");
    EXPECT_EQ(find(slice(t, 1, 2), t), 0);
    for (int32_t i : spare)
        destroy(vorn_double_handle(i));
    EXPECT_EQ(leaks.made(), 0);
}

TEST(FindMatch, Reports)
{
    const struct {
        std::function<void()> body;
        const char *message;
    } rows[] = {
        {[] { find(1, 5); }, "find's second argument : cann't operate on a Atom .\n"},
        {[] { find_from(3, seq("{1,2}"), 3); }, "find_from : subscript 3 out of range [1 .. 2]\n"},
        {[] { find_from(3, seq("{1,2}"), static_cast<vorn_handle>(-1)); },
         "find_from : subscript -1 out of range [1 .. 2]\n"},
        {[] { find_from(3, seq("{1,2}"), seq("1.5")); },
         "find_from : subscript error ! should be a integer .\n"},
        {[] { match(seq("{1}"), 1); }, "match() no arg : cann't operate on a Atom .\n"},
        {[] { match_from(seq("{1}"), seq("b{1,2}"), 3); },
         "match_from : subscript 3 out of range [1 .. 2]\n"},
        {[] { match_from(seq("{1}"), seq("{1}"), seq("{}")); },
         "match_from : subscript error ! should be a integer .\n"},
    };
    for (const auto &r : rows) {
        child_result c = run_child(r.body);
        EXPECT_EQ(c.out, std::string("RUN_TIME_ERROR : ") + r.message);
        EXPECT_EQ(c.status, 1);
    }
}
