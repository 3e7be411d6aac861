// model.h -- plain values (no records, no sharing) for the differential test
// and the fuzz targets, the model's operations on them, and the bridge to the
// object table: counting live records, building records, reading them back.
#pragma once

#include <vorn.h>

#include <cstdint>
#include <cstdlib>
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
struct Undefined {  // an outcome the rules leave open: the step is not run
};

Value integer(int64_t v);  // Undefined outside the integer class
inline Value unstated() { return Value{Value::Kind::any, 0, 0.0, {}, Form::unknown}; }
Value dbl(double d);
Value seq(std::vector<Value> elems, Form form);
Value text(const std::string &s);
// want == got: numbers bit for bit (NaN equal to NaN), storage forms where want states them.
bool holds(const Value &got, const Value &want);
std::string show(const Value &v);

// Operator codes of the element-wise engine.
enum Code { c_add, c_sub, c_mul, c_div, c_and, c_or, c_xor, c_gt, c_lt, c_eq, c_ne, c_ge, c_le };
enum Code2 { c_not = 13, c_neg, c_or_bits, c_xor_bits, c_and_bits, c_not_bits, c_concat, c_floor };
enum Code3 { c_rem = 21, c_power = 27, c_upper = 30, c_lower = 31 };

Value engine(int code, const Value &a, const Value &b);
Value binary_routine(int code, const Value &a, const Value &b, bool *second_untouched);
Value unary_routine(int code, const Value &x);
int32_t compare(const Value &a, const Value &b);
bool equal(const Value &a, const Value &b);
int32_t bool_relation(int code, const Value &a, const Value &b);
int32_t key_index(const Value &keys, const Value &key);  // 1-based, or -(insertion point) - 1

Value build_sequence(const std::vector<Value> &elems);
Value repeat(const Value &x, const Value &n);
Value subscript(const Value &s, const Value &i);
Value slice(const Value &s, const Value &lo, const Value &hi);
Value concat(const Value &a, const Value &b);
Value insert(const Value &s, const Value &x, const Value &k);
Value removeindex(const Value &s, const Value &k, bool *absent);  // absent: a MAP key not there
int32_t find_from(const Value &x, const Value &s, const Value &k, bool converted);
int32_t match_from(const Value &x, const Value &s, const Value &k, bool converted);
std::string text_of(const Value &x);
// code < 0: plain assignment; the slice form returns how many elements it replaced.
void element_assign(int code, Value &var, const Value &v, const std::vector<Value> &path);
int64_t slice_assign(int code, Value &var, const Value &hi, const Value &v, const std::vector<Value> &path);

}  // namespace model

// Records handed out and not on the free list.
inline int live_records()
{
    int free_count = 0;
    for (int32_t i = free_tail; i != 0; i = objects[i].count)
        ++free_count;
    return object_count - free_count;
}

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

// A temporary view of `v` inside a new base that only the view holds, `pad`
// elements `fill` either side.
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
