// Operators beyond the differential run: workers under their codes, math and
// random numbers, temporaries reused or computed into, and error messages.
#include <cmath>
#include <set>

#include "support.h"

using namespace vorn_test;

using Operators = store_test;
using Unary = store_test;
using ValueParsing = store_test;

namespace {

vorn_handle recursive_op_with(int32_t code, vorn_handle a, vorn_handle b)
{
    operand = code;
    return recursive_op(a, b);
}
vorn_handle recursive_uop_with(int32_t code, vorn_handle x)
{
    operand = code;
    return recursive_uop(x);
}

}  // namespace

TEST_F(Operators, WorkersUnderTheirCodesAndTheirReports)
{
    // "code a b result, ..."
    const char *table = "0 2147483647 1 2147483648d, 1 5 7 -2, 2 -6 7 -42, 3 7 2 3.5d, 3 1.0 4 0.25d, "
                        "4 2 0.5 0, 5 0 0.5 0, 6 1.0 0 1, 7 3 2.5 1, 8 nan 1 0, 9 2 2.0 1, 10 nan 1 1, "
                        "11 4 4 1, 11 1.5 1.5 1, 12 2.5 1.5 0, 15 1 2 3, 16 6 3 5, 17 -1 2.9 2, "
                        "21 -7.5 2 -1.5d, 27 2 31 2147483648d, 27 2.0 0.5 1.4142135623730951d";
    for (const auto &r : rows(table))
        EXPECT_EQ(show_drop(recursive_op_with(std::stoi(r[0]), seq(r[1].c_str()), seq(r[2].c_str()))), r[3])
            << r[0] << " " << r[1] << " " << r[2];
    operand = 19;
    EXPECT_EQ(show_drop(autosequence(make_string("ab"), make_string("c"))), "b{97,98,99}");
    EXPECT_EQ(show_drop(recursive_op(5, 6)), "b{5,6}");

    const std::string by_zero = "attempt to divide by 0\n";
    expect_fatal({
        {[] { divide(null_sequence, 0); }, by_zero},
        {[] { divide(seq("{1}"), make_double(-0.0)); }, by_zero},
        {[] { wrap_remainder(make_double(7.0), 0); }, by_zero},
        {[] { recursive_op_with(3, 1, 0); }, by_zero},
        {[] { wrap_remainder(seq("{7}"), 0); }, "Can't get remainder of a number divided by 0\n"},
        {[] { recursive_op_with(0, null_sequence, 1); }, "Ill type at seq\n"},
        {[] { recursive_op_with(0, 1, null_sequence); }, "Ill type at integer\n"},
        {[] { recursive_op_with(0, make_double(1.5), null_sequence); }, "Ill type at double\n"},
        {[] { recursive_op_with(13, 1, 2); }, "hier mag je nooit komen !\n"},
        {[] { wrap_set_rand(make_double(2.0)); }, "set_rand arg. must be a integer\n"},
        {[] { recursive_uop_with(14, null_sequence); }, "Ill type in recursive_uop\n"},
        {[] { recursive_uop_with(0, 1); }, "hier mag je nooit komen !\n"},
    });
}

TEST_F(Operators, TemporariesAreReusedAndComputedInto)
{
    // A temporary double is reused, the second operand's first; one as both operands is used once.
    vorn_handle t = make_double(1.5), u = make_double(10.0);
    EXPECT_EQ(add(t, 1), t);
    EXPECT_EQ(subtract(t, u), u);
    EXPECT_EQ(power(u, u), u);
    EXPECT_EQ(equals(u, u), 0u);  // a NaN by now
    EXPECT_EQ(and_bits(make_double(6.0), make_double(6.0)), 6u);

    // A temporary owning its storage is computed into; an element held elsewhere too (d) stays as it was.
    vorn_handle d = held(make_double(2.0)), s = build_sequence(3, make_double(1.5), d, 7),
                first = elements(s)[0];
    EXPECT_EQ(multiply(s, 2), s);
    EXPECT_EQ(elements(s)[0], first);
    EXPECT_EQ(show_drop(s) + show(d), "{3d,4d,14}2d");

    // A value the variable alone holds is changed in place by a compound assignment.
    vorn_handle text = held(make_string("hi")), before_d = d, before_text = text;
    add_to(&d, 2);
    concat_to(&text, 33);
    EXPECT_TRUE(d == before_d && text == before_text);
    EXPECT_EQ(show(d) + show(text), "4db{104,105,33}");
    let_go({&d, &text});
}

TEST_F(Unary, WorkersMathRoutinesAndReuse)
{
    const struct {
        vorn_handle (*op)(vorn_handle);
        int32_t code;
        const char *rows;  // "x result, ..."
    } cases[] = {
        {wrap_sqrt, 26, "16 4, 10 3, 2147483647 46341, -4 nand, 2.0 1.4142135623730951d"},
        {wrap_sin, 22, "0 0d, 0.0 0d"},
        {wrap_cos, 23, "0 1d"},
        {wrap_tan, 24, "0.0 0d"},
        {wrap_arctan, 25, "1 0.78539816339744828d"},
        {wrap_log, 29, "1 0d, 0 -infd, -1.0 nand"},
    };
    for (const auto &c : cases)
        for (const auto &r : rows(c.rows)) {
            EXPECT_EQ(show_drop(c.op(seq(r[0].c_str()))), r[1]) << c.code << " " << r[0];
            EXPECT_EQ(show_drop(recursive_uop_with(c.code, seq(r[0].c_str()))), r[1]) << c.code;
        }
    // Inside a sequence a character is the low 16 bits, read signed: "code x result, ...".
    EXPECT_EQ(upper(65633), 65633u);
    for (const auto &r :
         rows("13 5 0, 14 1073741824 -1073741824, 18 5.7 -6, 20 -2.5 -3, 30 65633 65, 31 40000 "
              "-25536"))
        EXPECT_EQ(show_drop(recursive_uop_with(std::stoi(r[0]), seq(r[1].c_str()))), r[2]) << r[0];

    // Temporary doubles are reused; integer results release them; a held double is never written.
    vorn_handle t = make_double(-0.5);
    EXPECT_EQ(wrap_sin(multiply(t, -2)), t);
    EXPECT_NEAR(vorn_double_value(t), std::sin(1.0), 1e-15);
    EXPECT_EQ(wrap_floor(t), 0u);
}

TEST_F(Unary, RandomNumbers)
{
    // A seed repeats the draws; every value from 1 to the limit turns up, whole doubles for a double.
    init_system();
    std::string runs[2];
    for (auto &run : runs) {
        wrap_set_rand(7);
        for (int k = 0; k < 20; ++k)
            run += show_drop(wrap_rand(1000)) + " ";
    }
    EXPECT_EQ(runs[0], runs[1]);
    std::set<std::string> seen;
    for (int k = 0; k < 2000; ++k) {
        seen.insert(show_drop(wrap_rand(6)));
        seen.insert(show_drop(wrap_rand(make_double(6.0))));
    }
    EXPECT_EQ(seen, (decltype(seen){"1", "2", "3", "4", "5", "6", "1d", "2d", "3d", "4d", "5d", "6d"}));
    EXPECT_EQ(show_drop(wrap_rand(make_string("\x01\x01\x01"))), "b{1,1,1}");
}

TEST_F(ValueParsing, LowerCaseHexadecimalDigits)
{
    EXPECT_EQ(show_drop(wrap_value(make_string("#09afAF"))), "{0,634799}");
}
