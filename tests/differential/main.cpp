// main.cpp -- the differential test: seeded random programs over the core run
// through vorn and through the reference model side by side.  After every step
// the variables must hold the model's values in the model's storage forms,
// every record's count must equal its holders, views must lie inside their
// bases, bytesequences must keep their zero byte and every record not held
// must be on the free list; a step that must fail is run in a child and its
// exact report checked.  Each batch of programs runs in a child process.
//
//   vorn_differential [--programs N] [--seed S] [--steps L] [--program I]
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <unordered_map>
#include <unordered_set>

#include <vorn.h>

#include "model.h"
#include "records.h"

using model::Form;
using model::Value;

// Sanitizer reports end with their own status, not the 1 of a run-time error.
extern "C" const char *__asan_default_options() { return "exitcode=66"; }
extern "C" const char *__ubsan_default_options() { return "exitcode=67:print_stacktrace=1"; }

namespace {

constexpr int nvars = 6;

// One argument: a variable's handle, a new temporary, a temporary view into
// a padded temporary base, or an object the runner holds for the call.
struct Arg {
    enum class Kind { var, fresh, view, held } kind = Kind::var;
    int var = 0;
    Value value;
    int pad = 0;
};

// A row of the operation table (`ops`) and its arguments; assignments and
// compound steps write variable dst in place, the others store into it.
struct Step {
    int op = 0, code = 0, dst = 0;
    std::vector<Arg> args;
};

// ---- the generator ---------------------------------------------------------------

struct Generator {
    Generator(uint64_t seed, const Value *vars) : rng_(seed), vars_(vars), map_heavy_(seed % 4 == 0) {}
    Step step();

    std::mt19937_64 rng_;
    const Value *vars_;
    bool map_heavy_;  // MAPs of many keys, looked up far more often than changed

    int between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    int pick(int n) { return between(0, n - 1); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
    template <class T, size_t N> T one_of(const T (&a)[N]) { return a[pick(int(N))]; }

    Value gen_int()
    {
        static const int32_t edges[] = {0,           1,          2,          3,          -1,
                                        -2,          127,        128,        255,        256,
                                        'a',         'Z',        1073741823, 1073741824, 1073741825,
                                        -1073741824, 2147483647, -805306367, -805306368, 46341};
        return model::integer(chance(0.3)   ? one_of(edges)
                              : chance(0.5) ? between(0, 255)
                                            : between(-20, 300));
    }
    Value gen_double()
    {
        static const double edges[] = {0.0,          -0.0,          0.5,   -2.5,  3.0, 3e9,      -3e9,
                                       2147483648.0, -1073741824.0, 1e300, 255.0, NAN, INFINITY, -INFINITY};
        return model::dbl(chance(0.4)   ? one_of(edges)
                          : chance(0.5) ? between(-20, 300)
                                        : between(-9999, 9999) / 64.0);
    }
    Value gen_atom() { return chance(0.7) ? gen_int() : gen_double(); }
    Value gen_text()
    {
        static const char *const texts[] = {
            "42",   "+42", "  42",      "42  ",  "-1073741825", "2147483648", "12.", "12.5",
            ".5",   "1e3", "1e",        "1.2.3", "0x10",        "",           "#FF", "#o17",
            "#O19", "#",   "#C0000000", "-0",    "1E+2\n",      "5\x80",      "abc", "AbZ"};
        return model::text(one_of(texts));
    }
    Value gen_key()
    {
        if (map_heavy_ && chance(0.7))
            return model::text("k" + std::to_string(pick(40)));
        return chance(0.3) ? Value(model::seq({model::integer(pick(4))}, Form::words))
                           : model::text(std::string(1, char('a' + pick(4))));
    }
    Value gen_map(int depth)
    {
        std::vector<Value> keys, values;
        for (int k = map_heavy_ ? between(6, 20) : between(0, 4); k > 0; --k) {
            Value key = gen_key();
            if (model::cam_key_index(model::seq(keys, Form::words), key) < 0)
                keys.insert(keys.begin() - model::cam_key_index(model::seq(keys, Form::words), key) - 1, key);
        }
        for (size_t k = 0; k < keys.size(); ++k)
            values.push_back(gen_value(depth - 1));
        return model::seq({model::seq(keys, Form::words), model::build_sequence(values)}, Form::words);
    }
    Value gen_seq(int depth)
    {
        if (depth > 0 && chance(0.15))
            return gen_map(depth - 1);
        if (chance(0.15))
            return gen_text();
        std::vector<Value> e;
        bool bytes = chance(0.4);
        for (int k = between(0, 5); k > 0; --k)
            e.push_back(bytes                       ? model::integer(pick(256))
                        : depth > 0 && chance(0.25) ? gen_seq(depth - 1)
                                                    : gen_atom());
        return model::seq(e, bytes && chance(0.7) ? Form::bytes : Form::words);
    }
    Value gen_value(int depth) { return depth >= 0 && chance(0.55) ? gen_seq(depth) : gen_atom(); }

    Arg var_arg(int k) { return Arg{Arg::Kind::var, k, {}, 0}; }
    Arg held(Value v) { return Arg{Arg::Kind::held, 0, std::move(v), 0}; }
    Arg fresh(Value v)
    {
        bool view = v.is_seq() && v.size() > 0 && chance(0.2);
        return Arg{view ? Arg::Kind::view : Arg::Kind::fresh, 0, std::move(v), view ? pick(3) : 0};
    }
    int pick_var(bool want_sequence)
    {
        for (int tries = 0; tries < 6; ++tries)
            if (int k = pick(nvars); !want_sequence || vars_[k].is_seq())
                return k;
        return pick(nvars);
    }
    Arg operand(bool want_sequence)
    {
        int k = pick_var(want_sequence);
        if (chance(0.5) && (!want_sequence || vars_[k].is_seq() || chance(0.1)))
            return var_arg(k);
        return fresh(want_sequence ? gen_seq(2) : gen_value(2));
    }
    const Value &value_of(const Arg &a) { return a.kind == Arg::Kind::var ? vars_[a.var] : a.value; }
    // A position into n elements: mostly inside, sometimes one past either
    // end, from the end, or an integral (or not) double.
    Value position(int64_t n)
    {
        int64_t k =
            chance(0.7) && n > 0 ? between(1, int(n)) : one_of({int64_t(0), n + 1, -n - 1, int64_t(-1)});
        return chance(0.08) ? model::dbl(double(k) + (chance(0.2) ? 0.5 : 0)) : model::integer(k);
    }
    const Value *path(Step &st, int levels);
    void assignment(Step &st, bool slice);
    void literal(Step &st)
    {
        st.args.push_back(fresh(chance(map_heavy_ ? 0.7 : 0.2) ? gen_map(map_heavy_ ? 0 : 2) : gen_value(3)));
    }
    void two(Step &st, int code)
    {
        auto &a = st.args;
        a.push_back(operand(chance(0.5)));
        a.push_back(operand(chance(0.4)));
        if (code >= 0 && value_of(a[0]).is_seq() && value_of(a[1]).is_seq() &&
            value_of(a[0]).size() != value_of(a[1]).size() && chance(0.9)) {
            std::vector<Value> e;  // mostly operands of the same length
            for (size_t k = value_of(a[0]).size(); k > 0; --k)
                e.push_back(chance(0.3) ? gen_seq(0) : gen_atom());
            a[1] = fresh(model::build_sequence(e));
        }
        st.code = code >= 0 ? code : between(7, 12);
    }
    void located(Step &st, bool slice);  // subscript, removeindex, slice
    void inserted(Step &st, bool at)
    {
        st.args.push_back(operand(chance(0.95)));
        st.args.push_back(operand(chance(0.3)));
        const Value &s = value_of(st.args[0]);
        int n = s.is_seq() ? int(s.size()) : 2;
        if (at)
            st.args.push_back(held(chance(0.85) ? model::integer(between(-n - 1, n)) : position(n)));
    }
    void searched(Step &st, bool match, bool from);
    void text_value(Step &st)
    {
        auto &a = st.args;
        a.push_back(chance(0.15)  ? fresh(model::integer(pick(256)))
                    : chance(0.2) ? operand(true)
                                  : fresh(gen_text()));
        if (a[0].kind == Arg::Kind::fresh && a[0].value.size() > 0 && chance(0.2))
            a[0].value.form = Form::words;
    }
};

void Generator::located(Step &st, bool slice)
{
    auto &a = st.args;
    a.push_back(operand(true));
    for (int k = 0; k < nvars && map_heavy_; ++k)
        if (vars_[k].words() && vars_[k].size() == 2 && vars_[k].elems[0].is_seq() && chance(0.8))
            a[0] = var_arg(k);
    const Value &s = value_of(a[0]);
    int64_t n = s.is_seq() ? int64_t(s.size()) : 2;
    bool map = s.words() && n == 2 && s.elems[0].is_seq() && s.elems[0].size() > 0;
    if (slice) {
        int lo = between(1, int(n) + 1);
        a.push_back(held(chance(0.9) ? model::integer(lo) : position(n)));
        a.push_back(
            held(chance(0.9) ? model::integer(chance(0.9) ? between(lo - 1, int(n)) : lo - 2) : position(n)));
    } else if (map && chance(0.8)) {
        const Value &keys = s.elems[0];
        a.push_back(held(chance(0.8) ? keys.elems[size_t(pick(int(keys.size())))] : gen_key()));
    } else {
        a.push_back(held(chance(0.03) ? gen_key() : position(n)));
    }
}

void Generator::searched(Step &st, bool match, bool from)
{
    auto &a = st.args;
    a.push_back(operand(match && chance(0.9)));
    a.push_back(operand(chance(0.95)));
    const Value &s = value_of(a[1]);
    int n = s.is_seq() ? int(s.size()) : 2;
    if (chance(0.5) && n > 0 && s.is_seq()) {  // something that is there
        size_t at = size_t(pick(n)), len = size_t(pick(n - int(at) + 1));
        a[0] = fresh(
            match ? model::build_sequence({s.elems.begin() + long(at), s.elems.begin() + long(at + len)})
                  : s.elems[at]);
    }
    if (from)
        a.push_back(held(chance(0.9) ? model::integer(between(0, n + 1)) : position(n)));
}

// Positions that follow the variable's value down `levels` levels.
const Value *Generator::path(Step &st, int levels)
{
    const Value *at = &vars_[st.dst];
    for (int level = 0; level < levels; ++level) {
        int64_t n = at && at->is_seq() ? int64_t(at->size()) : 2;
        Value k = chance(0.9) && n > 0 ? model::integer(between(1, int(n))) : position(n);
        if (chance(0.1) && k.is_int())
            k = model::integer(k.i - n - 1);  // the same place counted from the end
        if (level > 0 && !(at && at->is_seq()) && chance(0.9))
            break;  // mostly no walking into atoms
        st.args.push_back(held(k));
        at = at && at->is_seq() && k.is_int() && k.i != 0 && std::abs(k.i) <= n
                 ? &at->elems[size_t(k.i > 0 ? k.i - 1 : n + k.i)]
                 : nullptr;
    }
    return at;  // where the path ends, if it names a place
}

void Generator::assignment(Step &st, bool slice)
{
    static const int codes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 15, 16, 17, 19, 21, 27, 0, 1, 19};
    st.dst = pick_var(true);
    if (!vars_[st.dst].is_seq() && chance(0.9))
        return st.op = 0, literal(st);  // nothing to assign into
    if (st.code >= 0)
        st.code = one_of(codes);
    int levels = chance(0.6) ? 1 : chance(0.7) ? 2 : 3;
    auto value_operand = [&] {
        int k = pick_var(false);
        return chance(0.3) && k != st.dst ? var_arg(k) : fresh(gen_value(2));
    };
    if (!slice) {
        st.args.push_back(st.code < 0 && chance(0.05) ? var_arg(st.dst) : value_operand());
        path(st, levels);
        return;
    }
    st.args.resize(2);  // hi and the value, set below
    const Value *at = path(st, levels - 1);
    int n = at && at->is_seq() ? int(at->size()) : 3;
    int lo = n > 0 ? between(1, n) : 1, hi = chance(0.1) ? lo - 1 : n > 0 ? between(lo, n) : 1;
    st.args.push_back(held(chance(0.9) ? model::integer(lo) : position(n)));
    st.args[0] = held(chance(0.9) ? model::integer(hi) : position(n));
    Arg v = value_operand();
    if (chance(0.4) && (v.kind != Arg::Kind::var || vars_[v.var].is_atom())) {
        st.args[1] = v.kind == Arg::Kind::var ? v : fresh(gen_atom());
        return;
    }
    std::vector<Value> e;
    bool bytes = chance(0.5);
    for (int k = std::max(0, hi - lo + 1) + (chance(0.08) ? 1 : 0); k > 0; --k)
        e.push_back(bytes ? model::integer(pick(256)) : gen_value(1));
    Value s = model::build_sequence(e);
    if (s.bytes() && chance(0.4))
        s.form = Form::words;
    st.args[1] = fresh(s);
}

// ---- what a step means in the model, and vorn's side -----------------------------------

enum class Disposition { consumed, borrowed, must_hold };  // of a temporary argument

struct Outcome {
    enum class Kind { ok, fatal, undefined } kind = Kind::ok;
    std::string message;
    bool stores = false, no_value = false, in_place = false;
    Value result;
    std::vector<Disposition> disposition;
};

// The model's view of a step: its argument values, the variables, the outcome.
struct Expect {
    const Step &st;
    Value *vars;
    Outcome &o;
    const Value &v(size_t k) const
    {
        return st.args[k].kind == Arg::Kind::var ? vars[st.args[k].var] : st.args[k].value;
    }
    void result(Value r) { o.stores = true, o.result = std::move(r); }
    void number(int32_t r) { result(model::integer(r)); }
    std::vector<Value> path(size_t first) const
    {
        std::vector<Value> p;
        for (size_t k = first; k < st.args.size(); ++k)
            p.push_back(st.args[k].value);
        return p;
    }
};

// The assignment forms (slice: hi and the value lead the path; code < 0: plain).
void expect_assignment(Expect &m, bool slice)
{
    size_t at = slice ? 1 : 0;
    const Arg &v = m.st.args[at];
    if (v.kind == Arg::Kind::var && v.var == m.st.dst && (slice || m.st.code >= 0))
        throw model::Undefined{"the assigned variable is also the value"};
    Value target = m.vars[m.st.dst];
    int64_t c = -1;
    if (!slice)
        model::element_assign(m.st.code, target, m.v(0), m.path(1));
    else
        c = model::slice_assign(m.st.code, target, m.v(0), m.v(1), m.path(2));
    if (c == 0 || (slice && m.st.code < 0 && m.v(1).is_seq() && !m.v(1).words()) ||
        (slice && m.st.code >= 0 && m.v(1).is_dbl()))
        m.o.disposition[at] = Disposition::must_hold;  // its release the rules leave open
    m.vars[m.st.dst] = std::move(target);
}

vorn_handle vars[nvars];

vorn_handle binary_call(int code, vorn_handle a, vorn_handle b)
{
    using F = vorn_handle (*)(vorn_handle, vorn_handle);
    static const F f[] = {add,        subtract,     multiply,  divide,         vorn_and,  vorn_or,
                          vorn_xor,   greater_than, less_than, equals,         not_equal, greater_equal,
                          less_equal, nullptr,      nullptr,   or_bits,        xor_bits,  and_bits,
                          nullptr,    nullptr,      nullptr,   wrap_remainder, nullptr,   nullptr,
                          nullptr,    nullptr,      nullptr,   power};
    return f[code](a, b);
}

vorn_handle unary_call(int code, vorn_handle x)
{
    using F = vorn_handle (*)(vorn_handle);
    const std::pair<int, F> f[] = {{model::c_not, vorn_not},      {model::c_neg, negate},
                                   {model::c_not_bits, not_bits}, {model::c_floor, wrap_floor},
                                   {model::c_upper, upper},       {model::c_lower, lower}};
    return std::find_if(std::begin(f), std::end(f), [&](auto &e) { return e.first == code; })->second(x);
}

vorn_handle as_handle(int32_t v) { return static_cast<vorn_handle>(v); }

// One row per operation: its name and weight, how its arguments are drawn, how
// vorn is called (a: the argument handles; p, n: an assignment's path; dst: the
// variable) and what the model expects.  A result of UNDEF stores nothing.
using G = Generator &;
using H = const vorn_handle *;
using M = Expect &;
struct Row {
    const char *name;
    int weight;
    void (*draw)(G, Step &);
    vorn_handle (*call)(const Step &, H a, H p, int32_t n, vorn_handle *dst);
    void (*expect)(M);
};
const int binary_codes[] = {0, 1, 2, 3, 21, 27, 4, 5, 6, 17, 15, 16, 7, 8, 11, 12, 9, 10, 0, 1, 2};
const int unary_codes[] = {13, 14, 18, 20, 30, 31};
// clang-format off
#define CALL [](const Step &st, H a, H p, int32_t n, vorn_handle *dst) -> vorn_handle
#define USE (void)st, (void)a, (void)p, (void)n, (void)dst
const Row ops[] = {
    {"literal", 8, [](G g, Step &s) { g.literal(s); }, CALL { USE; return a[0]; }, [](M m) { m.result(m.v(0)); }},
    {"copy", 4, [](G g, Step &s) { s.args.push_back(g.var_arg(g.pick_var(false))); }, CALL { USE; return a[0]; },
     [](M m) { m.result(m.v(0)); }},
    {"binary", 14, [](G g, Step &s) { g.two(s, g.one_of(binary_codes)); },
     CALL { USE; return binary_call(st.code, a[0], a[1]); },
     [](M m) { bool untouched = false;
               m.result(model::binary_routine(m.st.code, m.v(0), m.v(1), &untouched));
               if (untouched) m.o.disposition[1] = Disposition::borrowed; }},
    {"unary", 6, [](G g, Step &s) { s.code = g.one_of(unary_codes); s.args.push_back(g.operand(g.chance(0.5))); },
     CALL { USE; return unary_call(st.code, a[0]); }, [](M m) { m.result(model::unary_routine(m.st.code, m.v(0))); }},
    {"BOOL_relation", 2, [](G g, Step &s) { g.two(s, -1); }, CALL { USE; return as_handle(BOOL_relation(st.code, a[0], a[1])); },
     [](M m) { m.number(model::bool_relation(m.st.code, m.v(0), m.v(1))); }},
    {"subscript", 6, [](G g, Step &s) { g.located(s, false); }, CALL { USE; return subscript(a[0], a[1]); },
     [](M m) { m.result(model::subscript(m.v(0), m.v(1))); m.o.disposition[0] = Disposition::borrowed; }},
    {"slice", 6, [](G g, Step &s) { g.located(s, true); }, CALL { USE; return slice(a[0], a[1], a[2]); },
     [](M m) { if (m.st.args[0].kind == Arg::Kind::view) m.o.disposition[0] = Disposition::must_hold;
               m.result(model::slice(m.v(0), m.v(1), m.v(2))); }},
    {"concat", 5, [](G g, Step &s) { g.two(s, -1); }, CALL { USE; return concat(a[0], a[1]); },
     [](M m) { m.result(model::concat(m.v(0), m.v(1))); }},
    {"wrap_concat", 1, [](G g, Step &s) { g.two(s, -1); }, CALL { USE; return wrap_concat(a[0], a[1]); },
     [](M m) { m.result(model::concat(m.v(0), m.v(1))); }},
    {"insert", 3, [](G g, Step &s) { g.inserted(s, true); }, CALL { USE; return insert(a[0], a[1], a[2]); },
     [](M m) { m.result(model::insert(m.v(0), m.v(1), m.v(2))); }},
    {"append", 3, [](G g, Step &s) { g.inserted(s, false); }, CALL { USE; return append(a[0], a[1]); },
     [](M m) { m.result(model::insert(m.v(0), m.v(1), model::integer(-1))); }},
    {"prepend", 2, [](G g, Step &s) { g.inserted(s, false); }, CALL { USE; return prepend(a[0], a[1]); },
     [](M m) { m.result(model::insert(m.v(0), m.v(1), model::integer(0))); }},
    {"removeindex", 4, [](G g, Step &s) { g.located(s, false); }, CALL { USE; return removeindex(a[0], a[1]); },
     [](M m) { bool absent = false;
               Value r = model::removeindex(m.v(0), m.v(1), &absent);
               if (absent) m.o.no_value = true, m.o.disposition[0] = Disposition::borrowed;
               else m.result(r); }},
    {"compare", 2, [](G g, Step &s) { g.two(s, -1); }, CALL { USE; return as_handle(compare(a[0], a[1])); },
     [](M m) { m.number(model::compare(m.v(0), m.v(1))); }},
    {"equal", 2, [](G g, Step &s) { g.two(s, -1); }, CALL { USE; return as_handle(equal(a[0], a[1])); },
     [](M m) { m.number(model::equal(m.v(0), m.v(1))); }},
    {"find", 3, [](G g, Step &s) { g.searched(s, false, false); }, CALL { USE; return as_handle(find(a[0], a[1])); },
     [](M m) { m.number(model::find_from(m.v(0), m.v(1), model::integer(0), false)); }},
    {"find_from", 2, [](G g, Step &s) { g.searched(s, false, true); }, CALL { USE; return as_handle(find_from(a[0], a[1], a[2])); },
     [](M m) { m.number(model::find_from(m.v(0), m.v(1), m.v(2), true)); }},
    {"match", 3, [](G g, Step &s) { g.searched(s, true, false); }, CALL { USE; return as_handle(match(a[0], a[1])); },
     [](M m) { m.number(model::match_from(m.v(0), m.v(1), model::integer(0), false)); }},
    {"match_from", 2, [](G g, Step &s) { g.searched(s, true, true); }, CALL { USE; return as_handle(match_from(a[0], a[1], a[2])); },
     [](M m) { m.number(model::match_from(m.v(0), m.v(1), m.v(2), true)); }},
    {"repeat", 3, [](G g, Step &s) { s.args = {g.operand(false), g.held(g.chance(0.95) ? model::integer(g.between(0, 5)) : model::dbl(2.0))}; },
     CALL { USE; return repeat(a[0], a[1]); }, [](M m) { m.result(model::repeat(m.v(0), m.v(1))); }},
    {"build_sequence", 4,
     [](G g, Step &s) { for (int k = g.between(0, 5); k > 0; --k)
                            s.args.push_back(g.chance(0.3) ? g.var_arg(g.pick_var(false)) : g.fresh(g.chance(0.7) ? g.gen_int() : g.gen_value(1))); },
     CALL { USE; return build_sequence(int32_t(st.args.size()), a[0], a[1], a[2], a[3], a[4]); },
     [](M m) { std::vector<Value> e;
               for (size_t k = 0; k < m.st.args.size(); ++k) e.push_back(m.v(k));
               m.result(model::build_sequence(e)); }},
    {"wrap_value", 4, [](G g, Step &s) { g.text_value(s); }, CALL { USE; return wrap_value(a[0]); },
     [](M m) { m.result(model::wrap_value(m.v(0))); }},
    {"add_to", 5, [](G g, Step &s) { s.code = g.one_of({0, 1, 2, 3, 19}); s.args.push_back(g.operand(g.chance(0.3))); },
     CALL { USE; using F = void (*)(vorn_handle *, vorn_handle);
            static const F f[] = {add_to, subtract_from, multiply_by, divide_by};
            (st.code < 4 ? f[st.code] : concat_to)(dst, a[0]); return UNDEF; },
     [](M m) { if (m.st.args[0].kind == Arg::Kind::var && m.st.args[0].var == m.st.dst)
                   throw model::Undefined{"the variable is also the value"};
               m.o.in_place = true;
               m.result(model::engine(m.st.code, m.vars[m.st.dst], m.v(0))); }},
    {"subscript_assign", 12, [](G g, Step &s) { s.code = -1; g.assignment(s, false); },
     CALL { USE; subscript_assign(dst, a[0], n, p[0], p[1], p[2], p[3], p[4], p[5]); return UNDEF; },
     [](M m) { expect_assignment(m, false); }},
    {"subscript_arithmetic_assign", 7, [](G g, Step &s) { g.assignment(s, false); },
     CALL { USE; subscript_arithmetic_assign(st.code, dst, a[0], n, p[0], p[1], p[2], p[3], p[4], p[5]); return UNDEF; },
     [](M m) { expect_assignment(m, false); }},
    {"slice_assign", 7, [](G g, Step &s) { s.code = -1; g.assignment(s, true); },
     CALL { USE; slice_assign(dst, a[0], a[1], n, p[0], p[1], p[2], p[3], p[4], p[5]); return UNDEF; },
     [](M m) { expect_assignment(m, true); }},
    {"slice_arithmetic_assign", 5, [](G g, Step &s) { g.assignment(s, true); },
     CALL { USE; slice_arithmetic_assign(st.code, dst, a[0], a[1], n, p[0], p[1], p[2], p[3], p[4], p[5]); return UNDEF; },
     [](M m) { expect_assignment(m, true); }},
};
#undef CALL
#undef USE
// clang-format on
const int nops = int(sizeof ops / sizeof ops[0]), subscript_row = 5;

bool is_slice_assignment(const Step &st) { return std::string(ops[st.op].name).rfind("slice_", 0) == 0; }

std::string show(const Step &s)
{
    std::string r =
        std::string(ops[s.op].name) + "(" + std::to_string(s.code) + ") v" + std::to_string(s.dst);
    for (const Arg &a : s.args) {
        static const char *const kinds[] = {"v", "~", "view~", "@"};
        r += ", " + std::string(kinds[int(a.kind)]) +
             (a.kind == Arg::Kind::var ? std::to_string(a.var) : model::show(a.value));
    }
    return r;
}

Step Generator::step()
{
    int total = 0, r;
    auto weight = [&](int k) { return map_heavy_ && k == subscript_row ? 200 : ops[k].weight; };
    for (int k = 0; k < nops; ++k)
        total += weight(k);
    Step st;
    for (r = pick(total); r >= weight(st.op); ++st.op)
        r -= weight(st.op);
    st.dst = pick(nvars);
    ops[st.op].draw(*this, st);
    return st;
}

Outcome model_step(const Step &st, Value *vars)
{
    Outcome o;
    o.disposition.assign(st.args.size(), Disposition::consumed);
    Expect m{st, vars, o};
    try {
        ops[st.op].expect(m);
    } catch (const model::Fatal &f) {
        o.kind = Outcome::Kind::fatal;
        o.message = f.message;
    } catch (const model::Undefined &u) {
        o.kind = Outcome::Kind::undefined;
        o.message = u.why;
    }
    if (o.kind == Outcome::Kind::ok && o.stores)
        vars[st.dst] = o.result;
    return o;
}

void release_temporary(vorn_handle h)
{
    if (vorn_is_object(h) && refcount(h) < 1)
        destroy(h);
}

void drop(vorn_handle h)
{
    if (vorn_is_object(h) && --objects[vorn_index(h)].count == 0)
        destroy(h);
}

struct Call {
    std::vector<vorn_handle> h, release_after, drop_after;
};

vorn_handle pass(const Arg &a, Disposition d, Call &call)
{
    if (a.kind == Arg::Kind::var)
        return vars[a.var];
    if (a.kind == Arg::Kind::held && a.value.is_int())
        return vorn_handle(a.value.i);
    vorn_handle h = a.kind == Arg::Kind::view ? build_view(a.value, a.pad) : build(a.value);
    if (a.kind == Arg::Kind::held || d == Disposition::must_hold)
        call.drop_after.push_back(reference(h));
    else if (d == Disposition::borrowed)
        call.release_after.push_back(h);
    return h;
}

// The result (UNDEF for none) of the routine called on the step's arguments.
vorn_handle call_vorn(const Step &st, const Outcome &o, Call &call)
{
    for (size_t k = 0; k < st.args.size(); ++k)
        call.h.push_back(pass(st.args[k], o.disposition[k], call));
    std::vector<vorn_handle> a = call.h;
    a.resize(a.size() + 8, 0);
    size_t first = is_slice_assignment(st) ? 2 : 1;
    return ops[st.op].call(st, a.data(), a.data() + first, int32_t(call.h.size() - first), &vars[st.dst]);
}

// ---- checks ---------------------------------------------------------------------------

// Holders of every record reachable from the variables, checking views and
// the zero byte after a bytesequence's own storage on the way.
struct Audit {
    std::unordered_map<uint32_t, int> holders;
    std::string problem;

    void visit(vorn_handle h)
    {
        if (!vorn_is_object(h) || !problem.empty())
            return;
        uint32_t i = vorn_index(h);
        if (i >= uint32_t(object_count)) {
            problem = "a handle past the table";
            return;
        }
        if (holders[i]++ > 0 || !vorn_is_sequence(h))
            return;
        const vorn_record &r = objects[i];
        if (r.base != 0) {
            check_view(r);
            visit(r.base);
        } else if (r.length < 0 && static_cast<const unsigned char *>(r.data)[-r.length] != 0) {
            problem = "a bytesequence without its terminating zero: record " + std::to_string(i);
        }
        for (int32_t k = 0; k < r.length && r.base == 0; ++k)
            visit(static_cast<const vorn_handle *>(r.data)[k]);
    }

    void check_view(const vorn_record &v)
    {
        const vorn_record &b = objects[vorn_index(v.base)];
        size_t width = b.length < 0 ? 1 : sizeof(vorn_handle);
        const char *lo = static_cast<const char *>(b.data), *at = static_cast<const char *>(v.data);
        size_t base_bytes = size_t(std::abs(b.length)) * width,
               view_bytes = size_t(std::abs(v.length)) * width;
        if (!vorn_is_sequence(v.base) || b.base != 0)
            problem = "a view whose base is not a sequence, or a view of a view";
        else if ((v.length < 0) != (b.length < 0) && v.length != 0)
            problem = "a view whose storage kind differs from its base";
        else if (view_bytes > 0 && (at < lo || at + view_bytes > lo + base_bytes))
            problem = "a view outside its base's storage";
    }
};

std::string audit(int baseline)
{
    Audit a;
    for (vorn_handle h : vars)
        a.visit(h);
    if (!a.problem.empty())
        return "invariant: " + a.problem;
    std::unordered_set<uint32_t> free_set;
    for (int32_t i = free_tail; i != 0 && free_set.size() <= size_t(object_count); i = objects[i].count)
        free_set.insert(uint32_t(i));
    uint32_t null_index = vorn_index(null_sequence);
    for (const auto &[index, holders] : a.holders) {
        int32_t count = objects[index].count;
        if (free_set.count(index) || (index == null_index ? count < holders + 1 : count != holders))
            return "count: record " + std::to_string(index) + " has count " + std::to_string(count) +
                   ", held " + std::to_string(holders) + " times" +
                   (free_set.count(index) ? ", and is on the free list" : "");
    }
    int expected = baseline + int(a.holders.size()) - int(a.holders.count(null_index));
    if (live_records() != expected)
        return "leak: " + std::to_string(live_records()) + " live records, " + std::to_string(expected) +
               " reachable";
    return "";
}

// A child's exit() leaves at once: the parent's state it inherited is no
// business of a sanitizer's leak check.
void leave_now(int status, void *)
{
    std::fflush(nullptr);
    _exit(status);
}

// Runs body in a child with standard output captured; its exit status.
std::string in_child(const std::function<int()> &body, int *status, unsigned seconds)
{
    std::fflush(stdout);
    int fds[2];
    if (pipe(fds) != 0)
        std::abort();
    pid_t pid = fork();
    if (pid == 0) {
        alarm(seconds);
        close(fds[0]);
        dup2(fds[1], 1);
        close(fds[1]);
        int code = body();
        std::fflush(stdout);
        _exit(code);
    }
    close(fds[1]);
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        out.append(buf, size_t(n));
    close(fds[0]);
    int raw = 0;
    waitpid(pid, &raw, 0);
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return out;
}

std::string expect_fatal(const Step &st, const Outcome &o)
{
    int status = 0;
    std::string out = in_child(
        [&] {
            on_exit(leave_now, nullptr);
            Call call;
            call_vorn(st, o, call);
            return 0;
        },
        &status, 10);
    std::string want = "RUN_TIME_ERROR : " + o.message;
    if (out == want && status == 1)
        return "";
    return "fatal-report: expected \"" + want + "\" and status 1, got \"" + out + "\" and status " +
           std::to_string(status);
}

// Doubles fill the table to its capacity, then `room` of them are freed, so
// that the table grows (and moves) at a chosen moment of the program.
std::vector<vorn_handle> fill_table(int room)
{
    std::vector<vorn_handle> filler;
    while (free_tail != 0 || object_count < object_limit)
        filler.push_back(vorn_double_handle(new_double(0.0)));
    for (int k = 0; k < room && !filler.empty(); ++k) {
        destroy(filler.back());
        filler.pop_back();
    }
    return filler;
}

bool verbose = false;  // --program: each step on standard error as it runs

struct Progress {  // in shared memory: survives a child that dies
    long program = -1, programs = 0, steps = 0, fatal = 0, skipped = 0;
};

// Runs one program; "" when vorn and the model agree throughout.
std::string run_program(uint64_t seed, int length, int room, Progress &progress, std::string &trace)
{
    Value state[nvars];
    for (vorn_handle &v : vars)
        v = 0;
    Generator gen(seed, state);
    std::vector<vorn_handle> filler = fill_table(room);
    int baseline = live_records();
    for (int k = 0; k < length; ++k) {
        Step st = gen.step();
        trace += "  " + std::to_string(k) + ": " + show(st) + "\n";
        if (verbose)
            std::fprintf(stderr, "%s", trace.c_str() + trace.rfind("  " + std::to_string(k) + ": "));
        Value next[nvars];
        std::copy(state, state + nvars, next);
        Outcome o = model_step(st, next);
        if (o.kind == Outcome::Kind::undefined) {
            ++progress.skipped;
            continue;
        }
        ++progress.steps;
        if (o.kind == Outcome::Kind::fatal) {
            ++progress.fatal;
            if (std::string f = expect_fatal(st, o); !f.empty())
                return f;
            continue;
        }
        Call call;
        vorn_handle result = call_vorn(st, o, call);
        if (o.stores && !o.in_place)
            assign(&vars[st.dst], result);
        for (vorn_handle h : call.release_after)
            release_temporary(h);
        for (vorn_handle h : call.drop_after)
            drop(h);
        if (o.no_value && result != UNDEF)
            return "mismatch: expected UNDEF";
        for (int v = 0; v < nvars; ++v) {
            std::string problem;
            Value got = decode(vars[v], problem);
            if (!problem.empty() || !model::same(got, next[v]) || !forms_agree(got, next[v]))
                return "v" + std::to_string(v) + ": expected " + model::show(next[v]) + ", got " +
                       model::show(got) + " " + problem;
            state[v] = got;  // the model goes on from vorn's forms where the rules left them open
        }
        if (std::string f = audit(baseline); !f.empty())
            return f;
    }
    for (vorn_handle &v : vars)
        assign(&v, 0);
    if (live_records() != baseline)
        return "leak: " + std::to_string(live_records() - baseline) + " records left after the program";
    for (vorn_handle h : filler)
        destroy(h);
    return "";
}

uint64_t program_seed(uint64_t seed, long index)
{
    uint64_t z = seed + 0x9E3779B97F4A7C15ull * uint64_t(index + 1);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
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
    if (argc % 2 == 0) {
        std::fprintf(stderr,
                     "usage: vorn_differential [--programs N] [--seed S] [--steps L] [--program I]\n");
        return 2;
    }
    verbose = only >= 0;
    init_command_line(argc, argv);
    void *shared = mmap(nullptr, sizeof(Progress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    Progress *progress = new (shared) Progress();
    long first = only >= 0 ? only : 0, last = only >= 0 ? only + 1 : programs;
    int failures = 0;
    while (first < last && failures < 5) {
        int status = 0;
        std::string out = in_child(
            [&] {
                for (long i = first; i < std::min(last, first + 100); ++i, ++progress->programs) {
                    progress->program = i;
                    alarm(20);
                    std::string trace;
                    uint64_t s = program_seed(seed, i);
                    std::string f = run_program(s, int(steps), int(s >> 40) % 48, *progress, trace);
                    if (!f.empty() || only >= 0)
                        std::printf("%s%s\n%s", f.empty() ? "" : "FAILED: ", f.c_str(), trace.c_str());
                    if (!f.empty())
                        return 3;
                }
                return 0;
            },
            &status, 600);
        std::fputs(out.c_str(), stdout);
        if (status == 0) {
            first = std::min(last, first + 100);
            continue;
        }
        std::printf("FAILED seed %llu program %ld (status %d); reproduce: vorn_differential --seed %llu "
                    "--program %ld\n",
                    (unsigned long long)seed, progress->program, status, (unsigned long long)seed,
                    progress->program);
        ++failures;
        first = progress->program + 1;
        ++progress->programs;
    }
    std::printf(
        "vorn_differential: seed %llu, %ld programs, %ld steps run (%ld fatal reports checked in a child), "
        "%ld skipped where the rules leave the outcome open; %d failed\n",
        (unsigned long long)seed, progress->programs, progress->steps, progress->fatal, progress->skipped,
        failures);
    return failures ? 1 : 0;
}
