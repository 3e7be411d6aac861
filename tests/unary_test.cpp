// The unary operators and math functions: integer and double rules, the
// element-wise walk, reuse of temporary doubles, random numbers, messages.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "support.h"

using namespace vorn_test;

// From operators_test.cpp.
namespace ops_test {
std::string show(vorn_handle h);
vorn_handle words_of(std::initializer_list<int64_t> elements);
void drop(vorn_handle h);
void expect_fatal(const std::function<void()> &body, const std::string &message);
}  // namespace ops_test
using namespace ops_test;

namespace {

using unary = vorn_handle (*)(vorn_handle);

struct unary_case {
    unary op;
    int32_t code;
    bool dbl;
    double x;
    const char *want;
};

std::string run_unary(unary op, bool dbl, double x)
{
    vorn_handle r = op(dbl ? make_double(x) : static_cast<vorn_handle>(static_cast<int32_t>(x)));
    std::string s = show(r);
    drop(r);
    return s;
}

std::string run_worker(int32_t code, bool dbl, double x)
{
    operand = code;
    vorn_handle r = recursive_uop(dbl ? make_double(x) : static_cast<vorn_handle>(static_cast<int32_t>(x)));
    std::string s = show(r);
    drop(r);
    return s;
}

}  // namespace

TEST(Unary, AtomRules)
{
    leak_check leaks;
    const bool i = false, d = true;
    const unary_case cases[] = {
        {vorn_not, 13, i, 0, "1"}, {vorn_not, 13, i, 5, "0"},
        {vorn_not, 13, d, 0.0, "1d"}, {vorn_not, 13, d, 2.5, "0d"},
        {negate, 14, i, 5, "-5"}, {negate, 14, i, -1073741824, "1073741824"},
        {negate, 14, i, 1073741824, "-1073741824"}, {negate, 14, i, 1073741825, "-1073741825d"},
        {negate, 14, i, 2147483647, "-2147483647d"}, {negate, 14, d, 2.5, "-2.5d"},
        {not_bits, 18, i, 0, "-1"}, {not_bits, 18, i, 5, "-6"},
        {not_bits, 18, i, -1073741824, "1073741823"}, {not_bits, 18, i, 1073741824, "-1073741825d"},
        {not_bits, 18, d, 5.7, "-6"}, {not_bits, 18, d, -5.7, "4"},
        {not_bits, 18, d, 3e9, "2147483647"}, {not_bits, 18, d, 1.5e9, "-1500000001d"},
        {wrap_floor, 20, i, 7, "7"}, {wrap_floor, 20, d, 2.7, "2"},
        {wrap_floor, 20, d, -2.5, "-3"}, {wrap_floor, 20, d, 3.0e9, "3000000000d"},
        {wrap_floor, 20, d, -1073741824.0, "-1073741824"}, {wrap_floor, 20, d, -1073741824.5, "-1073741825d"},
        {wrap_floor, 20, d, 2147483647.0, "2147483647"}, {wrap_floor, 20, d, std::nan(""), "nand"},
        {wrap_sqrt, 26, i, 16, "4"}, {wrap_sqrt, 26, i, 2, "1"},
        {wrap_sqrt, 26, i, 10, "3"}, {wrap_sqrt, 26, i, 2147483647, "46341"},
        {wrap_sqrt, 26, i, -4, "nand"}, {wrap_sqrt, 26, d, 2.0, "1.4142135623730951d"},
        {wrap_sqrt, 26, d, -4.0, "nand"},
        {wrap_sin, 22, i, 0, "0d"},
        {wrap_cos, 23, i, 0, "1d"},
        {wrap_tan, 24, d, 0.0, "0d"},
        {wrap_arctan, 25, i, 1, "0.78539816339744828d"},
        {wrap_log, 29, i, 1, "0d"}, {wrap_log, 29, i, 0, "-infd"},
        {wrap_log, 29, d, -1.0, "nand"},
        {upper, 30, i, 97, "65"}, {upper, 30, i, 65, "65"},
        {lower, 31, i, 90, "122"}, {lower, 31, i, 49, "49"},
        {upper, 30, d, 97.0, "97d"},
        {lower, 31, d, 65.5, "65.5d"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code << " " << c.x);
        EXPECT_EQ(run_unary(c.op, c.dbl, c.x), c.want);
        EXPECT_EQ(run_worker(c.code, c.dbl, c.x), c.want);
    }
    // Inside a sequence a character is the low 16 bits, read signed; the
    // integer fast path maps the whole integer.
    EXPECT_EQ(run_unary(upper, false, 65633), "65633");
    EXPECT_EQ(run_worker(30, false, 65633), "65");
    EXPECT_EQ(run_worker(31, false, 40000), "-25536");
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Unary, TemporaryDoublesAreReused)
{
    leak_check leaks;
    vorn_handle t = make_double(0.5);
    EXPECT_EQ(negate(t), t);
    EXPECT_EQ(wrap_sin(multiply(t, -2)), t);  // sin(x * -2): one record
    EXPECT_EQ(leaks.made(), 1);
    EXPECT_NEAR(vorn_double_value(t), std::sin(1.0), 1e-15);
    EXPECT_EQ(upper(t), t);
    // Integer results release the temporary.
    EXPECT_EQ(wrap_floor(t), 0u);
    EXPECT_EQ(not_bits(make_double(2.0)), static_cast<vorn_handle>(-3));
    EXPECT_EQ(leaks.made(), 0);

    // A held double is read, never written.
    vorn_handle x = 0;
    assign(&x, make_double(2147483647.0));
    vorn_handle r = negate(x);
    EXPECT_NE(r, x);
    EXPECT_EQ(show(x) + show(r), "2147483647d-2147483647d");
    drop(r);
    // The floor of a held 2147483647.0 stays a double.
    r = wrap_floor(x);
    EXPECT_NE(r, x);
    EXPECT_EQ(show(r), "2147483647d");
    drop(r);
    r = lower(x);
    EXPECT_NE(r, x);
    drop(r);
    EXPECT_EQ(refcount(x), 1);
    assign(&x, 0);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Unary, ElementWise)
{
    leak_check leaks;
    struct {
        vorn_handle r;
        const char *want;
    } cases[] = {
        {upper(make_string("abc1")), "b{65,66,67,49}"},
        {lower(make_string("AbC")), "b{97,98,99}"},
        {negate(make_string("ab")), "{-97,-98}"},
        {vorn_not(words_of({0, 3, make_double(0.0)})), "{1,0,1d}"},
        {upper(words_of({97, 65633, words_of({98})})), "{65,65,{66}}"},
        {wrap_floor(words_of({make_double(1.5), 2, words_of({make_double(-0.5)})})), "{1,2,{-1}}"},
        {wrap_sqrt(words_of({16, 25})), "{4,5}"},
        {not_bits(make_string("")), "{}"},
    };
    for (auto &c : cases) {
        EXPECT_EQ(show(c.r), c.want);
        drop(c.r);
    }
    // A string under sin gives handles, each double held once by the result.
    vorn_handle r = wrap_sin(make_string("ab"));
    vorn_record *rr = vorn_record_of(r);
    ASSERT_EQ(rr->length, 2);
    vorn_handle *w = static_cast<vorn_handle *>(rr->data);
    ASSERT_TRUE(vorn_is_double(w[0]) && vorn_is_double(w[1]));
    EXPECT_EQ(vorn_double_value(w[0]), std::sin(97.0));
    EXPECT_EQ(refcount(w[0]), 1);
    EXPECT_EQ(refcount(w[1]), 1);
    drop(r);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Unary, RandomNumbers)
{
    leak_check leaks;
    init_system();
    auto draws = [](vorn_handle limit, int n) {
        std::string out;
        for (int k = 0; k < n; ++k) {
            vorn_handle r = wrap_rand(limit);
            out += show(r) + " ";
            drop(r);
        }
        return out;
    };
    wrap_set_rand(7);
    std::string first = draws(1000, 20);
    wrap_set_rand(7);
    EXPECT_EQ(draws(1000, 20), first);
    wrap_set_rand(8);
    EXPECT_NE(draws(1000, 20), first);

    std::set<int32_t> seen;
    for (int k = 0; k < 2000; ++k) {
        vorn_handle r = wrap_rand(6);
        ASSERT_TRUE(vorn_is_integer(r));
        seen.insert(static_cast<int32_t>(r));
        EXPECT_EQ(wrap_rand(1), 1u);
    }
    EXPECT_EQ(seen, (std::set<int32_t>{1, 2, 3, 4, 5, 6}));
    for (int k = 0; k < 200; ++k) {
        vorn_handle r = wrap_rand(make_double(6.0));
        ASSERT_TRUE(vorn_is_double(r));
        double v = vorn_double_value(r);
        EXPECT_TRUE(v >= 1.0 && v <= 6.0 && v == std::floor(v)) << v;
        drop(r);
    }
    vorn_handle r = wrap_rand(make_string("\x01\x01\x01"));
    EXPECT_EQ(show(r), "b{1,1,1}");
    drop(r);
    EXPECT_EQ(leaks.made(), 0);
}

namespace {
// The atom worker under an operator code.
vorn_handle recursive_uop_with(int32_t code, vorn_handle x)
{
    operand = code;
    return recursive_uop(x);
}
}  // namespace

TEST(Unary, Messages)
{
    expect_fatal([] { wrap_set_rand(make_double(2.0)); }, "set_rand arg. must be a integer\n");
    expect_fatal([] { recursive_uop_with(14, null_sequence); }, "Ill type in recursive_uop\n");
    expect_fatal([] { recursive_uop_with(0, 1); }, "hier mag je nooit komen !\n");
}
