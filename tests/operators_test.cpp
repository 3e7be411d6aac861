// The binary operators: the two-integer rules, atoms of mixed kinds, the
// element-wise engine over bytes and handles, reuse of temporary doubles,
// whole-object relations, and every message the operators report.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support.h"

using namespace vorn_test;

// Helpers shared with the unary and value-parsing suites.
namespace ops_test {

// A compact picture of an object: 5, 2.5d (a double), {1,2} (handles),
// b{1,2} (bytes), nested as stored.
std::string show(vorn_handle h)
{
    if (vorn_is_integer(h))
        return std::to_string(static_cast<int32_t>(h));
    if (vorn_is_double(h)) {
        double d = vorn_double_value(h);
        if (std::isnan(d))
            return "nand";
        char text[40];
        snprintf(text, sizeof text, "%.17gd", d);
        return text;
    }
    if (!vorn_is_sequence(h))
        return "?";
    vorn_record *r = vorn_record_of(h);
    std::string out = r->length < 0 ? "b{" : "{";
    int32_t n = r->length < 0 ? -r->length : r->length;
    for (int32_t k = 0; k < n; ++k) {
        if (k > 0)
            out += ",";
        out += r->length < 0 ? std::to_string(static_cast<unsigned char *>(r->data)[k])
                             : show(static_cast<vorn_handle *>(r->data)[k]);
    }
    return out + "}";
}

// A sequence of handles (never packed into bytes) holding the elements:
// integers (negative ones too) and handles.
vorn_handle words_of(std::initializer_list<int64_t> elements)
{
    vorn_handle s = vorn_sequence_handle(new_sequence());
    auto *w = static_cast<vorn_handle *>(malloc(elements.size() * sizeof(vorn_handle) + 1));
    size_t k = 0;
    for (int64_t e : elements)
        w[k++] = reference(static_cast<vorn_handle>(e));
    vorn_record *r = vorn_record_of(s);
    r->data = w;
    r->length = static_cast<int32_t>(elements.size());
    return s;
}

// Destroys a result nobody holds.
void drop(vorn_handle h)
{
    if (vorn_is_object(h) && refcount(h) == 0)
        destroy(h);
}

// A fatal run in a child: exactly this message on standard output, status 1.
void expect_fatal(const std::function<void()> &body, const std::string &message)
{
    auto r = run_child(body);
    EXPECT_EQ(r.out, "RUN_TIME_ERROR : " + message);
    EXPECT_EQ(r.status, 1);
}

}  // namespace ops_test

using namespace ops_test;

namespace {

using binary = vorn_handle (*)(vorn_handle, vorn_handle);

// An atom operand, made fresh (a temporary) for every run.
struct atom {
    bool dbl;
    double v;
    vorn_handle make() const { return dbl ? make_double(v) : static_cast<vorn_handle>(static_cast<int32_t>(v)); }
};
atom I(int32_t v) { return {false, static_cast<double>(v)}; }
atom D(double v) { return {true, v}; }

struct binary_case {
    binary op;
    int32_t code;
    atom a, b;
    const char *want;
};

// The result of the operator, and of the atom worker under the same code.
std::string run_operator(binary op, atom a, atom b)
{
    vorn_handle r = op(a.make(), b.make());
    std::string s = show(r);
    drop(r);
    return s;
}
std::string run_worker(int32_t code, atom a, atom b)
{
    operand = code;
    vorn_handle r = recursive_op(a.make(), b.make());
    std::string s = show(r);
    drop(r);
    return s;
}

}  // namespace

TEST(Operators, TwoIntegers)
{
    leak_check leaks;
    const binary_case cases[] = {
        {add, 0, I(2), I(3), "5"}, {add, 0, I(2147483647), I(1), "2147483648d"},
        {add, 0, I(-805306367), I(0), "-805306367"}, {add, 0, I(-805306368), I(0), "-805306368d"},
        {add, 0, I(-1073741824), I(-1073741824), "-2147483648d"},
        {subtract, 1, I(-805306367), I(1), "-805306368d"}, {subtract, 1, I(5), I(7), "-2"},
        {subtract, 1, I(2147483647), I(-1), "2147483648d"},
        {multiply, 2, I(65536), I(32768), "2147483648d"}, {multiply, 2, I(-1073741824), I(1), "-1073741824d"},
        {multiply, 2, I(-6), I(7), "-42"},
        {divide, 3, I(7), I(2), "3.5d"}, {divide, 3, I(6), I(3), "2"},
        {divide, 3, I(-7), I(2), "-3.5d"}, {divide, 3, I(2147483647), I(-1), "-2147483647d"},
        {divide, 3, I(-1073741824), I(-1), "1073741824"},
        {wrap_remainder, 21, I(7), I(-2), "1"}, {wrap_remainder, 21, I(-7), I(2), "-1"},
        {wrap_remainder, 21, I(-1073741824), I(-1), "0"},
        {power, 27, I(2), I(10), "1024"}, {power, 27, I(2), I(30), "1073741824"},
        {power, 27, I(2), I(31), "2147483648d"}, {power, 27, I(-3), I(3), "-27"},
        {power, 27, I(3), I(3), "27"}, {power, 27, I(2), I(-1), "1"},
        {power, 27, I(3), I(-1), "0"}, {power, 27, I(3), I(40), "1.2157665459056929e+19d"},
        {power, 27, I(50000), I(2), "2500000000d"}, {power, 27, I(-46340), I(2), "2147395600"},
        {power, 27, I(-2), I(31), "-2147483648d"}, {power, 27, I(0), I(-1), "infd"},
        {power, 27, I(9), I(0), "1"}, {power, 27, I(9), I(1), "9"},
        {vorn_xor, 6, I(0), I(5), "1"}, {vorn_xor, 6, I(3), I(5), "0"},
        {vorn_xor, 6, I(0), I(0), "0"},
        {and_bits, 17, I(12), I(10), "8"},
        {or_bits, 15, I(1), I(2), "3"},
        {xor_bits, 16, I(6), I(3), "5"}, {xor_bits, 16, I(1073741824), I(-1), "-1073741825d"},
        {and_bits, 17, I(-1), I(-1073741824), "-1073741824"},
        {greater_than, 7, I(2), I(1), "1"}, {greater_than, 7, I(-1), I(1), "0"},
        {less_than, 8, I(-1), I(1), "1"},
        {equals, 9, I(4), I(4), "1"},
        {not_equal, 10, I(4), I(4), "0"},
        {greater_equal, 11, I(4), I(4), "1"},
        {less_equal, 12, I(5), I(4), "0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code << " " << c.a.v << ", " << c.b.v);
        EXPECT_EQ(run_operator(c.op, c.a, c.b), c.want);
        EXPECT_EQ(run_worker(c.code, c.a, c.b), c.want);
    }
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Operators, AndOrHandBackAnOperand)
{
    leak_check leaks;
    EXPECT_EQ(vorn_and(3, 5), 5u);
    EXPECT_EQ(vorn_and(0, 7), 0u);
    EXPECT_EQ(vorn_or(0, 7), 7u);
    EXPECT_EQ(vorn_or(4, 9), 4u);
    EXPECT_EQ(vorn_or(0, 0), 0u);
    // The worker gives truth values for the same pairs.
    EXPECT_EQ(run_worker(4, I(3), I(5)), "1");
    EXPECT_EQ(run_worker(5, I(0), I(7)), "1");

    // A first operand that settles the result leaves the second untouched.
    vorn_handle s = words_of({1, 2});
    EXPECT_EQ(vorn_and(0, s), 0u);
    EXPECT_EQ(vorn_or(4, s), 4u);
    EXPECT_EQ(refcount(s), 0);
    EXPECT_EQ(show(s), "{1,2}");
    // 0 or a sequence goes element-wise; so does and with a true integer.
    vorn_handle r = vorn_or(0, s);
    EXPECT_EQ(show(r), "{1,1}");
    drop(r);
    s = words_of({0, 2});
    r = vorn_and(2, s);
    EXPECT_EQ(show(r), "{0,1}");
    drop(r);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Operators, MixedAtoms)
{
    leak_check leaks;
    const double nan = std::nan("");
    const binary_case cases[] = {
        {add, 0, I(1), D(2.5), "3.5d"},
        {subtract, 1, D(1.5), I(3), "-1.5d"},
        {multiply, 2, D(2.0), I(3), "6d"},
        {divide, 3, D(1.0), I(4), "0.25d"}, {divide, 3, I(1), D(-0.5), "-2d"},
        {wrap_remainder, 21, D(7.5), I(2), "1.5d"}, {wrap_remainder, 21, D(-7.5), I(2), "-1.5d"},
        {power, 27, D(2.0), D(0.5), "1.4142135623730951d"}, {power, 27, I(4), D(0.5), "2d"},
        {vorn_and, 4, I(2), D(0.5), "0"}, {vorn_and, 4, D(2.5), I(3), "1"},
        {vorn_and, 4, I(2), D(nan), "1"},
        {vorn_or, 5, I(0), D(0.5), "0"}, {vorn_or, 5, D(-0.9), D(3e9), "1"},
        {vorn_xor, 6, D(0.0), I(0), "0"}, {vorn_xor, 6, D(1.0), I(0), "1"},
        {equals, 9, D(1.5), D(1.5), "1"}, {equals, 9, I(2), D(2.0), "1"},
        {greater_equal, 11, D(1.5), D(1.5), "1"},
        {less_equal, 12, D(2.5), D(1.5), "0"},
        {not_equal, 10, D(1.5), D(2.5), "1"},
        {greater_than, 7, I(3), D(2.5), "1"},
        {less_than, 8, I(2), D(2.0), "0"},
        {equals, 9, D(nan), D(nan), "0"},
        {not_equal, 10, D(nan), I(1), "1"},
        {greater_equal, 11, D(nan), I(1), "0"},
        {less_than, 8, D(nan), I(1), "0"},
        {and_bits, 17, I(-1), D(2.9), "2"},
        {or_bits, 15, D(-2.9), I(1), "-1"},
        {and_bits, 17, I(-1), D(-1.5e9), "-1500000000d"},
        {xor_bits, 16, D(3e9), I(0), "-2147483648d"}, {xor_bits, 16, D(nan), I(-1), "2147483647"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code << " " << c.a.v << ", " << c.b.v);
        EXPECT_EQ(run_operator(c.op, c.a, c.b), c.want);
        EXPECT_EQ(run_worker(c.code, c.a, c.b), c.want);
    }
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Operators, TemporaryDoublesAreReused)
{
    leak_check leaks;
    // The second operand's record first, then the first's.
    vorn_handle t = make_double(1.5);
    vorn_handle r = add(t, 1);
    EXPECT_EQ(r, t);
    EXPECT_EQ(show(r), "2.5d");
    EXPECT_EQ(refcount(r), 0);
    EXPECT_EQ(add(2, r), t);
    vorn_handle u = make_double(10.0);
    r = subtract(t, u);
    EXPECT_EQ(r, u);
    EXPECT_EQ(show(r), "-5.5d");
    EXPECT_EQ(leaks.made(), 1);  // t went back to the free list
    drop(r);

    // Held doubles are never written: a new record, both left alone.
    vorn_handle x = 0, y = 0;
    assign(&x, make_double(3.0));
    assign(&y, make_double(4.0));
    r = multiply(x, y);
    EXPECT_TRUE(r != x && r != y);
    EXPECT_EQ(show(x) + show(y) + show(r), "3d4d12d");
    drop(r);
    // A held second operand: the temporary first operand holds the result.
    t = make_double(0.5);
    EXPECT_EQ(divide(t, y), t);
    EXPECT_EQ(refcount(y), 1);
    drop(t);

    // ((x + 1.5) * 2) - y makes one record, whatever the chain.
    int before = leaks.made();
    r = subtract(multiply(add(x, make_double(1.5)), 2), y);
    EXPECT_EQ(show(r), "5d");
    EXPECT_EQ(leaks.made(), before + 1);
    drop(r);

    // One temporary as both operands is used once and released once.
    t = make_double(2.0);
    EXPECT_EQ(power(t, t), t);
    EXPECT_EQ(show(t), "4d");
    EXPECT_EQ(equals(t, t), 1u);
    t = make_double(6.0);
    EXPECT_EQ(and_bits(t, t), 6u);
    EXPECT_EQ(leaks.made(), before);
    assign(&x, 0);
    assign(&y, 0);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Operators, ElementWiseShapesAndStorage)
{
    leak_check leaks;
    const char high[] = {'a', static_cast<char>(200), 0};
    struct {
        vorn_handle r;
        const char *want;
    } cases[] = {
        {equals(make_string("abc"), make_string("abd")), "b{1,1,0}"},
        {add(make_string(high), 1), "b{98,201}"}, {add(make_string(high), 100), "{197,300}"},
        {add(words_of({1, words_of({2, 3})}), 1), "{2,{3,4}}"},
        {subtract(10, make_string("ab")), "{-87,-88}"},
        {add(make_string("ab"), words_of({1, 300})), "{98,398}"},
        {add(make_string("ab"), words_of({1, 1})), "b{98,99}"},
        {add(make_string("ab"), words_of({1, words_of({1, 2})})), "{98,{99,100}}"},
        {add(words_of({1, 2}), words_of({3, 4})), "{4,6}"},
        {multiply(words_of({1, 2}), make_double(0.5)), "{0.5d,1d}"},
        {wrap_remainder(words_of({7, -7}), 2), "{1,-1}"},
        {divide(null_sequence, make_double(0.0)), "{}"},
        {add(make_string(""), make_string("")), "{}"},
        {greater_than(make_string("az"), 'b'), "b{0,1}"},
        {xor_bits(words_of({1073741824}), -1), "{-1073741825d}"},
    };
    for (auto &c : cases) {
        EXPECT_EQ(show(c.r), c.want);
        drop(c.r);
    }
    // Sub-results are held once by the result; the operands were released.
    vorn_handle r = add(words_of({1, words_of({2, 3})}), make_double(0.5));
    vorn_handle *w = static_cast<vorn_handle *>(vorn_record_of(r)->data);
    EXPECT_EQ(refcount(w[0]), 1);
    EXPECT_EQ(refcount(w[1]), 1);
    EXPECT_EQ(leaks.made(), 5);  // the result, 1.5, the inner sequence, 2.5, 3.5
    drop(r);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Operators, AtomOperandOutlivesTheElements)
{
    leak_check leaks;
    vorn_handle t = make_double(0.5);
    vorn_handle r = add(t, words_of({1, 2, 3}));
    EXPECT_EQ(show(r), "{1.5d,2.5d,3.5d}");
    vorn_handle *w = static_cast<vorn_handle *>(vorn_record_of(r)->data);
    EXPECT_TRUE(w[0] != w[1] && w[1] != w[2] && w[0] != t && w[1] != t && w[2] != t);
    EXPECT_EQ(refcount(w[0]) + refcount(w[1]) + refcount(w[2]), 3);
    EXPECT_EQ(leaks.made(), 4);  // the temporary double is gone
    drop(r);

    // Held operands keep their values and counts.
    vorn_handle s = 0, d = 0;
    assign(&s, words_of({1, 2}));
    assign(&d, make_double(2.0));
    r = multiply(s, d);
    EXPECT_EQ(show(r), "{2d,4d}");
    EXPECT_EQ(refcount(s), 1);
    EXPECT_EQ(refcount(d), 1);
    EXPECT_EQ(show(s), "{1,2}");
    drop(r);
    assign(&s, 0);
    assign(&d, 0);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Operators, EngineEntryPoints)
{
    leak_check leaks;
    operand = 19;
    vorn_handle r = autosequence(make_string("ab"), make_string("c"));
    EXPECT_EQ(show(r), "b{97,98,99}");
    drop(r);
    r = recursive_op(5, 6);
    EXPECT_EQ(show(r), "b{5,6}");
    drop(r);
    operand = 2;
    r = autosequence(words_of({2, 3}), 4);
    EXPECT_EQ(show(r), "{8,12}");
    drop(r);
    EXPECT_EQ(autosequence(6, 7), 42u);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Operators, WholeObjectRelations)
{
    leak_check leaks;
    EXPECT_EQ(BOOL_relation(9, make_string("abc"), make_string("abc")), 1);
    EXPECT_EQ(BOOL_relation(10, make_string("abc"), make_string("abd")), 1);
    EXPECT_EQ(BOOL_relation(7, words_of({1, 2, 3}), words_of({1, 2})), 1);
    EXPECT_EQ(BOOL_relation(8, 5, null_sequence), 1);
    EXPECT_EQ(BOOL_relation(11, 2, 2), 1);
    EXPECT_EQ(BOOL_relation(12, 3, 2), 0);
    EXPECT_EQ(BOOL_relation(10, make_double(2.0), 2), 0);
    EXPECT_EQ(BOOL_relation(12, make_string("ab"), words_of({97, 98})), 1);
    vorn_handle t = make_string("x");
    EXPECT_EQ(BOOL_relation(9, t, t), 1);
    EXPECT_EQ(leaks.made(), 0);

    vorn_handle held = 0;
    assign(&held, make_string("abc"));
    EXPECT_EQ(BOOL_relation(11, held, make_string("abb")), 1);
    EXPECT_EQ(refcount(held), 1);
    assign(&held, 0);
    EXPECT_EQ(leaks.made(), 0);
}

namespace {
// The atom worker under an operator code.
vorn_handle recursive_op_with(int32_t code, vorn_handle a, vorn_handle b)
{
    operand = code;
    return recursive_op(a, b);
}
}  // namespace

TEST(Operators, Messages)
{
    const std::string by_zero = "attempt to divide by 0\n";
    expect_fatal([] { divide(7, 0); }, by_zero);
    expect_fatal([] { divide(null_sequence, 0); }, by_zero);
    expect_fatal([] { divide(make_double(7.0), 0); }, by_zero);
    expect_fatal([] { divide(7, make_double(0.0)); }, by_zero);
    expect_fatal([] { divide(words_of({1}), make_double(-0.0)); }, by_zero);
    expect_fatal([] { wrap_remainder(make_double(7.0), 0); }, by_zero);
    expect_fatal([] { wrap_remainder(7, make_double(0.0)); }, by_zero);
    expect_fatal([] { recursive_op_with(3, 1, 0); }, by_zero);
    const std::string no_remainder = "Can't get remainder of a number divided by 0\n";
    expect_fatal([] { wrap_remainder(7, 0); }, no_remainder);
    expect_fatal([] { wrap_remainder(words_of({7}), 0); }, no_remainder);
    expect_fatal([] { add(words_of({1, 2}), make_string("abc")); }, "Sequence lengths are not the same (2 3)\n");
    expect_fatal([] { recursive_op_with(0, null_sequence, 1); }, "Ill type at seq\n");
    expect_fatal([] { recursive_op_with(0, 1, null_sequence); }, "Ill type at integer\n");
    expect_fatal([] { recursive_op_with(0, make_double(1.5), null_sequence); }, "Ill type at double\n");
    expect_fatal([] { recursive_op_with(13, 1, 2); }, "hier mag je nooit komen !\n");
}
