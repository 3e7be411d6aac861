// main.cpp -- the differential test: seeded random programs over the core run through vorn
// and the reference model side by side; values, storage forms, counts, views, leaks and the
// exact fatal reports (in a child) are checked after every step.
//   vorn_differential [--programs N] [--seed S] [--steps L] [--program I]
#include <unistd.h>

#include <algorithm>
#include <random>
#include <unordered_map>

#include "../support.h"
#include "model.h"

using model::Form;
using model::Value;

// Sanitizer reports end with their own status, not the 1 of a run-time error.
extern "C" const char *__asan_default_options() { return "exitcode=66"; }
extern "C" const char *__ubsan_default_options() { return "exitcode=67:print_stacktrace=1"; }

namespace {

constexpr int nvars = 6;

// One argument: a variable, a temporary, a view into a padded temporary, or one the runner holds.
struct Arg {
    enum class Kind { var, fresh, view, held } kind = Kind::var;
    int var = 0;
    Value value;
    int pad = 0;
};

// A step: its row, the operator code (-1 for none), the variable it changes, its arguments.
struct Step {
    int op = 0, code = -1, dst = 0;
    std::vector<Arg> args;
};

// Texts read as numbers, and the number each gives (status 2: a double).
struct Reading {
    const char *text;
    int status;
    double value;
};
const Reading readings[] = {{"42", 0, 42},    {"+42", 0, 42},        {"  42", 0, 42},
                            {"42  ", 0, 42},  {"-1073741825", 1, 0}, {"2147483648", 1, 0},
                            {"12.", 0, 12},   {"12.5", 2, 12.5},     {".5", 2, 0.5},
                            {"1e3", 2, 1000}, {"1.2.3", 1, 0},       {"0x10", 1, 0},
                            {" ", 1, 0},      {"#FF", 0, 255},       {"#o17", 0, 15},
                            {"#af", 0, 175},  {"#", 0, 0},           {"#C0000000", 0, -1073741824},
                            {"-0", 0, 0},     {"1E+2\n", 2, 100},    {"abc", 1, 0},
                            {"-7", 0, -7}};

struct Generator;
struct Expect;
// A row: name, weight, argument drawer, family member (variant), vorn's call, the model's value.
struct Row {
    const char *name;
    int weight;
    void (Generator::*draw)(Step &);
    int variant;
    vorn_handle (*call)(const Step &, const vorn_handle *a, int32_t n);
    Value (*model)(Expect &);
};
extern const Row ops[];
extern const int nops;

// ---- the generator ---------------------------------------------------------------

struct Generator {
    std::mt19937_64 rng;
    const Value *vars;
    bool maps;  // MAPs of many keys, looked up far more often than changed

    int between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    int pick(int n) { return between(0, n - 1); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; }
    template <class T, size_t N> T one_of(const T (&a)[N]) { return a[pick(int(N))]; }

    Value atom()
    {
        static const int32_t ints[] = {
            0,   1,          2,          -1,         127,         128,        255,        256,  'a',
            'Z', 1073741823, 1073741824, 2147483647, -1073741824, -805306367, -805306368, 46341};
        static const double reals[] = {0.0,          -0.0,  0.5,           -2.5,  3.0, 3e9,
                                       2147483648.0, 1e300, -1073741824.0, 255.0, NAN, INFINITY};
        if (chance(0.3))
            return chance(0.7) ? model::integer(one_of(ints)) : model::dbl(one_of(reals));
        return chance(0.7) ? model::integer(between(-20, 300)) : model::dbl(between(-9999, 9999) / 64.0);
    }
    Value key()
    {
        if (maps && chance(0.7))
            return model::text("k" + std::to_string(pick(40)));
        return chance(0.3) ? model::seq({model::integer(pick(4))}, Form::words)
                           : model::text(std::string(1, char('a' + pick(4))));
    }
    Value map(int depth)
    {
        std::vector<Value> keys, values;
        for (int k = maps ? between(6, 20) : between(0, 4); k > 0; --k) {
            Value x = key();
            if (int at = model::key_index(model::seq(keys, Form::words), x); at < 0)
                keys.insert(keys.begin() - at - 1, x), values.push_back(value(depth - 1));
        }
        return model::seq({model::seq(keys, Form::words), model::build_sequence(values)}, Form::words);
    }
    Value sequence(int depth)
    {
        if (depth > 0 && chance(0.15))
            return map(depth - 1);
        if (chance(0.15))
            return model::text(one_of(readings).text);
        std::vector<Value> e;
        bool bytes = chance(0.4);
        for (int k = between(0, 5); k > 0; --k)
            e.push_back(bytes                       ? model::integer(pick(256))
                        : depth > 0 && chance(0.25) ? sequence(depth - 1)
                                                    : atom());
        return model::seq(e, bytes && chance(0.7) ? Form::bytes : Form::words);
    }
    Value value(int depth) { return depth >= 0 && chance(0.55) ? sequence(depth) : atom(); }

    Arg var(int k) { return Arg{Arg::Kind::var, k, {}, 0}; }
    Arg held(Value v) { return Arg{Arg::Kind::held, 0, std::move(v), 0}; }
    Arg fresh(Value v)
    {
        bool view = v.is_seq() && v.size() > 0 && chance(0.2);
        return Arg{view ? Arg::Kind::view : Arg::Kind::fresh, 0, std::move(v), view ? pick(3) : 0};
    }
    int pick_var(bool want_sequence)
    {
        int k = pick(nvars);
        for (int tries = 0; tries < 6 && want_sequence && !vars[k].is_seq(); ++tries)
            k = pick(nvars);
        return k;
    }
    Arg operand(bool want_sequence)
    {
        int k = pick_var(want_sequence);
        if (chance(0.5) && (!want_sequence || vars[k].is_seq() || chance(0.1)))
            return var(k);
        return fresh(want_sequence ? sequence(2) : value(2));
    }
    const Value &value_of(const Arg &a) { return a.kind == Arg::Kind::var ? vars[a.var] : a.value; }
    int size_of(const Arg &a) { return value_of(a).is_seq() ? int(value_of(a).size()) : 2; }
    // Position k into n elements, else one past either end or k counted from the end;
    // sometimes as a double (integral or not).
    Value position(int64_t n, int64_t k)
    {
        if (chance(0.2))
            k = std::vector<int64_t>{0, n + 1, -n - 1, k - n - 1}[pick(4)];
        return chance(0.08) ? model::dbl(double(k) + (chance(0.2) ? 0.5 : 0)) : model::integer(k);
    }
    Arg at(int64_t n, int64_t k) { return held(position(n, k)); }
    int64_t inside(int64_t n) { return n > 0 ? between(1, int(n)) : 0; }

    // A new literal, or a copy of a variable.
    void literal(Step &st)
    {
        st.args = {chance(0.3) ? var(pick_var(false))
                               : fresh(chance(maps ? 0.7 : 0.2) ? map(maps ? 0 : 2) : value(3))};
    }
    void unary(Step &st) { st.args = {operand(chance(0.5))}, st.code = one_of({13, 14, 18, 20, 30, 31}); }
    void compound(Step &st) { st.args = {operand(chance(0.3))}, st.code = one_of({0, 1, 2, 3, 19}); }
    void repeat(Step &st)
    {
        st.args = {operand(false), held(chance(0.95) ? model::integer(between(0, 5)) : model::dbl(2.0))};
    }
    void binary(Step &st)
    {
        two(st);
        st.code = one_of({0, 1, 2, 3, 21, 27, 4, 5, 6, 17, 15, 16, 7, 8, 11, 12, 9, 10, 0, 1, 2});
        const Value &a = value_of(st.args[0]), &b = value_of(st.args[1]);
        if (a.is_seq() && b.is_seq() && a.size() != b.size() && chance(0.9)) {
            std::vector<Value> e;  // mostly operands of the same length
            for (size_t k = a.size(); k > 0; --k)
                e.push_back(chance(0.3) ? sequence(0) : atom());
            st.args[1] = fresh(model::build_sequence(e));
        }
    }
    void two(Step &st)
    {
        st.args = {operand(chance(0.5)), operand(chance(0.4))};
        st.code = between(7, 12);
    }
    void build(Step &st)
    {
        for (int k = between(0, 5); k > 0; --k)
            st.args.push_back(chance(0.3) ? var(pick_var(false)) : fresh(chance(0.7) ? atom() : value(1)));
    }
    void text(Step &st)
    {
        st.args = {chance(0.15)  ? fresh(model::integer(pick(256)))
                   : chance(0.2) ? operand(true)
                                 : fresh(model::text(one_of(readings).text))};
        if (st.args[0].kind == Arg::Kind::fresh && st.args[0].value.size() > 0 && chance(0.2))
            st.args[0].value.form = Form::words;
    }
    void inserted(Step &st)
    {
        st.args = {operand(chance(0.95)), operand(chance(0.3))};
        int n = size_of(st.args[0]);
        if (ops[st.op].variant == 0)
            st.args.push_back(at(n, between(-n - 1, n)));
    }
    void sliced(Step &st)
    {
        st.args = {operand(true)};
        int n = size_of(st.args[0]), lo = between(1, n + 1);
        st.args.push_back(at(n, lo));
        st.args.push_back(at(n, between(lo - 1, n)));
    }
    // subscript and removeindex: a sequence (mostly a MAP in map-heavy programs), a position or key.
    void located(Step &st)
    {
        st.args = {operand(true)};
        for (int k = 0; k < nvars && maps; ++k)
            if (vars[k].words() && vars[k].size() == 2 && vars[k].elems[0].is_seq() && chance(0.8))
                st.args[0] = var(k);
        const Value &s = value_of(st.args[0]);
        int n = size_of(st.args[0]);
        if (s.words() && n == 2 && s.elems[0].size() > 0 && chance(0.8)) {
            const Value &keys = s.elems[0];
            st.args.push_back(held(chance(0.8) ? keys.elems[size_t(pick(int(keys.size())))] : key()));
        } else {
            st.args.push_back(held(chance(0.03) ? key() : position(n, inside(n))));
        }
    }
    // find, find_from, match, match_from: mostly something that is there.
    void searched(Step &st)
    {
        bool match = ops[st.op].variant >= 2;
        st.args = {operand(match && chance(0.9)), operand(chance(0.95))};
        const Value &s = value_of(st.args[1]);
        int n = size_of(st.args[1]);
        if (chance(0.5) && n > 0 && s.is_seq()) {
            size_t from = size_t(pick(n)), len = size_t(pick(n - int(from) + 1));
            auto first = s.elems.begin() + long(from);
            st.args[0] = fresh(match ? model::build_sequence({first, first + long(len)}) : *first);
        }
        if (ops[st.op].variant % 2)
            st.args.push_back(at(n, between(0, n + 1)));
    }
    // The assignment forms: a slice form's hi, the value, then positions that
    // follow the variable's value down one to three levels (a slice form's lo last).
    void assignment(Step &st)
    {
        bool slice = ops[st.op].variant & 1;
        st.dst = pick_var(true);
        if (!vars[st.dst].is_seq() && chance(0.9))
            return st.op = 0, literal(st);  // nothing to assign into: a literal instead
        if (ops[st.op].variant & 2)
            st.code = one_of({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 15, 16, 17, 19, 21, 27, 0, 1, 19});
        int k = pick_var(false), levels = chance(0.6) ? 1 : chance(0.7) ? 2 : 3;
        st.args = {chance(0.3) && k != st.dst ? var(k) : fresh(value(2))};
        if (st.code < 0 && chance(0.05))
            st.args[0] = var(st.dst);
        const Value *place = &vars[st.dst];
        for (int level = slice; level < levels; ++level) {
            int64_t n = place && place->is_seq() ? int64_t(place->size()) : 2;
            Value i = position(n, inside(n));
            if (level > slice && !(place && place->is_seq()) && chance(0.9))
                break;  // mostly no walking into atoms
            st.args.push_back(held(i));
            bool inside = place && place->is_seq() && i.is_int() && i.i != 0 && std::abs(i.i) <= n;
            place = inside ? &place->elems[size_t(i.i > 0 ? i.i - 1 : n + i.i)] : nullptr;
        }
        if (!slice)
            return;
        int n = place && place->is_seq() ? int(place->size()) : 3;
        int lo = n > 0 ? between(1, n) : 1, hi = chance(0.1) ? lo - 1 : n > 0 ? between(lo, n) : 1;
        st.args.push_back(at(n, lo));
        st.args.insert(st.args.begin(), at(n, hi));
        bool atom = st.args[1].kind == Arg::Kind::var && vars[st.args[1].var].is_atom();
        if (chance(0.4) && (atom || st.args[1].kind != Arg::Kind::var))
            return st.args[1] = atom ? st.args[1] : fresh(this->atom()), void();  // an atom for every element
        std::vector<Value> e;
        bool bytes = chance(0.5);
        for (int c = std::max(0, hi - lo + 1) + (chance(0.08) ? 1 : 0); c > 0; --c)
            e.push_back(bytes ? model::integer(pick(256)) : value(1));
        st.args[1] = fresh(model::build_sequence(e));
        if (st.args[1].value.bytes() && chance(0.4))
            st.args[1].value.form = Form::words;
    }
    Step step()
    {
        int total = 0, r = 0;
        auto weight = [&](int k) { return maps && k == 6 ? 200 : ops[k].weight; };
        for (int k = 0; k < nops; ++k)
            total += weight(k);
        Step st;
        for (r = pick(total); r >= weight(st.op); ++st.op)
            r -= weight(st.op);
        st.dst = pick(nvars);
        (this->*ops[st.op].draw)(st);
        return st;
    }
};

// ---- the operation table: vorn's side and the model's ------------------------------

enum class Disposition { consumed, borrowed, must_hold };  // of a temporary argument

// The model's side of a step: argument values, the variables after it, what vorn must do.
struct Expect {
    const Step &st;
    std::vector<Value> v;
    Value *vars;
    std::vector<Disposition> disposition;
    bool stores = true, in_place = false;

    // A temporary view argument k stays held: its release the rules leave open.
    void hold_view(size_t k)
    {
        if (st.args[k].kind == Arg::Kind::view)
            disposition[k] = Disposition::must_hold;
    }
    // Argument k is not the variable the step changes (else the outcome is open).
    bool distinct(size_t k)
    {
        if (st.args[k].kind == Arg::Kind::var && st.args[k].var == st.dst)
            throw model::Undefined{};
        return true;
    }
    Value assignment(bool slice)
    {
        if (slice || st.code >= 0)
            distinct(slice);
        Value target = vars[st.dst];
        std::vector<Value> path(v.begin() + 1 + slice, v.end());
        int64_t c = slice ? model::slice_assign(st.code, target, v[0], v[1], path) : -1;
        if (!slice)
            model::element_assign(st.code, target, v[0], path);
        if (c == 0 || (slice && st.code < 0 && v[1].is_seq() && !v[1].words()) ||
            (slice && st.code >= 0 && v[1].is_dbl()))
            disposition[slice] = Disposition::must_hold;  // its release the rules leave open
        in_place = true;
        return target;
    }
};

// A character code's reading, or a text's where the table states it.
Value wrap_value_model(const Value &x)
{
    if (x.is_atom() && !x.is_byte())
        throw model::Undefined{};
    bool digit = x.is_int() && x.i >= '0' && x.i <= '9';
    if (x.is_atom())
        return model::seq({model::integer(!digit), model::integer(digit ? x.i - '0' : 0)}, Form::bytes);
    std::string text = model::text_of(x);  // the reports of a text that is none
    for (const Reading &r : readings)
        if (text == r.text)
            return model::seq({model::integer(r.status == 1),
                               r.status == 2 ? model::dbl(r.value) : model::integer(int64_t(r.value))},
                              Form::unknown);
    return model::unstated();
}

vorn_handle vars[nvars];

vorn_handle binary_call(int code, vorn_handle a, vorn_handle b)
{
    static decltype(&add) const f[] = {
        add,       subtract, multiply,  divide,        vorn_and,   vorn_or,       vorn_xor, greater_than,
        less_than, equals,   not_equal, greater_equal, less_equal, nullptr,       nullptr,  or_bits,
        xor_bits,  and_bits, nullptr,   nullptr,       nullptr,    wrap_remainder};
    return code == model::c_power ? power(a, b) : f[code](a, b);
}

vorn_handle unary_call(int code, vorn_handle x)
{
    static decltype(&negate)
        const f[] = {vorn_not, negate, nullptr, nullptr, nullptr, not_bits, nullptr, wrap_floor};
    return code >= model::c_upper ? (code == model::c_upper ? upper : lower)(x) : f[code - model::c_not](x);
}

using G = Generator;
using M = Expect &;
#define CALL(...)                                                                                            \
    []([[maybe_unused]] const Step &st, const vorn_handle *a, [[maybe_unused]] int32_t n) -> vorn_handle {   \
        return __VA_ARGS__;                                                                                  \
    }
#define MODEL(...)                                                                                           \
    [](M m) -> Value {                                                                                       \
        using namespace model;                                                                               \
        [[maybe_unused]] const std::vector<Value> &v = m.v;                                                  \
        return __VA_ARGS__;                                                                                  \
    }
using H = vorn_handle;
const Row ops[] = {
    {"literal", 12, &G::literal, 0, CALL(a[0]), MODEL(v[0])},
    {"binary", 14, &G::binary, 0, CALL(binary_call(st.code, a[0], a[1])),
     [](M m) {
         bool untouched = false;
         Value r = model::binary_routine(m.st.code, m.v[0], m.v[1], &untouched);
         m.disposition[1] = untouched ? Disposition::borrowed : Disposition::consumed;
         return r;
     }},
    {"unary", 6, &G::unary, 0, CALL(unary_call(st.code, a[0])), MODEL(unary_routine(m.st.code, v[0]))},
    {"compare", 2, &G::two, 0, CALL(H(compare(a[0], a[1]))), MODEL(integer(compare(v[0], v[1])))},
    {"equal", 2, &G::two, 0, CALL(H(equal(a[0], a[1]))), MODEL(integer(equal(v[0], v[1])))},
    {"BOOL_relation", 2, &G::two, 0, CALL(H(BOOL_relation(st.code, a[0], a[1]))),
     MODEL(integer(bool_relation(m.st.code, v[0], v[1])))},
    {"subscript", 6, &G::located, 0, CALL(subscript(a[0], a[1])),
     MODEL(m.disposition[0] = Disposition::borrowed, subscript(v[0], v[1]))},
    {"slice", 6, &G::sliced, 0, CALL(slice(a[0], a[1], a[2])), MODEL(m.hold_view(0), slice(v[0], v[1], v[2]))},
    {"removeindex", 4, &G::located, 0, CALL(removeindex(a[0], a[1])),
     [](M m) {
         Value r = model::removeindex(m.v[0], m.v[1], &m.stores);
         m.disposition[0] = m.stores ? Disposition::consumed : Disposition::borrowed;
         return r;
     }},
    {"concat", 5, &G::two, 0, CALL(concat(a[0], a[1])), MODEL(concat(v[0], v[1]))},
    {"wrap_concat", 1, &G::two, 0, CALL(wrap_concat(a[0], a[1])), MODEL(concat(v[0], v[1]))},
    {"insert", 3, &G::inserted, 0, CALL(insert(a[0], a[1], a[2])), MODEL(insert(v[0], v[1], v[2]))},
    {"append", 3, &G::inserted, 1, CALL(append(a[0], a[1])), MODEL(insert(v[0], v[1], integer(-1)))},
    {"prepend", 2, &G::inserted, 2, CALL(prepend(a[0], a[1])), MODEL(insert(v[0], v[1], integer(0)))},
    {"find", 3, &G::searched, 0, CALL(H(find(a[0], a[1]))), MODEL(integer(search(v[0], v[1], integer(0), false, false)))},
    {"find_from", 2, &G::searched, 1, CALL(H(find_from(a[0], a[1], a[2]))),
     MODEL(integer(search(v[0], v[1], v[2], true, false)))},
    {"match", 3, &G::searched, 2, CALL(H(match(a[0], a[1]))), MODEL(integer(search(v[0], v[1], integer(0), false, true)))},
    {"match_from", 2, &G::searched, 3, CALL(H(match_from(a[0], a[1], a[2]))),
     MODEL(integer(search(v[0], v[1], v[2], true, true)))},
    {"repeat", 3, &G::repeat, 0, CALL(repeat(a[0], a[1])), MODEL(repeat(v[0], v[1]))},
    {"build_sequence", 4, &G::build, 0, CALL(build_sequence(n, a[0], a[1], a[2], a[3], a[4])),
     MODEL(build_sequence(v))},
    {"wrap_value", 4, &G::text, 0, CALL(wrap_value(a[0])), MODEL(wrap_value_model(v[0]))},
    {"add_to", 5, &G::compound, 0,
     [](const Step &st, const vorn_handle *a, int32_t) {
         static decltype(&add_to) const f[] = {add_to, subtract_from, multiply_by, divide_by};
         (st.code < 4 ? f[st.code] : concat_to)(&vars[st.dst], a[0]);
         return UNDEF;
     },
     MODEL(m.in_place = m.distinct(0), engine(m.st.code, m.vars[m.st.dst], v[0]))},
    {"subscript_assign", 12, &G::assignment, 0,
     CALL(subscript_assign(&vars[st.dst], a[0], n - 1, a[1], a[2], a[3]), UNDEF), MODEL(m.assignment(false))},
    {"subscript_arithmetic_assign", 7, &G::assignment, 2,
     CALL(subscript_arithmetic_assign(st.code, &vars[st.dst], a[0], n - 1, a[1], a[2], a[3]), UNDEF),
     MODEL(m.assignment(false))},
    {"slice_assign", 7, &G::assignment, 1,
     CALL(slice_assign(&vars[st.dst], a[0], a[1], n - 2, a[2], a[3], a[4]), UNDEF), MODEL(m.assignment(true))},
    {"slice_arithmetic_assign", 5, &G::assignment, 3,
     CALL(slice_arithmetic_assign(st.code, &vars[st.dst], a[0], a[1], n - 2, a[2], a[3], a[4]), UNDEF),
     MODEL(m.assignment(true))},
};
const int nops = int(sizeof ops / sizeof ops[0]);

// Calls vorn, holding the temporaries it must not release; the result, or UNDEF.
vorn_handle run_step(const Expect &m)
{
    std::vector<vorn_handle> h, borrowed, holding;
    for (size_t k = 0; k < m.st.args.size(); ++k) {
        const Arg &a = m.st.args[k];
        if (a.kind == Arg::Kind::var || (a.kind == Arg::Kind::held && a.value.is_int())) {
            h.push_back(a.kind == Arg::Kind::var ? vars[a.var] : vorn_handle(a.value.i));
            continue;
        }
        h.push_back(a.kind == Arg::Kind::view ? build_view(a.value, a.pad, 'p') : build(a.value));
        if (a.kind == Arg::Kind::held || m.disposition[k] == Disposition::must_hold)
            assign(&holding.emplace_back(0), h.back());
        else if (m.disposition[k] == Disposition::borrowed)
            borrowed.push_back(h.back());
    }
    int32_t n = int32_t(h.size());
    h.resize(h.size() + 5, 0);
    vorn_handle result = ops[m.st.op].call(m.st, h.data(), n);
    if (m.stores && !m.in_place)
        assign(&vars[m.st.dst], result);
    for (vorn_handle h : borrowed)
        if (vorn_is_object(h) && refcount(h) == 0)
            destroy(h);
    for (vorn_handle &held : holding)
        assign(&held, 0);
    return result;
}

// ---- checks ---------------------------------------------------------------------------

// Counts the holders of every record reachable from h; a view must lie inside a plain base of
// its storage kind, a bytesequence must keep the zero byte after its storage.
void visit(vorn_handle h, std::unordered_map<uint32_t, int> &holders, std::string &problem)
{
    uint32_t i = vorn_index(h);
    if (!vorn_is_object(h) || holders[i]++ > 0 || !vorn_is_sequence(h))
        return;
    const vorn_record &r = objects[i], &b = objects[vorn_index(r.base)];
    size_t width = r.length < 0 ? 1 : sizeof(vorn_handle), n = size_t(std::abs(r.length));
    const char *at = static_cast<const char *>(r.data), *lo = static_cast<const char *>(b.data);
    bool inside = n == 0 || ((r.length < 0) == (b.length < 0) && at >= lo &&
                             at + n * width <= lo + size_t(std::abs(b.length)) * width);
    if (r.base != 0 && (!vorn_is_sequence(r.base) || b.base != 0 || !inside))
        problem = "a view not inside a plain base of its storage kind: record " + std::to_string(i);
    if (r.base == 0 && r.length < 0 && at[n] != 0)
        problem = "a bytesequence without its terminating zero: record " + std::to_string(i);
    if (r.base != 0)
        visit(r.base, holders, problem);
    for (size_t k = 0; k < n && r.base == 0 && r.length > 0; ++k)
        visit(static_cast<const vorn_handle *>(r.data)[k], holders, problem);
}

// Every count equals the record's holders, no held record is free, every other record is.
std::string audit(int baseline)
{
    std::unordered_map<uint32_t, int> holders;
    std::string problem;
    for (vorn_handle h : vars)
        visit(h, holders, problem);
    if (!problem.empty())
        return "invariant: " + problem;
    std::vector<bool> free(size_t(object_count) + 1);
    for (int32_t i = free_tail; i != 0 && !free[size_t(i)]; i = objects[i].count)
        free[size_t(i)] = true;
    uint32_t null_index = vorn_index(null_sequence);
    for (const auto &[index, held] : holders) {
        int32_t count = objects[index].count;
        if (free[index] || (index == null_index ? count < held + 1 : count != held))
            return model::format("count: record %u has count %d, held %d times%s", index, count, held,
                                 free[index] ? ", and is free" : "");
    }
    int expected = baseline + int(holders.size()) - int(holders.count(null_index));
    if (vorn_test::live_records() != expected)
        return model::format("leak: %d live records, %d held", vorn_test::live_records(), expected);
    return "";
}

// A child's exit() leaves at once: inherited state is no business of a leak check.
void leave_now(int status, void *)
{
    std::fflush(nullptr);
    _exit(status);
}

// The step must end the program with exactly this report and status 1.
std::string expect_fatal(const Expect &m, const std::string &message)
{
    std::string want = "RUN_TIME_ERROR : " + message;
    vorn_test::child_result r = vorn_test::run_child([&] {
        alarm(10);
        on_exit(leave_now, nullptr);
        run_step(m);
    });
    if (r.out != want || r.status != 1)
        return model::format("fatal report: expected \"%s\" and status 1, got \"%s\", %d", want.c_str(),
                             r.out.c_str(), r.status);
    return "";
}

std::string show(const Step &s)
{
    std::string r = model::format("%s(%d) v%d", ops[s.op].name, s.code, s.dst);
    for (const Arg &a : s.args)
        r += ", " + std::string(&"v~V@"[int(a.kind)], 1) +
             (a.kind == Arg::Kind::var ? std::to_string(a.var) : model::show(a.value));
    return r;
}

// Runs one step in vorn and in the model; "" when they agree.
std::string check_step(const Step &st, Value *state, int baseline)
{
    std::vector<Value> next(state, state + nvars);
    Expect m{st, {}, next.data(), std::vector<Disposition>(st.args.size(), Disposition::consumed)};
    for (const Arg &a : st.args)
        m.v.push_back(a.kind == Arg::Kind::var ? state[a.var] : a.value);
    try {
        if (Value r = ops[st.op].model(m); m.stores)
            next[st.dst] = r;
    } catch (const model::Fatal &e) {
        return expect_fatal(m, e.message);
    } catch (const model::Undefined &) {
        return "";  // not run
    }
    if (run_step(m) != UNDEF && !m.stores)
        return "expected UNDEF";
    for (int v = 0; v < nvars; ++v) {
        state[v] = decode(vars[v]);  // the model goes on from vorn's forms where the rules leave them open
        if (!model::holds(state[v], next[v]))
            return "v" + std::to_string(v) + ": expected " + model::show(next[v]) + ", got " +
                   model::show(state[v]);
    }
    return audit(baseline);
}

// Runs one program; "" when vorn and the model agree throughout.  Doubles fill the table
// first, all but `room` of them kept, so that it grows (and moves) at a chosen moment.
std::string run_program(uint64_t seed, int length, int room, bool verbose)
{
    std::vector<vorn_handle> filler;
    while (free_tail != 0 || object_count < object_limit)
        filler.push_back(vorn_double_handle(new_double(0.0)));
    for (int k = 0; k < room && !filler.empty(); ++k, filler.pop_back())
        destroy(filler.back());
    Value state[nvars];
    std::fill(vars, vars + nvars, 0);
    Generator gen{std::mt19937_64(seed), state, seed % 4 == 0};
    int baseline = vorn_test::live_records();
    for (int k = 0; k < length; ++k) {
        Step st = gen.step();
        std::string trace = "step " + std::to_string(k) + ": " + show(st) + "\n";
        if (verbose)
            std::fputs(trace.c_str(), stderr);
        if (std::string f = check_step(st, state, baseline); !f.empty())
            return trace + f;
    }
    for (vorn_handle &v : vars)
        assign(&v, 0);
    if (vorn_test::live_records() != baseline)
        return "leak: " + std::to_string(vorn_test::live_records() - baseline) +
               " records left after the program";
    std::for_each(filler.begin(), filler.end(), destroy);
    return "";
}

}  // namespace

int main(int argc, char **argv)
{
    long programs = 1000, only = -1, seed = 1, steps = 40;
    for (int k = 1; k + 1 < argc; k += 2) {
        std::string a = argv[k];
        (a == "--programs" ? programs
         : a == "--seed"   ? seed
         : a == "--steps"  ? steps
                           : only) = std::atol(argv[k + 1]);
    }
    init_command_line(argc, argv);
    long first = only >= 0 ? only : 0, last = only >= 0 ? only + 1 : programs;
    // Batches of 100 programs, each in a child; a failing program prints its trace and ends the batch.
    for (long batch = first; batch < last; batch += 100) {
        vorn_test::child_result r = vorn_test::run_child([&] {
            for (long i = batch; i < std::min(last, batch + 100); ++i) {
                std::printf("program %ld\n", i);
                alarm(20);
                uint64_t s = std::mt19937_64(uint64_t(seed) * 1000003u + uint64_t(i))();
                if (std::string f = run_program(s, int(steps), int(s >> 40) % 48, only >= 0); !f.empty())
                    std::printf("FAILED: %s\n", f.c_str()), leave_now(3, nullptr);
            }
        });
        if (r.status != 0) {
            std::string tail = r.out.substr(std::min(r.out.size(), r.out.rfind("program ")));
            long failed = tail.empty() ? batch : std::atol(tail.c_str() + 8);
            std::printf("%s(status %d); reproduce: vorn_differential --seed %ld --steps %ld --program %ld\n",
                        tail.c_str(), r.status, seed, steps, failed);
            return 1;
        }
    }
    std::printf("vorn_differential: seed %ld, %ld programs of %ld steps agree with the model\n", seed,
                last - first, steps);
    return 0;
}
