// model.h -- an independent reference model of the language's values and core
// operations for the differential test (and the fuzz targets): plain values,
// no records, no sharing, no reference counts; the exact fatal reports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace model {

// How a non-empty sequence is stored; `unknown` where the rules leave it open.
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
    bool bytes() const { return is_seq() && !elems.empty() && form == Form::bytes; }
    bool words() const { return is_seq() && !elems.empty() && form == Form::words; }
};

struct Fatal {  // the report the library must give (after "RUN_TIME_ERROR : ")
    std::string message;
};
struct Undefined {  // an outcome the rules leave open: the step is not run
    std::string why;
};

Value integer(int64_t v);  // Undefined outside the integer class
Value dbl(double d);
Value seq(std::vector<Value> elems, Form form);
Value text(const std::string &s);
// Same kinds and numbers (doubles bit for bit, NaN equal to NaN); forms not compared.
bool same(const Value &a, const Value &b);
std::string show(const Value &v);

// Operator codes of the element-wise engine.
enum Code {
    c_add = 0,
    c_sub = 1,
    c_mul = 2,
    c_div = 3,
    c_and = 4,
    c_or = 5,
    c_xor = 6,
    c_gt = 7,
    c_lt = 8,
    c_eq = 9,
    c_ne = 10,
    c_ge = 11,
    c_le = 12,
    c_not = 13,
    c_neg = 14,
    c_or_bits = 15,
    c_xor_bits = 16,
    c_and_bits = 17,
    c_not_bits = 18,
    c_concat = 19,
    c_floor = 20,
    c_rem = 21,
    c_power = 27,
    c_upper = 30,
    c_lower = 31
};

Value engine(int code, const Value &a, const Value &b);
// `second_untouched`: the routine leaves its second operand alone.
Value binary_routine(int code, const Value &a, const Value &b, bool *second_untouched);
Value unary_routine(int code, const Value &x);
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
Value removeindex(const Value &s, const Value &k, bool *absent);  // absent: a MAP key not there
int32_t find_from(const Value &x, const Value &s, const Value &k, bool converted);
int32_t match_from(const Value &x, const Value &s, const Value &k, bool converted);
Value wrap_value(const Value &x);
std::string text_of(const Value &x);

// The assignment forms along a path of positions, changing `var` in place;
// the slice forms return how many elements they replaced.
void element_assign(int code, Value &var, const Value &v, const std::vector<Value> &path);  // code < 0: plain
int64_t slice_assign(int code, Value &var, const Value &hi, const Value &v, const std::vector<Value> &path);

}  // namespace model
