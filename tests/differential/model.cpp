// model.cpp -- the reference model's values and its operators: atoms, the
// element-wise engine, the unary routines, the order and equality of values.
// Sequence operations live in model_sequences.cpp, text in model_text.cpp.
#include "model.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "model_internal.h"

namespace model {

bool in_integer_class(int64_t v) { return v >= -1073741824 && v <= 2147483647; }

Value integer(int64_t v)
{
    if (!in_integer_class(v))
        throw Undefined{"an integer result outside the integer class"};
    Value r;
    r.kind = Value::Kind::integer;
    r.i = static_cast<int32_t>(v);
    return r;
}

Value dbl(double d)
{
    Value r;
    r.kind = Value::Kind::dbl;
    r.d = d;
    return r;
}

Value seq(std::vector<Value> elems, Form form)
{
    Value r;
    r.kind = Value::Kind::seq;
    r.elems = std::move(elems);
    r.form = r.elems.empty() ? Form::words : form;
    return r;
}

Value text(const std::string &s)
{
    std::vector<Value> e;
    for (unsigned char c : s)
        e.push_back(integer(c));
    return seq(std::move(e), Form::bytes);
}

bool same(const Value &a, const Value &b)
{
    if (a.kind != b.kind)
        return false;
    if (a.is_int())
        return a.i == b.i;
    if (a.is_dbl()) {
        if (std::isnan(a.d) || std::isnan(b.d))
            return std::isnan(a.d) && std::isnan(b.d);
        return std::memcmp(&a.d, &b.d, sizeof a.d) == 0;
    }
    if (a.size() != b.size())
        return false;
    for (size_t k = 0; k < a.size(); ++k)
        if (!same(a.elems[k], b.elems[k]))
            return false;
    return true;
}

std::string show_double(double d)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", d);
    std::string s = buf;
    if (s.find_first_of(".enai") == std::string::npos)
        s += ".0";
    return s;
}

std::string show(const Value &v)
{
    if (v.is_int())
        return std::to_string(v.i);
    if (v.is_dbl())
        return show_double(v.d);
    std::string s = v.bytes() ? "b{" : v.unknown_form() ? "?{" : "{";
    for (size_t k = 0; k < v.size(); ++k) {
        if (k)
            s += ",";
        s += show(v.elems[k]);
    }
    return s + "}";
}

const char *code_name(int code)
{
    static const char *const names[] = {
        "add", "subtract", "multiply", "divide", "and", "or", "xor", "greater_than",
        "less_than", "equals", "not_equal", "greater_equal", "less_equal", "not", "negate",
        "or_bits", "xor_bits", "and_bits", "not_bits", "concat", "wrap_floor", "wrap_remainder",
        "wrap_sin", "wrap_cos", "wrap_tan", "wrap_arctan", "wrap_sqrt", "power", "wrap_rand",
        "wrap_log", "upper", "lower"};
    return code >= 0 && code < 32 ? names[code] : "?";
}

std::string format(const char *fmt, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

Tri stored_nonpositive(const Value &s)
{
    if (s.size() == 0 || s.bytes())
        return Tri::yes;
    return s.words() ? Tri::no : Tri::maybe;
}

Form form_of(Tri bytes_rule, bool all_bytes)
{
    if (bytes_rule == Tri::no || !all_bytes)
        return Form::words;
    return bytes_rule == Tri::yes ? Form::bytes : Form::unknown;
}

namespace {

const char *const divide_by_zero = "attempt to divide by 0\n";

// A double used as a 32-bit integer: truncated; out of range or NaN gives
// the pattern 0x80000000.
int32_t as_i32(double d)
{
    if (std::isnan(d) || d >= 2147483648.0 || d <= -2147483649.0)
        return INT32_MIN;
    return static_cast<int32_t>(d);
}

double num(const Value &a) { return a.is_int() ? a.i : a.d; }
bool truth(const Value &a) { return a.is_int() ? a.i != 0 : as_i32(a.d) != 0; }
bool is_zero(const Value &a) { return a.is_int() ? a.i == 0 : a.d == 0.0; }

Value boolean(bool b) { return integer(b ? 1 : 0); }

Value relation(int code, double x, double y)
{
    switch (code) {
    case c_gt: return boolean(x > y);
    case c_lt: return boolean(x < y);
    case c_eq: return boolean(x == y);
    case c_ne: return boolean(x != y);
    case c_ge: return boolean(x >= y);
    default: return boolean(x <= y);
    }
}

Value bits(int code, int32_t x, int32_t y)
{
    uint32_t ux = static_cast<uint32_t>(x), uy = static_cast<uint32_t>(y);
    uint32_t r = code == c_or_bits ? (ux | uy) : code == c_xor_bits ? (ux ^ uy) : (ux & uy);
    return integer(static_cast<int32_t>(r));
}

// Addition, subtraction and multiplication of two integers: an integer when
// the 32-bit result did not overflow and lies above -805306368.
Value integer_arithmetic(int code, int32_t a, int32_t b)
{
    int64_t r = code == c_add ? int64_t(a) + b : code == c_sub ? int64_t(a) - b : int64_t(a) * b;
    if (r >= INT32_MIN && r <= INT32_MAX && r > -805306368)
        return integer(r);
    double x = a, y = b;
    return dbl(code == c_add ? x + y : code == c_sub ? x - y : x * y);
}

Value integer_power(int32_t a, int32_t b)
{
    if (b == 1)
        return integer(a);
    if (a == 2 && b >= 0 && b <= 30)
        return integer(int64_t(1) << b);
    if (b == 2 && int64_t(a) * a <= INT32_MAX)
        return integer(int64_t(a) * a);
    if (b == 0)
        return integer(1);
    double p = std::pow(double(a), double(b));
    if (p > 2147483647.0 || p < -1073741824.0)
        return dbl(p);
    return integer(static_cast<int64_t>(std::floor(p + 0.5)));
}

Value two_integers(int code, int32_t a, int32_t b)
{
    switch (code) {
    case c_add: case c_sub: case c_mul:
        return integer_arithmetic(code, a, b);
    case c_div: {
        if (b == 0)
            throw Fatal{divide_by_zero};
        if (a % b != 0)
            return dbl(double(a) / double(b));
        int64_t q = int64_t(a) / b;
        if (q <= -805306368)
            throw Undefined{"an exact quotient at or below -805306368"};
        return integer(q);
    }
    case c_and: return boolean(a != 0 && b != 0);
    case c_or: return boolean(a != 0 || b != 0);
    case c_xor: return boolean((a == 0) != (b == 0));
    case c_gt: return boolean(a > b);
    case c_lt: return boolean(a < b);
    case c_eq: return boolean(a == b);
    case c_ne: return boolean(a != b);
    case c_ge: return boolean(a >= b);
    case c_le: return boolean(a <= b);
    case c_or_bits: case c_xor_bits: case c_and_bits:
        return bits(code, a, b);
    case c_rem:
        if (b == 0)
            throw Fatal{"Can't get remainder of a number divided by 0\n"};
        return integer(a % b);
    case c_power:
        return integer_power(a, b);
    }
    throw Undefined{"not a binary code"};
}

// Two atoms of which at least one is a double.
Value with_double(int code, const Value &a, const Value &b)
{
    double x = num(a), y = num(b);
    switch (code) {
    case c_and: return boolean(truth(a) && truth(b));
    case c_or: return boolean(truth(a) || truth(b));
    case c_xor: return boolean(truth(a) != truth(b));
    case c_gt: case c_lt: case c_eq: case c_ne: case c_ge: case c_le:
        return relation(code, x, y);
    case c_or_bits: case c_xor_bits: case c_and_bits:
        return bits(code, a.is_int() ? a.i : as_i32(a.d), b.is_int() ? b.i : as_i32(b.d));
    case c_add: return dbl(x + y);
    case c_sub: return dbl(x - y);
    case c_mul: return dbl(x * y);
    case c_div:
        if (is_zero(b))
            throw Fatal{divide_by_zero};
        return dbl(x / y);
    case c_rem:
        if (is_zero(b))
            throw Fatal{divide_by_zero};
        return dbl(std::fmod(x, y));
    case c_power: return dbl(std::pow(x, y));
    }
    throw Undefined{"not a binary code"};
}

Value two_atoms(int code, const Value &a, const Value &b)
{
    if (code == c_concat)
        return concat(a, b);
    if (a.is_int() && b.is_int())
        return two_integers(code, a.i, b.i);
    return with_double(code, a, b);
}

int lower_case(int c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }
int upper_case(int c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

Value integer_uop(int code, int32_t x)
{
    switch (code) {
    case c_not: return boolean(x == 0);
    case c_neg: {
        int64_t r = -int64_t(x);
        return in_integer_class(r) ? integer(r) : dbl(-double(x));
    }
    case c_not_bits: return integer(~x);
    case c_floor: return integer(x);
    case c_sin: return dbl(std::sin(double(x)));
    case c_cos: return dbl(std::cos(double(x)));
    case c_tan: return dbl(std::tan(double(x)));
    case c_arctan: return dbl(std::atan(double(x)));
    case c_log: return dbl(std::log(double(x)));
    case c_sqrt:
        if (x < 0)
            throw Undefined{"square root of a negative integer"};
        return integer(static_cast<int64_t>(std::sqrt(double(x)) + 0.5));
    case c_rand:
        throw Undefined{"random numbers are the platform generator's"};
    case c_upper: return integer(upper_case(static_cast<int16_t>(x)));
    case c_lower: return integer(lower_case(static_cast<int16_t>(x)));
    }
    throw Undefined{"not a unary code"};
}

Value double_uop(int code, double x)
{
    switch (code) {
    case c_not: return dbl(x == 0.0 ? 1.0 : 0.0);
    case c_neg: return dbl(-x);
    case c_not_bits: return integer(~as_i32(x));
    case c_floor:
        if (std::isnan(x) || x == 2147483647.0)
            throw Undefined{"floor of NaN or of exactly 2147483647.0"};
        if (x >= -1073741824.0 && x <= 2147483647.0)
            return integer(static_cast<int64_t>(std::floor(x)));
        return dbl(std::floor(x));
    case c_sin: return dbl(std::sin(x));
    case c_cos: return dbl(std::cos(x));
    case c_tan: return dbl(std::tan(x));
    case c_arctan: return dbl(std::atan(x));
    case c_log: return dbl(std::log(x));
    case c_sqrt: return dbl(std::sqrt(x));
    case c_rand:
        throw Undefined{"random numbers are the platform generator's"};
    case c_upper: case c_lower: return dbl(x);
    }
    throw Undefined{"not a unary code"};
}

Value atom_uop(int code, const Value &x) { return x.is_int() ? integer_uop(code, x.i) : double_uop(code, x.d); }

bool all_bytes(const std::vector<Value> &v)
{
    for (const Value &e : v)
        if (!e.is_byte())
            return false;
    return true;
}

}  // namespace

Value engine(int code, const Value &a, const Value &b)
{
    if (code == c_concat)
        return concat(a, b);
    if (a.is_atom() && b.is_atom())
        return two_atoms(code, a, b);
    std::vector<Value> out;
    Tri source_bytes;
    if (a.is_seq() && b.is_seq()) {
        if (a.size() != b.size())
            throw Fatal{format("Sequence lengths are not the same (%d %d)\n", int(a.size()), int(b.size()))};
        for (size_t k = 0; k < a.size(); ++k)
            out.push_back(engine(code, a.elems[k], b.elems[k]));
        Tri ab = a.bytes() ? Tri::yes : a.unknown_form() ? Tri::maybe : Tri::no;
        Tri bb = b.bytes() ? Tri::yes : b.unknown_form() ? Tri::maybe : Tri::no;
        source_bytes = (ab == Tri::yes || bb == Tri::yes) ? Tri::yes
                       : (ab == Tri::no && bb == Tri::no) ? Tri::no : Tri::maybe;
    } else {
        const Value &s = a.is_seq() ? a : b;
        for (const Value &e : s.elems)
            out.push_back(a.is_seq() ? engine(code, e, b) : engine(code, a, e));
        source_bytes = s.bytes() ? Tri::yes : s.unknown_form() ? Tri::maybe : Tri::no;
    }
    bool bytes = all_bytes(out);
    return seq(std::move(out), form_of(source_bytes, bytes));
}

Value binary_routine(int code, const Value &a, const Value &b, bool *second_untouched)
{
    *second_untouched = false;
    if (code == c_and && a.is_int()) {
        if (a.i == 0) {
            *second_untouched = true;
            return integer(0);
        }
        if (b.is_int())
            return b;
    }
    if (code == c_or && a.is_int()) {
        if (a.i != 0) {
            *second_untouched = true;
            return a;
        }
        if (b.is_int())
            return b;
        return engine(c_or, integer(0), b);
    }
    if (code == c_div && b.is_int() && b.i == 0)
        throw Fatal{divide_by_zero};
    return engine(code, a, b);
}

namespace {

Value unary_engine(int code, const Value &x)
{
    if (x.is_atom())
        return atom_uop(code, x);
    std::vector<Value> out;
    for (const Value &e : x.elems)
        out.push_back(unary_engine(code, e));
    bool bytes = all_bytes(out);
    return seq(std::move(out), form_of(x.bytes() ? Tri::yes : x.unknown_form() ? Tri::maybe : Tri::no, bytes));
}

}  // namespace

Value unary_routine(int code, const Value &x)
{
    // The inline integer forms of upper and lower map the whole integer.
    if (x.is_int() && code == c_upper)
        return integer(upper_case(x.i));
    if (x.is_int() && code == c_lower)
        return integer(lower_case(x.i));
    return unary_engine(code, x);
}

namespace {

int32_t atom_order(const Value &a, const Value &b)
{
    if (a.is_int() && b.is_int())
        return a.i > b.i ? 1 : a.i < b.i ? -1 : 0;
    double x = num(a), y = num(b);
    return x > y ? 1 : x < y ? -1 : 0;
}

}  // namespace

int32_t compare(const Value &a, const Value &b)
{
    if (a.is_atom() && b.is_atom())
        return atom_order(a, b);
    if (a.is_atom())
        return -1;
    if (b.is_atom())
        return 1;
    size_t n = std::min(a.size(), b.size());
    for (size_t k = 0; k < n; ++k)
        if (int32_t c = compare(a.elems[k], b.elems[k]))
            return c;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool equal(const Value &a, const Value &b)
{
    if (a.is_atom() && b.is_atom()) {
        if (a.is_int() && b.is_int())
            return a.i == b.i;
        return num(a) == num(b);
    }
    if (a.is_atom() || b.is_atom() || a.size() != b.size())
        return false;
    for (size_t k = 0; k < a.size(); ++k)
        if (!equal(a.elems[k], b.elems[k]))
            return false;
    return true;
}

int32_t bool_relation(int code, const Value &a, const Value &b)
{
    if (a.is_int() && b.is_int())
        return two_integers(code, a.i, b.i).i;
    switch (code) {
    case c_gt: return compare(a, b) > 0;
    case c_lt: return compare(a, b) < 0;
    case c_ge: return compare(a, b) >= 0;
    case c_le: return compare(a, b) <= 0;
    case c_eq: return equal(a, b);
    default: return !equal(a, b);
    }
}

}  // namespace model
