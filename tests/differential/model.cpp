// model.cpp -- the reference model: values, the operators and the element-wise
// engine, order and equality, the sequence operations with their reports and
// storage forms, reading numbers out of text, and the assignment forms.
#include "model.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace model {

Value integer(int64_t v)
{
    if (v < -1073741824 || v > 2147483647)
        throw Undefined{"an integer outside the integer class"};
    Value r;
    r.i = int32_t(v);
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
    if (a.kind != b.kind || a.size() != b.size())
        return false;
    if (a.is_int())
        return a.i == b.i;
    if (a.is_dbl())
        return std::isnan(a.d) ? std::isnan(b.d) : std::memcmp(&a.d, &b.d, sizeof a.d) == 0;
    for (size_t k = 0; k < a.size(); ++k)
        if (!same(a.elems[k], b.elems[k]))
            return false;
    return true;
}

std::string show(const Value &v)
{
    char buf[64];
    if (v.is_int())
        return std::to_string(v.i);
    if (v.is_dbl()) {
        std::snprintf(buf, sizeof buf, "%.17g", v.d);
        return std::strpbrk(buf, ".enai") ? buf : std::string(buf) + ".0";
    }
    std::string s = v.bytes() ? "b{" : v.form == Form::unknown && v.size() ? "?{" : "{";
    for (size_t k = 0; k < v.size(); ++k)
        s += (k ? "," : "") + show(v.elems[k]);
    return s + "}";
}

namespace {

std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char *fmt, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

const char *const divide_by_zero = "attempt to divide by 0\n";

bool all_bytes(const std::vector<Value> &v)
{
    for (const Value &e : v)
        if (!e.is_byte())
            return false;
    return true;
}

// Bytes where the rule holds and every element is a byte.
Form form_of(bool bytes_rule, bool bytes) { return bytes_rule && bytes ? Form::bytes : Form::words; }
bool stored_nonpositive(const Value &s) { return s.size() == 0 || s.bytes(); }

// A double used as a 32-bit integer: out of range or NaN gives 0x80000000.
int32_t as_i32(double d)
{
    return std::isnan(d) || d >= 2147483648.0 || d <= -2147483649.0 ? INT32_MIN : int32_t(d);
}
double num(const Value &a) { return a.is_int() ? a.i : a.d; }
bool truth(const Value &a) { return a.is_int() ? a.i != 0 : as_i32(a.d) != 0; }
Value boolean(bool b) { return integer(b ? 1 : 0); }

Value relation(int code, double x, double y)
{
    // clang-format off
    switch (code) {
    case c_gt: return boolean(x > y);
    case c_lt: return boolean(x < y);
    case c_eq: return boolean(x == y);
    case c_ne: return boolean(x != y);
    case c_ge: return boolean(x >= y);
    default: return boolean(x <= y);
    }
    // clang-format on
}

Value bits(int code, int32_t x, int32_t y)
{
    uint32_t ux = uint32_t(x), uy = uint32_t(y);
    return integer(int32_t(code == c_or_bits ? ux | uy : code == c_xor_bits ? ux ^ uy : ux & uy));
}

// +, - and * of two integers: an integer when the result fits and lies above -805306368.
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
    return integer(int64_t(std::floor(p + 0.5)));
}

Value with_double(int code, const Value &a, const Value &b);

Value two_integers(int code, int32_t a, int32_t b)
{
    // clang-format off
    switch (code) {
    case c_add: case c_sub: case c_mul: return integer_arithmetic(code, a, b);
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
    // clang-format on
    case c_rem:
        if (b == 0)
            throw Fatal{"Can't get remainder of a number divided by 0\n"};
        return integer(a % b);
    case c_power:
        return integer_power(a, b);
    default:  // the logical, bitwise and relational operators
        return with_double(code, integer(a), integer(b));
    }
}

// Two atoms (of which at least one is a double, for the arithmetic operators).
Value with_double(int code, const Value &a, const Value &b)
{
    double x = num(a), y = num(b);
    // clang-format off
    switch (code) {
    case c_and: return boolean(truth(a) && truth(b));
    case c_or: return boolean(truth(a) || truth(b));
    case c_xor: return boolean(truth(a) != truth(b));
    case c_or_bits: case c_xor_bits: case c_and_bits: return bits(code, a.is_int() ? a.i : as_i32(a.d), b.is_int() ? b.i : as_i32(b.d));
    case c_add: return dbl(x + y);
    case c_sub: return dbl(x - y);
    case c_mul: return dbl(x * y);
    case c_div: case c_rem:
        if (y == 0.0)
            throw Fatal{divide_by_zero};
        return dbl(code == c_div ? x / y : std::fmod(x, y));
    case c_power: return dbl(std::pow(x, y));
    default: return relation(code, x, y);
    }
    // clang-format on
}

int lower_case(int c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }
int upper_case(int c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

Value atom_uop(int code, const Value &x)
{
    if (x.is_dbl()) {
        double d = x.d;
        // clang-format off
        switch (code) {
        case c_not: return dbl(d == 0.0 ? 1.0 : 0.0);
        case c_neg: return dbl(-d);
        case c_not_bits: return integer(~as_i32(d));
        case c_floor:
            if (std::isnan(d) || d == 2147483647.0)
                throw Undefined{"floor of NaN or of exactly 2147483647.0"};
            return d >= -1073741824.0 && d <= 2147483647.0 ? integer(int64_t(std::floor(d)))
                                                           : dbl(std::floor(d));
        default:
            return dbl(d);  // upper, lower
        }
        // clang-format on
    }
    // clang-format off
    switch (code) {
    case c_not: return boolean(x.i == 0);
    case c_neg: return x.i > 1073741824 ? dbl(-double(x.i)) : integer(-int64_t(x.i));
    case c_not_bits: return integer(~x.i);
    case c_floor: return x;
    case c_upper: return integer(upper_case(int16_t(x.i)));
    default: return integer(lower_case(int16_t(x.i)));
    }
    // clang-format on
}

}  // namespace

Value engine(int code, const Value &a, const Value &b)
{
    if (code == c_concat)
        return concat(a, b);
    if (a.is_atom() && b.is_atom())
        return a.is_int() && b.is_int() ? two_integers(code, a.i, b.i) : with_double(code, a, b);
    std::vector<Value> out;
    if (a.is_seq() && b.is_seq() && a.size() != b.size())
        throw Fatal{format("Sequence lengths are not the same (%d %d)\n", int(a.size()), int(b.size()))};
    const Value &s = a.is_seq() ? a : b;
    for (size_t k = 0; k < s.size(); ++k)
        out.push_back(engine(code, a.is_seq() ? a.elems[k] : a, b.is_seq() ? b.elems[k] : b));
    bool source_bytes = a.bytes() || b.bytes();
    bool bytes = all_bytes(out);
    return seq(std::move(out), form_of(source_bytes, bytes));
}

Value binary_routine(int code, const Value &a, const Value &b, bool *second_untouched)
{
    *second_untouched = false;
    if ((code == c_and || code == c_or) && a.is_int()) {
        if ((a.i == 0) == (code == c_and)) {
            *second_untouched = true;
            return code == c_and ? integer(0) : a;
        }
        if (b.is_int())
            return b;
        if (code == c_or)
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
    return seq(std::move(out), form_of(x.bytes(), bytes));
}

}  // namespace

Value unary_routine(int code, const Value &x)
{
    // The inline integer forms of upper and lower map the whole integer.
    if (x.is_int() && (code == c_upper || code == c_lower))
        return integer(code == c_upper ? upper_case(x.i) : lower_case(x.i));
    return unary_engine(code, x);
}

int32_t compare(const Value &a, const Value &b)
{
    if (a.is_atom() && b.is_atom()) {
        if (a.is_int() && b.is_int())
            return a.i > b.i ? 1 : a.i < b.i ? -1 : 0;
        return num(a) > num(b) ? 1 : num(a) < num(b) ? -1 : 0;
    }
    if (a.is_atom() || b.is_atom())
        return a.is_atom() ? -1 : 1;
    for (size_t k = 0; k < std::min(a.size(), b.size()); ++k)
        if (int32_t c = compare(a.elems[k], b.elems[k]))
            return c;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool equal(const Value &a, const Value &b)
{
    if (a.is_atom() && b.is_atom())
        return a.is_int() && b.is_int() ? a.i == b.i : num(a) == num(b);
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
    if (code == c_eq || code == c_ne)
        return equal(a, b) == (code == c_eq);
    return relation(code, compare(a, b), 0).i;
}

// ---- sequences -------------------------------------------------------------------

namespace {

std::string atom_error(const char *op) { return format("%s : cann't operate on a Atom .\n", op); }
std::string subscript_error(const char *op)
{
    return format("%s : subscript error ! should be a integer .\n", op);
}
std::string bound(const char *op, int64_t i, int64_t n)
{
    return format("%s : subscript %d out of range [1 .. %d]\n", op, int(i), int(n));
}
std::string lbound(const char *op, int64_t i, int64_t n)
{
    return format("%s : subscript %d .. out of range [1..%d]\n", op, int(i), int(n));
}
std::string hbound(const char *op, int64_t i, int64_t n)
{
    return format("%s : .. subscript %d out of range [1..%d]\n", op, int(i), int(n));
}

// An integer, or a double holding an integral 32-bit value other than -2147483648.
int64_t position(const Value &k, const char *op)
{
    if (k.is_int())
        return k.i;
    double t = k.is_dbl() ? std::trunc(k.d) : NAN;
    if (!std::isnan(t) && t > -2147483648.0 && t < 2147483648.0 && t == k.d)
        return int64_t(t);
    throw Fatal{subscript_error(op)};
}

int64_t from_end(int64_t i, int64_t n) { return i < 0 ? i + n + 1 : i; }

// A MAP: a pair of handles whose first is the sorted key list.
const Value &key_list(const Value &s, const char *malformed)
{
    if (!s.is_seq() || s.size() != 2 || !s.words())
        throw Fatal{malformed};
    const Value &keys = s.elems[0];
    if (!keys.is_seq() || (keys.size() > 0 && !keys.words()))
        throw Undefined{"a MAP whose key list is not a list of handles"};
    return keys;
}

Value part(const Value &s, size_t from, size_t count)
{
    return seq(std::vector<Value>(s.elems.begin() + long(from), s.elems.begin() + long(from + count)),
               s.form);
}

}  // namespace

int32_t cam_key_index(const Value &list, const Value &key)
{
    int64_t lo = 0, hi = int64_t(list.size()) - 1, mid = 0;
    int32_t c = 0;
    if (list.size() == 0)
        return -1;
    while (lo <= hi) {
        mid = (lo + hi) / 2;
        c = compare(key, list.elems[size_t(mid)]);
        if (c == 0)
            return int32_t(mid + 1);
        (c < 0 ? hi : lo) = c < 0 ? mid - 1 : mid + 1;
    }
    return int32_t(-((c < 0 ? mid : mid + 1) + 1));
}

Value build_sequence(const std::vector<Value> &elems) { return seq(elems, form_of(true, all_bytes(elems))); }

Value repeat(const Value &x, const Value &n)
{
    if (!n.is_int())
        throw Fatal{"sec. arg of repeat must be a integer\n"};
    if (n.i < 0)
        throw Undefined{"a negative count for repeat"};
    return seq(std::vector<Value>(size_t(n.i), x), form_of(true, x.is_byte()));
}

Value subscript(const Value &s0, const Value &i0)
{
    const Value *s = &s0;
    int64_t i;
    if (i0.is_seq()) {
        if (s->is_int() && s->i == 0)
            return integer(0);
        if (s->is_atom())
            throw Undefined{"a key applied to an atom other than 0"};
        int32_t j = cam_key_index(key_list(*s, "No valid MAP construction !"), i0);
        if (j < 0)
            throw Fatal{"Key (in MAP or CAM structure) not found !"};
        s = &s->elems[1];
        i = j;
    } else {
        i = position(i0, "subscript");
    }
    if (!s->is_seq())
        throw Fatal{atom_error("subscript")};
    int64_t n = int64_t(s->size());
    i = from_end(i, n);
    if (i < 1 || i > n)
        throw Fatal{bound("subscript", i, n)};
    return s->elems[size_t(i - 1)];
}

Value slice(const Value &s, const Value &lo0, const Value &hi0)
{
    if (!s.is_seq())
        throw Fatal{atom_error("slice")};
    int64_t n = int64_t(s.size());
    int64_t lo = from_end(position(lo0, "slice"), n), hi = from_end(position(hi0, "slice"), n);
    if (hi == lo - 1)
        return seq({}, Form::words);
    if (hi < lo)
        throw Fatal{"slice : slice length cannot be negative\n"};
    if (lo < 1 || lo > n)
        throw Fatal{lbound("slice", lo, n)};
    if (hi < 1 || hi > n)
        throw Fatal{hbound("slice", hi, n)};
    return part(s, size_t(lo - 1), size_t(hi - lo + 1));
}

Value concat(const Value &a, const Value &b)
{
    std::vector<Value> e = a.is_seq() ? a.elems : std::vector<Value>{a};
    if (b.is_seq())
        e.insert(e.end(), b.elems.begin(), b.elems.end());
    else
        e.push_back(b);
    bool rule = (a.is_seq() ? stored_nonpositive(a) : a.is_byte()) &&
                (b.is_seq() ? stored_nonpositive(b) : b.is_byte());
    return seq(std::move(e), form_of(rule, true));
}

Value insert(const Value &s, const Value &x, const Value &k0)
{
    if (k0.is_seq())
        throw Fatal{subscript_error("insert")};
    int64_t k = position(k0, "insert");
    if (!s.is_seq())
        throw Fatal{atom_error("insert")};
    int64_t n = int64_t(s.size());
    if (k < 0)
        k += n + 1;
    if (k < 0 || k > n)
        throw Fatal{bound("insert", k, n)};
    std::vector<Value> e = s.elems;
    e.insert(e.begin() + k, x);
    return seq(std::move(e), form_of(stored_nonpositive(s) && x.is_byte(), true));
}

namespace {

Value without(const Value &s, size_t k)
{
    std::vector<Value> e = s.elems;
    e.erase(e.begin() + long(k));
    return seq(std::move(e), s.form);
}

}  // namespace

Value removeindex(const Value &s, const Value &k0, bool *absent)
{
    *absent = false;
    if (!s.is_seq())
        throw Fatal{atom_error("remove")};
    if (k0.is_seq()) {
        int32_t j = cam_key_index(key_list(s, "No valid Map construction !"), k0);
        if (j < 0) {
            *absent = true;
            return seq({}, Form::words);
        }
        const Value &values = s.elems[1];
        if (!values.is_seq() || values.size() < size_t(j))
            throw Undefined{"a MAP whose value list is shorter than its keys"};
        return seq({without(s.elems[0], size_t(j - 1)), without(values, size_t(j - 1))}, Form::words);
    }
    int64_t n = int64_t(s.size()), k = from_end(position(k0, "remove"), n);
    if (k < 1 || k > n)
        throw Fatal{bound("remove", k, n)};
    return without(s, size_t(k - 1));
}

namespace {

int64_t start_of(const Value &x, const Value &s, const Value &k, bool converted, const char *op,
                 const char *atom)
{
    if (converted && k.is_seq())
        throw Fatal{subscript_error(op)};
    int64_t start = converted ? position(k, op) : k.i;
    if (!s.is_seq() || !(x.is_seq() || !std::strcmp(op, "find_from")))
        throw Fatal{atom_error(atom)};
    if (start < 0)
        throw Undefined{"a negative start"};
    if (start > int64_t(s.size()))
        throw Fatal{bound(op, start, int64_t(s.size()))};
    return start;
}

bool element_matches(const Value &x, const Value &e)
{
    if (x.is_int())
        return e.is_int() && e.i == x.i;
    if (x.is_seq())
        return e.is_seq() && equal(x, e);
    return e.is_dbl() && e.d == x.d;
}

}  // namespace

int32_t find_from(const Value &x, const Value &s, const Value &k0, bool converted)
{
    int64_t k = start_of(x, s, k0, converted, "find_from", "find's second argument");
    for (int64_t i = k; i < int64_t(s.size()); ++i)
        if (element_matches(x, s.elems[size_t(i)]))
            return int32_t(i + 1);
    return 0;
}

int32_t match_from(const Value &x, const Value &s, const Value &k0, bool converted)
{
    int64_t k = start_of(x, s, k0, converted, "match_from", "match() no arg");
    int64_t m = int64_t(x.size()), n = int64_t(s.size());
    for (int64_t i = k + 1; m <= n - k && i <= n - m + 1; ++i)
        if (compare(x, part(s, size_t(i - 1), size_t(m))) == 0)
            return int32_t(i);
    return 0;
}

// ---- text --------------------------------------------------------------------------

std::string text_of(const Value &x)
{
    if (x.is_int())
        return std::to_string(x.i);
    if (x.is_dbl())
        return format("%g", x.d);
    if (x.size() == 0)
        return " ";
    std::string s;
    for (const Value &e : x.elems) {
        if (e.is_seq())
            throw Fatal{"sequence found inside character string"};
        if (e.is_dbl() && !(std::fabs(e.d) < 2147483648.0))
            throw Undefined{"a character from a double outside the 32-bit range"};
        s += char((e.is_int() ? e.i : int32_t(e.d)) & 0xFF);
    }
    return s;
}

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }
Value pair(int32_t status, const Value &value, Form form) { return seq({integer(status), value}, form); }
Value failure(Form form) { return pair(1, integer(0), form); }

Value number_after_hash(const std::string &t, size_t p)
{
    uint32_t v = 0;
    bool octal = p < t.size() && (t[p] == 'o' || t[p] == 'O');
    for (p += octal; p < t.size() && (octal ? digit(t[p]) : std::isxdigit((unsigned char)t[p])); ++p)
        v = octal ? v * 8 + uint32_t(t[p] - '0')
                  : v * 16 + uint32_t(digit(t[p]) ? t[p] - '0' : (t[p] | 0x20) - 'a' + 10);
    if ((v & 0xC0000000u) == 0x80000000u)
        throw Undefined{"a # number outside the integer class"};
    return pair(0, integer(int32_t(v)), Form::unknown);
}

size_t digits(const std::string &t, size_t p)
{
    while (p < t.size() && digit(t[p]))
        ++p;
    return p;
}

Value parse_number(std::string t)
{
    size_t n = t.size();
    while (n > 0 && (signed char)t[n - 1] <= 32)
        --n;
    if (n == 0)
        return failure(Form::unknown);
    t.resize(n);
    size_t start = t.find_first_not_of(' '), p = start;
    if (t[start] == '#')
        return number_after_hash(t, start + 1);
    bool fractional = false;
    p += t[p] == '+' || t[p] == '-';
    bool leading_point = p < n && t[p] == '.';
    p += leading_point;
    fractional = leading_point;
    if (p >= n || !digit(t[p]))
        return failure(Form::unknown);
    p = digits(t, p);
    if (!leading_point && p < n && t[p] == '.') {
        if (p == n - 1)
            t.resize(--n);  // "12." reads as the integer 12
        else
            fractional = true, p = digits(t, p + 1);
    }
    if (p < n && (t[p] == 'e' || t[p] == 'E')) {
        fractional = true;
        p += 1 + (p + 1 < n && (t[p + 1] == '+' || t[p + 1] == '-'));
        p = digits(t, p);
    }
    if (p != n)
        return failure(Form::unknown);
    std::string number = t.substr(start);
    if (fractional)
        return pair(0, dbl(std::atof(number.c_str())), Form::words);
    errno = 0;
    long v = std::strtol(number.c_str(), nullptr, 10);
    if (errno == ERANGE || v > 2147483647L || v < -1073741824L)
        return failure(Form::unknown);
    return pair(0, integer(v), Form::unknown);
}

}  // namespace

Value wrap_value(const Value &x)
{
    if (x.is_atom()) {
        if (!x.is_byte())
            throw Undefined{"wrap_value of an atom that is not a character code"};
        return digit(char(x.i)) ? pair(0, integer(x.i - '0'), Form::bytes) : failure(Form::bytes);
    }
    return parse_number(text_of(x).c_str());
}

// ---- the assignment forms, along a path of positions ---------------------------

namespace {

// The 1-based position `k` names in `p`, checked against the stored length on
// inner levels (negative for bytes, so no byte is walked into).
int64_t index_at(const Value &p, const Value &k, const char *name, bool inner, bool slice)
{
    if (k.is_seq() && slice && !inner)
        throw Fatal{subscript_error(name)};
    if (k.is_seq())
        throw Undefined{"a key in an assignment path"};
    int64_t idx = position(k, name);
    if (!p.is_seq())
        throw Fatal{atom_error("assign subscript")};
    int64_t stored = inner && p.bytes() ? -int64_t(p.size()) : int64_t(p.size());
    if (idx < 0 && stored < 0)
        throw Undefined{"a negative position walking into bytes"};
    idx = from_end(idx, stored);
    if (idx < 1 || idx > stored)
        throw Fatal{slice ? lbound(name, idx, stored) : bound(name, idx, stored)};
    return idx;
}

// Every level of the path but the last.
Value *walk(Value &var, const std::vector<Value> &path, const char *name, bool slice)
{
    Value *p = &var;
    for (size_t t = 0; t + 1 < path.size(); ++t)
        p = &p->elems[size_t(index_at(*p, path[t], name, true, slice) - 1)];
    return p;
}

}  // namespace

// code < 0: the plain assignment.
void element_assign(int code, Value &var, const Value &v, const std::vector<Value> &path)
{
    const char *name = code < 0 ? "subscript assign" : "arth_assign";
    Value *holder = walk(var, path, name, false);
    Value &slot = holder->elems[size_t(index_at(*holder, path.back(), name, false, false) - 1)];
    slot = code < 0 ? v : engine(code, slot, v);
    if (!slot.is_byte())
        holder->form = Form::words;
}

int64_t slice_assign(int code, Value &var, const Value &hi0, const Value &v, const std::vector<Value> &path)
{
    const char *name = code < 0 ? "slice_assign" : "slice_arith_assign";
    Value *p = walk(var, path, name, true);
    int64_t lo = index_at(*p, path.back(), name, false, true), m = int64_t(p->size());
    if (hi0.is_seq())
        throw Fatal{subscript_error(name)};
    int64_t hi = from_end(position(hi0, name), m);
    if (hi < 1 || hi > m)
        throw Fatal{hbound(name, hi, m)};
    int64_t c = hi - lo + 1;
    if (c < 0)
        throw Fatal{format("%s : slice length cannot be negative\n", name)};
    if (c == 0)
        return 0;
    if (v.is_seq() && int64_t(v.size()) != c)
        throw Fatal{
            format("%s : sequence lengths are not the same (%d != %d)\n", name, int(c), int(v.size()))};
    // A list of handles widens the target; bytes into bytes stay bytes.
    if (v.words() || (code < 0 && v.is_seq() && !p->bytes()))
        p->form = Form::words;
    for (int64_t t = 0; t < c; ++t) {
        Value &slot = p->elems[size_t(lo - 1 + t)];
        const Value &x = v.is_seq() ? v.elems[size_t(t)] : v;
        slot = code < 0 ? x : engine(code, slot, x);
        if (!slot.is_byte())
            p->form = Form::words;
    }
    return c;
}

}  // namespace model
