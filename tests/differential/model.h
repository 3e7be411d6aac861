// model.h -- an independent reference model of the language's values and core
// operations, for differential testing: plain values (integer, double, nested
// vector), no records, no sharing, no reference counts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace model {

// How a sequence is stored, where the rules fix it.  An empty sequence has
// no form that can be observed (its length word is 0 either way).
enum class Form { words, bytes, unknown };

struct Value {
    enum class Kind { integer, dbl, seq } kind = Kind::integer;
    int32_t i = 0;
    double d = 0.0;
    std::vector<Value> elems;
    Form form = Form::words;

    bool is_int() const { return kind == Kind::integer; }
    bool is_dbl() const { return kind == Kind::dbl; }
    bool is_seq() const { return kind == Kind::seq; }
    bool is_atom() const { return kind != Kind::seq; }
    bool is_byte() const { return is_int() && i >= 0 && i <= 255; }
    size_t size() const { return elems.size(); }
    // Stored as bytes / as handles, for a non-empty sequence of known form.
    bool bytes() const { return is_seq() && !elems.empty() && form == Form::bytes; }
    bool words() const { return is_seq() && !elems.empty() && form == Form::words; }
    bool unknown_form() const { return is_seq() && !elems.empty() && form == Form::unknown; }
};

// The run-time error the library must report (the text after "RUN_TIME_ERROR : ").
struct Fatal {
    std::string message;
};
// An outcome the rules leave open: the step is not run.
struct Undefined {
    std::string why;
};

Value integer(int64_t v);  // Undefined when v is outside the integer class
Value dbl(double d);
Value seq(std::vector<Value> elems, Form form);
Value text(const std::string &s);  // a bytesequence (words when empty)
bool in_integer_class(int64_t v);

// Exact structural identity: same kinds, same numbers (doubles bit for bit,
// any NaN equal to any NaN), same elements; forms are not compared.
bool same(const Value &a, const Value &b);
std::string show(const Value &v);

// Operator codes of the element-wise engine.
enum Code {
    c_add = 0, c_sub = 1, c_mul = 2, c_div = 3, c_and = 4, c_or = 5, c_xor = 6,
    c_gt = 7, c_lt = 8, c_eq = 9, c_ne = 10, c_ge = 11, c_le = 12,
    c_not = 13, c_neg = 14, c_or_bits = 15, c_xor_bits = 16, c_and_bits = 17,
    c_not_bits = 18, c_concat = 19, c_floor = 20, c_rem = 21, c_sin = 22,
    c_cos = 23, c_tan = 24, c_arctan = 25, c_sqrt = 26, c_power = 27,
    c_rand = 28, c_log = 29, c_upper = 30, c_lower = 31
};
const char *code_name(int code);

// The element-wise engine (what `autosequence` computes) and the exported
// binary routines with their own two-integer and first-operand rules.
// `second_untouched` is set when the routine leaves its second operand alone.
Value engine(int code, const Value &a, const Value &b);
Value binary_routine(int code, const Value &a, const Value &b, bool *second_untouched);
// The unary routines (`not`, `negate`, ..., `wrap_rand`).
Value unary_routine(int code, const Value &x);
// Whole-object relation 7..12.
int32_t bool_relation(int code, const Value &a, const Value &b);

int32_t compare(const Value &a, const Value &b);
bool equal(const Value &a, const Value &b);
int32_t cam_key_index(const Value &list, const Value &key);

Value build_sequence(const std::vector<Value> &elems);
Value repeat(const Value &x, const Value &n);
Value subscript(const Value &s, const Value &i);
Value slice(const Value &s, const Value &lo, const Value &hi);
Value concat(const Value &a, const Value &b);
Value insert(const Value &s, const Value &x, const Value &k);
// `absent` is set (and an empty value returned) when a key is not in the MAP.
Value removeindex(const Value &s, const Value &k, bool *absent);
int32_t find_from(const Value &x, const Value &s, const Value &k, bool converted);
int32_t match_from(const Value &x, const Value &s, const Value &k, bool converted);
Value wrap_value(const Value &x);
// The text `wrap_sprintf` returns; `warnings` receives what it prints.
Value sprintf(const Value &format, const Value &args, std::string *warnings);

// The assignment forms, changing `var` in place.  The slice forms return
// the number of elements replaced.
void subscript_assign(Value &var, const Value &v, const std::vector<Value> &path);
void arith_assign(int code, Value &var, const Value &v, const std::vector<Value> &path);
int64_t slice_assign(Value &var, const Value &hi, const Value &v, const std::vector<Value> &path);
int64_t slice_arith_assign(int code, Value &var, const Value &hi, const Value &v,
                           const std::vector<Value> &path);

// The text of an object as the library's string conversion makes it.
std::string text_of(const Value &x);

}  // namespace model
