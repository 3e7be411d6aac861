// model.h -- the reference model of the differential test and the fuzz targets: plain
// values (no records, no sharing) with the core's results, reports and storage forms, and
// the bridge to the object table.
#pragma once

#include <vorn.h>

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace model {

// How a non-empty sequence is stored; `unknown` where the rules leave it open.
enum class Form { words, bytes, unknown };

// `any`: a value the model does not state; it matches whatever vorn gives.
struct Value {
    enum class Kind { integer, dbl, seq, any } kind = Kind::integer;
    int32_t i = 0;
    double d = 0.0;
    std::vector<Value> elems;
    Form form = Form::words;

    bool is_int() const { return kind == Kind::integer; }
    bool is_dbl() const { return kind == Kind::dbl; }
    bool is_seq() const { return kind == Kind::seq; }
    bool is_atom() const { return is_int() || is_dbl(); }
    bool is_byte() const { return is_int() && i >= 0 && i <= 255; }
    size_t size() const { return elems.size(); }
    bool bytes() const { return is_seq() && !elems.empty() && form == Form::bytes; }
    bool words() const { return is_seq() && !elems.empty() && form == Form::words; }
};

struct Fatal {  // the report the library must give (after "RUN_TIME_ERROR : ")
    std::string message;
};
struct Undefined {};  // an outcome the rules leave open: the step is not run

// Operator codes of the element-wise engine.
enum Code { c_add, c_sub, c_mul, c_div, c_and, c_or, c_xor, c_gt, c_lt, c_eq, c_ne, c_ge, c_le };
enum Code2 { c_not = 13, c_neg, c_or_bits, c_xor_bits, c_and_bits, c_not_bits, c_concat, c_floor };
enum Code3 { c_rem = 21, c_power = 27, c_upper = 30, c_lower = 31 };

Value integer(int64_t v)
{
    if (v < -1073741824 || v > 2147483647)
        throw Undefined{};
    return Value{Value::Kind::integer, int32_t(v), 0.0, {}, Form::words};
}

Value dbl(double d) { return Value{Value::Kind::dbl, 0, d, {}, Form::words}; }
Value seq(std::vector<Value> e, Form form) { return Value{Value::Kind::seq, 0, 0.0, std::move(e), form}; }
Value unstated() { return Value{Value::Kind::any, 0, 0.0, {}, Form::unknown}; }

Value text(const std::string &s)
{
    std::vector<Value> e;
    for (unsigned char c : s)
        e.push_back(integer(c));
    return seq(std::move(e), Form::bytes);
}

bool holds(const Value &got, const Value &want)
{
    if (want.kind == Value::Kind::any)
        return true;
    if (got.kind != want.kind || got.size() != want.size())
        return false;
    if (want.is_dbl())
        return std::isnan(want.d) ? std::isnan(got.d) : std::memcmp(&got.d, &want.d, sizeof got.d) == 0;
    if (want.form != Form::unknown && want.size() > 0 && got.form != want.form)
        return false;
    for (size_t k = 0; k < want.size(); ++k)
        if (!holds(got.elems[k], want.elems[k]))
            return false;
    return got.i == want.i;
}

__attribute__((format(printf, 1, 2))) std::string format(const char *fmt, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

std::string show(const Value &v)
{
    if (!v.is_seq())
        return v.is_int() ? std::to_string(v.i) : v.is_dbl() ? format("%.17gd", v.d) : "?";
    std::string s = v.bytes() ? "b{" : "{";
    for (size_t k = 0; k < v.size(); ++k)
        s += (k ? "," : "") + show(v.elems[k]);
    return s + "}";
}

const char *const divide_by_zero = "attempt to divide by 0\n";
// The shared reports, each after the operation's name.
const char *const atom_error = "%s : cann't operate on a Atom .\n";
const char *const subscript_error = "%s : subscript error ! should be a integer .\n";
const char *const bound = "%s : subscript %d out of range [1 .. %d]\n";
const char *const lbound = "%s : subscript %d .. out of range [1..%d]\n";
const char *const hbound = "%s : .. subscript %d out of range [1..%d]\n";

// Bytes where the rule allows them and every element is a byte.
Form form_of(bool bytes_rule, const std::vector<Value> &e)
{
    for (const Value &x : e)
        bytes_rule = bytes_rule && x.is_byte();
    return bytes_rule ? Form::bytes : Form::words;
}
bool stored_nonpositive(const Value &s) { return s.size() == 0 || s.bytes(); }

// A double used as a 32-bit integer: out of range or NaN gives 0x80000000.
int32_t as_i32(double d)
{
    return std::isnan(d) || d >= 2147483648.0 || d <= -2147483649.0 ? INT32_MIN : int32_t(d);
}
double num(const Value &a) { return a.is_int() ? a.i : a.d; }
int32_t bits_of(const Value &a) { return a.is_int() ? a.i : as_i32(a.d); }
Value boolean(bool b) { return integer(b ? 1 : 0); }

Value integer_power(int32_t a, int32_t b)
{
    if (b == 1 || b == 0)
        return integer(b ? a : 1);
    if (a == 2 && b > 0 && b <= 30)
        return integer(int64_t(1) << b);
    if (b == 2 && int64_t(a) * a <= INT32_MAX)
        return integer(int64_t(a) * a);
    double p = std::pow(double(a), double(b));
    if (p > 2147483647.0 || p < -1073741824.0)
        return dbl(p);
    return integer(int64_t(std::floor(p + 0.5)));
}

// Two atoms: integers stay integers where the result fits above -805306368.
Value atoms(int code, const Value &a, const Value &b)
{
    bool ints = a.is_int() && b.is_int();
    double x = num(a), y = num(b), r = 0;
    uint32_t ux = uint32_t(bits_of(a)), uy = uint32_t(bits_of(b));
    bool p = bits_of(a) != 0, q = bits_of(b) != 0;
    switch (code) {
    case c_add:
    case c_sub:
    case c_mul:
        r = code == c_add ? x + y : code == c_sub ? x - y : x * y;
        return ints && r > -805306368 && r <= INT32_MAX ? integer(int64_t(r)) : dbl(r);
    case c_div:
    case c_rem:
        if (y == 0.0)
            throw Fatal{ints && code == c_rem ? "Can't get remainder of a number divided by 0\n"
                                              : divide_by_zero};
        if (ints && code == c_rem)
            return integer(a.i % b.i);
        if (!ints || a.i % b.i != 0)
            return dbl(code == c_div ? x / y : std::fmod(x, y));
        if (a.i / b.i <= -805306368)
            throw Undefined{};
        return integer(a.i / b.i);
    case c_power:
        return ints ? integer_power(a.i, b.i) : dbl(std::pow(x, y));
    case c_and:
    case c_or:
    case c_xor:
        return boolean(code == c_and ? p && q : code == c_or ? p || q : p != q);
    case c_or_bits:
    case c_xor_bits:
    case c_and_bits:
        return integer(int32_t(code == c_or_bits ? ux | uy : code == c_xor_bits ? ux ^ uy : ux & uy));
    default:  // the relations: which of below, equal, above, unordered each accepts
        static const int accepts[] = {4, 1, 2, 13, 6, 3};
        return boolean(accepts[code - c_gt] >> (x < y ? 0 : x == y ? 1 : x > y ? 2 : 3) & 1);
    }
}

int lower_case(int c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }
int upper_case(int c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

Value atom_unary(int code, const Value &x)
{
    double d = num(x);
    if (code == c_not)
        return x.is_int() ? boolean(x.i == 0) : dbl(d == 0.0);
    if (code == c_neg)
        return x.is_int() && x.i <= 1073741824 ? integer(-int64_t(x.i)) : dbl(-d);
    if (code == c_not_bits)
        return integer(~bits_of(x));
    if (x.is_dbl() && code == c_floor && (std::isnan(d) || d == 2147483647.0))
        throw Undefined{};
    if (x.is_dbl() && code == c_floor)
        return d >= -1073741824.0 && d <= 2147483647.0 ? integer(int64_t(std::floor(d))) : dbl(std::floor(d));
    if (x.is_dbl() || code == c_floor)
        return x;
    return integer(code == c_upper ? upper_case(int16_t(x.i)) : lower_case(int16_t(x.i)));
}

Value unary_engine(int code, const Value &x)
{
    if (x.is_atom())
        return atom_unary(code, x);
    std::vector<Value> out;
    for (const Value &e : x.elems)
        out.push_back(unary_engine(code, e));
    return seq(out, form_of(x.bytes(), out));
}

Value concat(const Value &a, const Value &b);

Value engine(int code, const Value &a, const Value &b)
{
    if (code == c_concat)
        return concat(a, b);
    if (a.is_atom() && b.is_atom())
        return atoms(code, a, b);
    if (a.is_seq() && b.is_seq() && a.size() != b.size())
        throw Fatal{format("Sequence lengths are not the same (%d %d)\n", int(a.size()), int(b.size()))};
    const Value &s = a.is_seq() ? a : b;
    std::vector<Value> out;
    for (size_t k = 0; k < s.size(); ++k)
        out.push_back(engine(code, a.is_seq() ? a.elems[k] : a, b.is_seq() ? b.elems[k] : b));
    return seq(out, form_of(a.bytes() || b.bytes(), out));
}

Value binary_routine(int code, const Value &a, const Value &b, bool *second_untouched)
{
    *second_untouched = (code == c_and || code == c_or) && a.is_int() && (a.i == 0) == (code == c_and);
    if (*second_untouched)
        return code == c_and ? integer(0) : a;
    if ((code == c_and || code == c_or) && a.is_int())
        return b.is_int() ? b : engine(code, integer(code == c_and), b);
    if (code == c_div && b.is_int() && b.i == 0)
        throw Fatal{divide_by_zero};
    return engine(code, a, b);
}

Value unary_routine(int code, const Value &x)
{
    // The inline integer forms of upper and lower map the whole integer.
    if (x.is_int() && (code == c_upper || code == c_lower))
        return integer(code == c_upper ? upper_case(x.i) : lower_case(x.i));
    return unary_engine(code, x);
}

int32_t compare(const Value &a, const Value &b)
{
    if (a.is_atom() && b.is_atom())
        return num(a) > num(b) ? 1 : num(a) < num(b) ? -1 : 0;
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
        return num(a) == num(b);
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
        return atoms(code, a, b).i;
    if (code == c_eq || code == c_ne)
        return equal(a, b) == (code == c_eq);
    return atoms(code, integer(compare(a, b)), integer(0)).i;
}

// ---- sequences -------------------------------------------------------------------

// An integer, or a double holding an integral 32-bit value other than -2147483648.
int64_t position(const Value &k, const char *op)
{
    if (k.is_int())
        return k.i;
    if (k.is_dbl() && k.d > -2147483648.0 && k.d < 2147483648.0 && std::trunc(k.d) == k.d)
        return int64_t(k.d);
    throw Fatal{format(subscript_error, op)};
}

int64_t from_end(int64_t i, int64_t n) { return i < 0 ? i + n + 1 : i; }

// Position i, failing with `report` for `op` outside lo..n.
int64_t within(int64_t i, int64_t lo, int64_t n, const char *report, const char *op)
{
    if (i < lo || i > n)
        throw Fatal{format(report, op, int(i), int(n))};
    return i;
}

// A MAP: a pair of handles whose first is the sorted key list.
const Value &key_list(const Value &s, const char *malformed)
{
    if (!s.is_seq() || s.size() != 2 || !s.words())
        throw Fatal{malformed};
    if (!s.elems[0].is_seq() || s.elems[0].bytes())
        throw Undefined{};
    return s.elems[0];
}

Value part(const Value &s, size_t from, size_t count)
{
    return seq(std::vector<Value>(s.elems.begin() + long(from), s.elems.begin() + long(from + count)),
               s.form);
}

Value without(const Value &s, size_t k)
{
    Value r = s;
    r.elems.erase(r.elems.begin() + long(k));
    return seq(r.elems, s.form);
}

int32_t key_index(const Value &keys, const Value &key)
{
    int64_t lo = 0, hi = int64_t(keys.size()) - 1;
    while (lo <= hi) {
        int64_t mid = (lo + hi) / 2;
        int32_t c = compare(key, keys.elems[size_t(mid)]);
        if (c == 0)
            return int32_t(mid + 1);
        (c < 0 ? hi : lo) = c < 0 ? mid - 1 : mid + 1;
    }
    return int32_t(-lo - 1);
}

Value build_sequence(const std::vector<Value> &elems) { return seq(elems, form_of(true, elems)); }

Value repeat(const Value &x, const Value &n)
{
    if (!n.is_int())
        throw Fatal{"sec. arg of repeat must be a integer\n"};
    if (n.i < 0)
        throw Undefined{};
    return build_sequence(std::vector<Value>(size_t(n.i), x));
}

Value subscript(const Value &s0, const Value &i0)
{
    const Value *s = &s0;
    int64_t i = 0;
    if (i0.is_seq() && s->is_int() && s->i == 0)
        return integer(0);
    if (i0.is_seq() && s->is_atom())
        throw Undefined{};
    if (i0.is_seq()) {
        i = key_index(key_list(*s, "No valid MAP construction !"), i0);
        if (i < 0)
            throw Fatal{"Key (in MAP or CAM structure) not found !"};
        s = &s->elems[1];
    } else {
        i = position(i0, "subscript");
    }
    if (!s->is_seq())
        throw Fatal{format(atom_error, "subscript")};
    i = within(from_end(i, int64_t(s->size())), 1, int64_t(s->size()), bound, "subscript");
    return s->elems[size_t(i - 1)];
}

Value slice(const Value &s, const Value &lo0, const Value &hi0)
{
    if (!s.is_seq())
        throw Fatal{format(atom_error, "slice")};
    int64_t n = int64_t(s.size());
    int64_t lo = from_end(position(lo0, "slice"), n), hi = from_end(position(hi0, "slice"), n);
    if (hi == lo - 1)
        return seq({}, Form::words);
    if (hi < lo)
        throw Fatal{"slice : slice length cannot be negative\n"};
    within(lo, 1, n, lbound, "slice");
    within(hi, 1, n, hbound, "slice");
    return part(s, size_t(lo - 1), size_t(hi - lo + 1));
}

Value concat(const Value &a, const Value &b)
{
    std::vector<Value> e = a.is_seq() ? a.elems : std::vector<Value>{a};
    const Value *tail = b.is_seq() ? b.elems.data() : &b;
    e.insert(e.end(), tail, tail + (b.is_seq() ? b.size() : 1));
    bool rule = (a.is_seq() ? stored_nonpositive(a) : a.is_byte()) &&
                (b.is_seq() ? stored_nonpositive(b) : b.is_byte());
    return seq(std::move(e), rule ? Form::bytes : Form::words);
}

Value insert(const Value &s, const Value &x, const Value &k0)
{
    if (k0.is_seq())
        throw Fatal{format(subscript_error, "insert")};
    int64_t k = position(k0, "insert");
    if (!s.is_seq())
        throw Fatal{format(atom_error, "insert")};
    int64_t n = int64_t(s.size());
    k = within(from_end(k, n), 0, n, bound, "insert");
    std::vector<Value> e = s.elems;
    e.insert(e.begin() + k, x);
    return seq(std::move(e), stored_nonpositive(s) && x.is_byte() ? Form::bytes : Form::words);
}

Value removeindex(const Value &s, const Value &k0, bool *found)
{
    *found = true;
    if (!s.is_seq())
        throw Fatal{format(atom_error, "remove")};
    if (k0.is_seq()) {
        int32_t j = key_index(key_list(s, "No valid Map construction !"), k0);
        *found = j >= 0;
        if (j < 0)
            return seq({}, Form::words);
        if (!s.elems[1].is_seq() || s.elems[1].size() < size_t(j))
            throw Undefined{};
        return seq({without(s.elems[0], size_t(j - 1)), without(s.elems[1], size_t(j - 1))}, Form::words);
    }
    int64_t n = int64_t(s.size()), k = within(from_end(position(k0, "remove"), n), 1, n, bound, "remove");
    return without(s, size_t(k - 1));
}

// find_from (an element of the same kind) or match_from (a run of elements) after k0
// (`converted`: k0 as the program gave it, not the plain 0 of find and match).
int32_t search(const Value &x, const Value &s, const Value &k0, bool converted, bool match)
{
    const char *op = match ? "match_from" : "find_from";
    if (converted && k0.is_seq())
        throw Fatal{format(subscript_error, op)};
    int64_t k = converted ? position(k0, op) : k0.i, m = match ? int64_t(x.size()) : 1, n = int64_t(s.size());
    if (!s.is_seq() || (match && !x.is_seq()))
        throw Fatal{format(atom_error, match ? "match() no arg" : "find's second argument")};
    if (k < 0)
        throw Undefined{};
    within(k, 0, n, bound, op);
    for (int64_t i = k + 1; m <= n - k && i <= n - m + 1; ++i)
        if (match ? compare(x, part(s, size_t(i - 1), size_t(m))) == 0
                  : s.elems[size_t(i - 1)].kind == x.kind && equal(x, s.elems[size_t(i - 1)]))
            return int32_t(i);
    return 0;
}

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
            throw Undefined{};
        s += char((e.is_int() ? e.i : int32_t(e.d)) & 0xFF);
    }
    return s;
}

// ---- the assignment forms, along a path of positions ---------------------------

// The 1-based position `k` names in `p`, checked against the stored length on inner levels.
int64_t index_at(const Value &p, const Value &k, const char *name, bool inner, bool slice)
{
    if (k.is_seq() && slice && !inner)
        throw Fatal{format(subscript_error, name)};
    if (k.is_seq())
        throw Undefined{};
    int64_t idx = position(k, name);
    if (!p.is_seq())
        throw Fatal{format(atom_error, "assign subscript")};
    int64_t stored = inner && p.bytes() ? -int64_t(p.size()) : int64_t(p.size());
    if (idx < 0 && stored < 0)
        throw Undefined{};
    return within(from_end(idx, stored), 1, stored, slice ? lbound : bound, name);
}

// Every level of the path but the last.
Value *walk(Value &var, const std::vector<Value> &path, const char *name, bool slice)
{
    Value *p = &var;
    for (size_t t = 0; t + 1 < path.size(); ++t)
        p = &p->elems[size_t(index_at(*p, path[t], name, true, slice) - 1)];
    return p;
}

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
        throw Fatal{format(subscript_error, name)};
    int64_t hi = within(from_end(position(hi0, name), m), 1, m, hbound, name), c = hi - lo + 1;
    if (c < 0)
        throw Fatal{format("%s : slice length cannot be negative\n", name)};
    if (c > 0 && v.is_seq() && int64_t(v.size()) != c)
        throw Fatal{
            format("%s : sequence lengths are not the same (%d != %d)\n", name, int(c), int(v.size()))};
    // A list of handles widens the target; bytes into bytes stay bytes.
    if (c > 0 && (v.words() || (code < 0 && v.is_seq() && !p->bytes())))
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

// A temporary sequence over `data` (length negative for bytes), a view when `base` is set.
inline vorn_handle sequence_record(void *data, int32_t length, vorn_handle base)
{
    int32_t index = new_sequence();
    objects[index].data = data;
    objects[index].length = length;
    objects[index].base = base;
    return vorn_sequence_handle(index);
}

// A temporary holding `v` as a translated program makes its literals.
inline vorn_handle build(const model::Value &v)
{
    if (v.is_int())
        return vorn_handle(v.i);
    if (v.is_dbl())
        return vorn_double_handle(new_double(v.d));
    size_t n = v.size();
    if (v.bytes()) {
        auto *b = static_cast<unsigned char *>(std::malloc(n + 1));
        for (size_t k = 0; k <= n; ++k)
            b[k] = k < n ? static_cast<unsigned char>(v.elems[k].i) : 0;
        return sequence_record(b, -int32_t(n), 0);
    }
    auto *w = n ? static_cast<vorn_handle *>(std::malloc(n * sizeof(vorn_handle))) : nullptr;
    for (size_t k = 0; k < n; ++k)
        w[k] = reference(build(v.elems[k]));
    return sequence_record(w, int32_t(n), 0);
}

// A temporary view of `v` inside a new base only it holds, `pad` elements `fill` either side.
inline vorn_handle build_view(const model::Value &v, int pad, int fill)
{
    model::Value base = v;
    base.elems.insert(base.elems.begin(), size_t(pad), model::integer(fill));
    base.elems.insert(base.elems.end(), size_t(pad), model::integer(fill));
    vorn_handle b = reference(build(base));
    int32_t n = int32_t(v.size()), width = vorn_record_of(b)->length < 0 ? 1 : int32_t(sizeof(vorn_handle));
    char *data = static_cast<char *>(vorn_record_of(b)->data) + pad * width;
    return sequence_record(data, width == 1 ? -n : n, b);
}

// vorn's value of h in the model's terms, with its storage forms; kind `any` for no class.
inline model::Value decode(vorn_handle h, int depth = 0)
{
    if (vorn_is_integer(h))
        return model::integer(int32_t(h));
    if (vorn_is_double(h))
        return model::dbl(vorn_double_value(h));
    if (!vorn_is_sequence(h) || depth > 40)
        return model::unstated();
    const vorn_record &r = objects[vorn_index(h)];
    std::vector<model::Value> e;
    for (int32_t k = 0; k < -r.length; ++k)
        e.push_back(model::integer(static_cast<const unsigned char *>(r.data)[k]));
    for (int32_t k = 0; k < r.length; ++k)
        e.push_back(decode(static_cast<const vorn_handle *>(r.data)[k], depth + 1));
    return model::seq(std::move(e), r.length < 0 ? model::Form::bytes : model::Form::words);
}
