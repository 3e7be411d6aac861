// operators.cpp -- the binary operators: the two-integer case each operator
// settles itself, the operation on two atoms that the element-wise engine
// calls for every pair (`recursive_op`), and relations between whole objects.
#include <cmath>

#include "core.h"

using namespace vorn::core;

namespace {

// Operator codes of the binary operations.
enum : int32_t {
    op_add = 0,
    op_subtract = 1,
    op_multiply = 2,
    op_divide = 3,
    op_and = 4,
    op_or = 5,
    op_xor = 6,
    op_greater = 7,
    op_less = 8,
    op_equals = 9,
    op_not_equal = 10,
    op_greater_equal = 11,
    op_less_equal = 12,
    op_or_bits = 15,
    op_xor_bits = 16,
    op_and_bits = 17,
    op_concat = 19,
    op_remainder = 21,
    op_power = 27,
};

const char divide_by_zero[] = "attempt to divide by 0\n";
const char remainder_by_zero[] = "Can't get remainder of a number divided by 0\n";
const char no_such_operation[] = "hier mag je nooit komen !\n";

inline handle truth(bool t) { return int_handle(t ? 1 : 0); }

// ---- two integers ------------------------------------------------------------

// b is not 0.  An exact quotient stays whole; integers lie above -2^31, so
// a / b cannot trap, but -2147483647 / 1 style quotients may leave the class.
inline handle int_divide(int32_t a, int32_t b)
{
    if (a % b == 0)
        return integer_or_double(a / b);
    return make_double(static_cast<double>(a) / static_cast<double>(b));
}

// The integer power rule; pow's rounding error is absorbed by rounding to
// the nearest whole number.
handle int_power(int32_t a, int32_t b)
{
    if (b == 1)
        return int_handle(a);
    if (a == 2 && b >= 0 && b <= 30)
        return int_handle(1 << b);
    int32_t square;
    if (b == 2 && !__builtin_mul_overflow(a, a, &square))
        return int_handle(square);
    if (b == 0)
        return int_handle(1);
    double p = std::pow(static_cast<double>(a), static_cast<double>(b));
    if (p > 2147483647.0 || p < -1073741824.0)
        return make_double(p);
    return int_handle(static_cast<int32_t>(std::floor(p + 0.5)));
}

// Relation code 7..12 between two numbers of one type.
template <class T> bool relation_holds(int32_t code, T a, T b)
{
    switch (code) {
    case op_greater:
        return a > b;
    case op_less:
        return a < b;
    case op_equals:
        return a == b;
    case op_not_equal:
        return a != b;
    case op_greater_equal:
        return a >= b;
    default:  // op_less_equal
        return a <= b;
    }
}

inline bool is_relation(int32_t code) { return code >= op_greater && code <= op_less_equal; }

// The atom workers from here on are inlined into every operator, so that an
// operator's own code selects its case at compile time; the engine's worker,
// with the code read from `operand`, holds the one dispatching copy.
[[gnu::always_inline]] inline handle integers_op(int32_t code, int32_t a, int32_t b)
{
    switch (code) {
    case op_add:
        return int_add(a, b);
    case op_subtract:
        return int_subtract(a, b);
    case op_multiply:
        return int_multiply(a, b);
    case op_divide:
        if (b == 0)
            runtime_error(divide_by_zero);
        return int_divide(a, b);
    case op_and:
        return truth(a != 0 && b != 0);
    case op_or:
        return truth(a != 0 || b != 0);
    case op_xor:
        return truth((a != 0) != (b != 0));
    case op_greater:
    case op_less:
    case op_equals:
    case op_not_equal:
    case op_greater_equal:
    case op_less_equal:
        return truth(relation_holds(code, a, b));
    case op_or_bits:
        return integer_or_double(a | b);
    case op_xor_bits:
        return integer_or_double(a ^ b);
    case op_and_bits:
        return integer_or_double(a & b);
    case op_remainder:
        if (b == 0)
            runtime_error(remainder_by_zero);
        return int_handle(a % b);
    case op_power:
        return int_power(a, b);
    default:
        runtime_error(no_such_operation);
    }
}

// ---- a double on either side --------------------------------------------------

// An atom's truth: an integer when not 0, a double when its 32-bit
// truncation is not 0 (so 0.5 is false and a NaN is true).
inline bool truth_of(handle h)
{
    return is_double(h) ? truncate_to_bits(dbl_value(h)) != 0 : int_value(h) != 0;
}

inline int32_t bits_of(handle h) { return is_double(h) ? truncate_to_bits(dbl_value(h)) : int_value(h); }

[[gnu::always_inline]] inline handle arithmetic_consuming(int32_t code, handle a, handle b)
{
    double x = atom_number(a), y = atom_number(b);
    double v;
    switch (code) {
    case op_add:
        v = x + y;
        break;
    case op_subtract:
        v = x - y;
        break;
    case op_multiply:
        v = x * y;
        break;
    case op_divide:
        if (y == 0.0)
            runtime_error(divide_by_zero);
        v = x / y;
        break;
    case op_remainder:
        if (y == 0.0)
            runtime_error(divide_by_zero);
        v = std::fmod(x, y);
        break;
    default:  // op_power
        v = std::pow(x, y);
        break;
    }
    return double_result_consuming(a, b, v);
}

// Two numbers at least one of which is a double.
[[gnu::always_inline]] inline handle numbers_op_consuming(int32_t code, handle a, handle b)
{
    handle r;
    switch (code) {
    case op_add:
    case op_subtract:
    case op_multiply:
    case op_divide:
    case op_remainder:
    case op_power:
        return arithmetic_consuming(code, a, b);
    case op_and:
        r = truth(truth_of(a) && truth_of(b));
        break;
    case op_or:
        r = truth(truth_of(a) || truth_of(b));
        break;
    case op_xor:
        r = truth(truth_of(a) != truth_of(b));
        break;
    case op_greater:
    case op_less:
    case op_equals:
    case op_not_equal:
    case op_greater_equal:
    case op_less_equal:
        r = truth(relation_holds(code, atom_number(a), atom_number(b)));
        break;
    case op_or_bits:
    case op_xor_bits:
    case op_and_bits: {
        int32_t x = bits_of(a), y = bits_of(b);
        int32_t bits = code == op_or_bits ? (x | y) : code == op_xor_bits ? (x ^ y) : (x & y);
        release_pair(a, b);
        return integer_or_double(bits);
    }
    default:
        runtime_error(no_such_operation);
    }
    release_pair(a, b);
    return r;
}

// Operation `code` (not concatenation) on two atoms.
[[gnu::always_inline]] inline handle atoms_op_with(int32_t code, handle a, handle b)
{
    if (is_integer(a) && is_integer(b))
        return integers_op(code, int_value(a), int_value(b));
    if (!is_integer(a) && !is_double(a))
        runtime_error("Ill type at seq\n");
    if (!is_integer(b) && !is_double(b))
        runtime_error(is_integer(a) ? "Ill type at integer\n" : "Ill type at double\n");
    return numbers_op_consuming(code, a, b);
}

// Operation `code` on a and b: set in `operand`, then element-wise through
// the engine, or straight to the atom worker when neither is a sequence.
// Kept out of the exported operators, whose two-integer case is then small
// enough to be inlined into a caller optimised with the library.
template <int32_t code> [[gnu::noinline]] handle elementwise_with(handle a, handle b)
{
    operand = code;
    if (is_sequence(a) || is_sequence(b))
        return elementwise_consuming(a, b);
    return atoms_op_with(code, a, b);
}

}  // namespace

namespace vorn::core {

handle atoms_op_consuming(handle a, handle b)
{
    int32_t code = operand;
    if (code == op_concat)
        return concat(a, b);
    return atoms_op_with(code, a, b);
}

}  // namespace vorn::core

// Each operator settles two integers here and leaves everything else to the
// engine; all release their temporary operands, or reuse a temporary double.
namespace {

// BOOL_relation beyond two integers (and a code that is no relation).
[[gnu::noinline]] int32_t objects_relation(int32_t code, handle a, handle b)
{
    if (!is_relation(code))
        runtime_error(no_such_operation);
    bool holds;
    if (code == op_equals || code == op_not_equal)
        holds = (recursive_equal(a, b) != 0) == (code == op_equals);
    else
        holds = relation_holds(code, recursive_compare(a, b), 0);
    release_pair(a, b);
    return holds ? 1 : 0;
}

}  // namespace

VORN_FAST_PATHS_BEGIN
extern "C" {

VORN_FAST_PATH VORN_API vorn_handle add(vorn_handle a, vorn_handle b)
{
    if (is_integer(a) && is_integer(b))
        return int_add(int_value(a), int_value(b));
    return elementwise_with<op_add>(a, b);
}

VORN_FAST_PATH VORN_API vorn_handle subtract(vorn_handle a, vorn_handle b)
{
    if (is_integer(a) && is_integer(b))
        return int_subtract(int_value(a), int_value(b));
    return elementwise_with<op_subtract>(a, b);
}

VORN_FAST_PATH VORN_API vorn_handle multiply(vorn_handle a, vorn_handle b)
{
    if (is_integer(a) && is_integer(b))
        return int_multiply(int_value(a), int_value(b));
    return elementwise_with<op_multiply>(a, b);
}

// An integer 0 divisor is an error whatever the dividend is.
VORN_FAST_PATH VORN_API vorn_handle divide(vorn_handle a, vorn_handle b)
{
    if (b == int_handle(0))
        runtime_error(divide_by_zero);
    if (is_integer(a) && is_integer(b))
        return int_divide(int_value(a), int_value(b));
    return elementwise_with<op_divide>(a, b);
}

VORN_FAST_PATH VORN_API vorn_handle wrap_remainder(vorn_handle a, vorn_handle b)
{
    if (is_integer(a) && is_integer(b)) {
        if (b == int_handle(0))
            runtime_error(remainder_by_zero);
        return int_handle(int_value(a) % int_value(b));
    }
    return elementwise_with<op_remainder>(a, b);
}

VORN_API vorn_handle power(vorn_handle a, vorn_handle b)
{
    if (is_integer(a) && is_integer(b))
        return int_power(int_value(a), int_value(b));
    return elementwise_with<op_power>(a, b);
}

// An integer first operand settles `and` and `or` on its own or hands back
// an integer second operand itself; b is then neither examined nor released.
VORN_API vorn_handle vorn_and(vorn_handle a, vorn_handle b)
{
    if (is_integer(a)) {
        if (a == int_handle(0))
            return a;
        if (is_integer(b))
            return b;
    }
    return elementwise_with<op_and>(a, b);
}

VORN_API vorn_handle vorn_or(vorn_handle a, vorn_handle b)
{
    if (is_integer(a)) {
        if (a != int_handle(0))
            return a;
        if (is_integer(b))
            return b;
    }
    return elementwise_with<op_or>(a, b);
}

VORN_API vorn_handle vorn_xor(vorn_handle a, vorn_handle b)
{
    if (is_integer(a) && is_integer(b))
        return truth((int_value(a) != 0) != (int_value(b) != 0));
    return elementwise_with<op_xor>(a, b);
}

VORN_API vorn_handle and_bits(vorn_handle a, vorn_handle b)
{
    if (is_integer(a) && is_integer(b))
        return integer_or_double(int_value(a) & int_value(b));
    return elementwise_with<op_and_bits>(a, b);
}

VORN_API vorn_handle or_bits(vorn_handle a, vorn_handle b)
{
    if (is_integer(a) && is_integer(b))
        return integer_or_double(int_value(a) | int_value(b));
    return elementwise_with<op_or_bits>(a, b);
}

VORN_API vorn_handle xor_bits(vorn_handle a, vorn_handle b)
{
    if (is_integer(a) && is_integer(b))
        return integer_or_double(int_value(a) ^ int_value(b));
    return elementwise_with<op_xor_bits>(a, b);
}

VORN_FAST_PATH VORN_API vorn_handle greater_than(vorn_handle a, vorn_handle b)
{
    if (is_integer(a) && is_integer(b))
        return truth(int_value(a) > int_value(b));
    return elementwise_with<op_greater>(a, b);
}

VORN_FAST_PATH VORN_API vorn_handle less_than(vorn_handle a, vorn_handle b)
{
    if (is_integer(a) && is_integer(b))
        return truth(int_value(a) < int_value(b));
    return elementwise_with<op_less>(a, b);
}

VORN_FAST_PATH VORN_API vorn_handle greater_equal(vorn_handle a, vorn_handle b)
{
    if (is_integer(a) && is_integer(b))
        return truth(int_value(a) >= int_value(b));
    return elementwise_with<op_greater_equal>(a, b);
}

VORN_FAST_PATH VORN_API vorn_handle less_equal(vorn_handle a, vorn_handle b)
{
    if (is_integer(a) && is_integer(b))
        return truth(int_value(a) <= int_value(b));
    return elementwise_with<op_less_equal>(a, b);
}

VORN_FAST_PATH VORN_API vorn_handle equals(vorn_handle a, vorn_handle b)
{
    if (is_integer(a) && is_integer(b))
        return truth(a == b);
    return elementwise_with<op_equals>(a, b);
}

VORN_FAST_PATH VORN_API vorn_handle not_equal(vorn_handle a, vorn_handle b)
{
    if (is_integer(a) && is_integer(b))
        return truth(a != b);
    return elementwise_with<op_not_equal>(a, b);
}

VORN_API vorn_handle recursive_op(vorn_handle a, vorn_handle b) { return atoms_op_consuming(a, b); }

// The relation between two whole objects, for conditions: sequences compare
// by the total order of objects, not element by element.
VORN_FAST_PATH VORN_API int32_t BOOL_relation(int32_t code, vorn_handle a, vorn_handle b)
{
    if (is_relation(code) && is_integer(a) && is_integer(b))
        return relation_holds(code, int_value(a), int_value(b));
    return objects_relation(code, a, b);
}

}  // extern "C"
VORN_FAST_PATHS_END
