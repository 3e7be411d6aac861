// unary.cpp -- the unary operators and the one-argument numeric built-ins:
// the integer case each settles itself, the operation on one atom that the
// element-wise engine calls (`recursive_uop`), and the random generator.
#include <cmath>
#include <ctime>

#include "core.h"

using namespace vorn::core;

namespace {

// Operator codes of the unary operations.
enum : int32_t {
    op_not = 13,
    op_negate = 14,
    op_not_bits = 18,
    op_floor = 20,
    op_sin = 22,
    op_cos = 23,
    op_tan = 24,
    op_arctan = 25,
    op_sqrt = 26,
    op_rand = 28,
    op_log = 29,
    op_upper = 30,
    op_lower = 31,
};

// ---- the random generator ------------------------------------------------------
// A 64-bit linear congruential generator of our own, so that a seed gives
// the same numbers on every machine; each draw is its top 15 bits, 0..32767.

uint64_t random_state = 0;

void seed_random(uint32_t seed)
{
    // Spread the seed over all 64 bits so that nearby seeds start far apart.
    uint64_t z = seed + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    random_state = z ^ (z >> 31);
}

int32_t next_random()
{
    random_state = random_state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<int32_t>(random_state >> 49);
}

// A whole number from 1 to x (for x >= 1), scaled in single precision.
handle random_integer(int32_t x)
{
    float f = static_cast<float>(x);
    float t = static_cast<float>(next_random()) * f;
    return int_handle(static_cast<int32_t>(t / 32768.0f) + 1);
}

// ---- integers --------------------------------------------------------------------

// Letters of the default locale exchanged, every other value unchanged.
inline int32_t upper_of(int32_t c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; }
inline int32_t lower_of(int32_t c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

// Inside a sequence a character is the element's low 16 bits, signed.
inline int32_t low_char(int32_t x) { return static_cast<int16_t>(static_cast<uint16_t>(x)); }

inline handle negated(int32_t x) { return integer_or_double(-static_cast<int64_t>(x)); }
inline handle complemented(int32_t x) { return integer_or_double(~x); }

// The whole root nearest to the square root; a negative x has none and gets
// the double NaN its root is.
handle integer_sqrt(int32_t x)
{
    double root = std::sqrt(static_cast<double>(x));
    if (x < 0)
        return make_double(root);
    return int_handle(static_cast<int32_t>(root + 0.5));
}

// The atom workers from here on are inlined into every operator, so that an
// operator's own code selects its case at compile time; the engine's worker,
// with the code read from `operand`, holds the one dispatching copy.
[[gnu::always_inline]] inline handle integer_uop(int32_t code, int32_t x)
{
    switch (code) {
    case op_not:
        return int_handle(x == 0 ? 1 : 0);
    case op_negate:
        return negated(x);
    case op_not_bits:
        return complemented(x);
    case op_floor:
        return int_handle(x);
    case op_sin:
        return make_double(std::sin(static_cast<double>(x)));
    case op_cos:
        return make_double(std::cos(static_cast<double>(x)));
    case op_tan:
        return make_double(std::tan(static_cast<double>(x)));
    case op_arctan:
        return make_double(std::atan(static_cast<double>(x)));
    case op_log:
        return make_double(std::log(static_cast<double>(x)));
    case op_sqrt:
        return integer_sqrt(x);
    case op_rand:
        return random_integer(x);
    case op_upper:
        return int_handle(upper_of(low_char(x)));
    case op_lower:
        return int_handle(lower_of(low_char(x)));
    default:
        runtime_error("hier mag je nooit komen !\n");
    }
}

// ---- doubles ---------------------------------------------------------------------

// The double v as the result for x: in x's own record when x is a
// temporary, else in a new double.
[[gnu::always_inline]] inline handle double_result_reusing(handle x, double v)
{
    if (is_temporary(rec(x))) {
        set_dbl(rec(x), v);
        return x;
    }
    return make_double(v);
}

// The floor of a double as an integer when the integer class holds it (a
// temporary x is then released), else as a double; a NaN stays a double.
handle floor_consuming(handle x)
{
    double d = dbl_value(x);
    bool temporary = is_temporary(rec(x));
    bool whole = d >= -1073741824.0 && (temporary ? d <= 2147483647.0 : d < 2147483647.0);
    if (!whole)
        return double_result_reusing(x, std::floor(d));
    int32_t v = static_cast<int32_t>(std::floor(d));
    release(x);
    return int_handle(v);
}

[[gnu::always_inline]] inline handle double_uop_consuming(int32_t code, handle x)
{
    double d = dbl_value(x);
    switch (code) {
    case op_not:
        return double_result_reusing(x, d == 0.0 ? 1.0 : 0.0);
    case op_negate:
        return double_result_reusing(x, -d);
    case op_not_bits: {
        int32_t bits = ~truncate_to_bits(d);
        release(x);
        return integer_or_double(bits);
    }
    case op_floor:
        return floor_consuming(x);
    case op_sin:
        return double_result_reusing(x, std::sin(d));
    case op_cos:
        return double_result_reusing(x, std::cos(d));
    case op_tan:
        return double_result_reusing(x, std::tan(d));
    case op_arctan:
        return double_result_reusing(x, std::atan(d));
    case op_log:
        return double_result_reusing(x, std::log(d));
    case op_sqrt:
        return double_result_reusing(x, std::sqrt(d));
    case op_rand:
        return double_result_reusing(x, std::trunc(next_random() * d / 32768.0) + 1.0);
    case op_upper:
    case op_lower:
        return double_result_reusing(x, d);
    default:
        runtime_error("hier mag je nooit komen !\n");
    }
}

// Operation `code` on one atom.
[[gnu::always_inline]] inline handle atom_uop_with(int32_t code, handle x)
{
    if (is_integer(x))
        return integer_uop(code, int_value(x));
    if (!is_double(x))
        runtime_error("Ill type in recursive_uop\n");
    return double_uop_consuming(code, x);
}

// Operation `code` on x: set in `operand`, then element-wise through the
// engine, or straight to the atom worker when x is an atom.
[[gnu::always_inline]] inline handle elementwise1_with(int32_t code, handle x)
{
    operand = code;
    if (is_sequence(x))
        return elementwise1_consuming(x);
    return atom_uop_with(code, x);
}

}  // namespace

namespace vorn::core {

handle atom_uop_consuming(handle x) { return atom_uop_with(operand, x); }

}  // namespace vorn::core

// Each routine releases its argument or reuses a temporary double for the
// result; `not`, `negate`, `not_bits`, `wrap_floor`, `upper` and `lower`
// settle an integer themselves.
extern "C" {

VORN_API vorn_handle vorn_not(vorn_handle x)
{
    if (is_integer(x))
        return int_handle(x == int_handle(0) ? 1 : 0);
    return elementwise1_with(op_not, x);
}

VORN_API vorn_handle negate(vorn_handle x)
{
    if (is_integer(x))
        return negated(int_value(x));
    return elementwise1_with(op_negate, x);
}

VORN_API vorn_handle not_bits(vorn_handle x)
{
    if (is_integer(x))
        return complemented(int_value(x));
    return elementwise1_with(op_not_bits, x);
}

VORN_API vorn_handle wrap_floor(vorn_handle x)
{
    if (is_integer(x))
        return x;
    return elementwise1_with(op_floor, x);
}

// An integer argument is mapped whole: only the codes of letters change.
VORN_API vorn_handle upper(vorn_handle x)
{
    if (is_integer(x))
        return int_handle(upper_of(int_value(x)));
    return elementwise1_with(op_upper, x);
}

VORN_API vorn_handle lower(vorn_handle x)
{
    if (is_integer(x))
        return int_handle(lower_of(int_value(x)));
    return elementwise1_with(op_lower, x);
}

VORN_API vorn_handle wrap_sin(vorn_handle x) { return elementwise1_with(op_sin, x); }
VORN_API vorn_handle wrap_cos(vorn_handle x) { return elementwise1_with(op_cos, x); }
VORN_API vorn_handle wrap_tan(vorn_handle x) { return elementwise1_with(op_tan, x); }
VORN_API vorn_handle wrap_arctan(vorn_handle x) { return elementwise1_with(op_arctan, x); }
VORN_API vorn_handle wrap_sqrt(vorn_handle x) { return elementwise1_with(op_sqrt, x); }
VORN_API vorn_handle wrap_log(vorn_handle x) { return elementwise1_with(op_log, x); }
VORN_API vorn_handle wrap_rand(vorn_handle x) { return elementwise1_with(op_rand, x); }

VORN_API void wrap_set_rand(vorn_handle seed)
{
    if (!is_integer(seed))
        runtime_error("set_rand arg. must be a integer\n");
    seed_random(seed);
}

VORN_API void init_system(void) { seed_random(static_cast<uint32_t>(std::time(nullptr))); }

VORN_API vorn_handle recursive_uop(vorn_handle x) { return atom_uop_consuming(x); }

}  // extern "C"
