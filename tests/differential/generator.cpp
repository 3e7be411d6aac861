// generator.cpp -- random programs over the core: values with a bias towards
// the edges (byte boundaries, the ends of the integer class, NaN, strings,
// MAPs), and steps chosen with the model's view of the variables so that
// most of them are valid and some of them fail on purpose.
#include <algorithm>
#include <cmath>
#include <limits>

#include "program.h"

namespace diff {

using model::Form;
using model::Value;

namespace {

constexpr size_t max_weight = 160;  // nodes per variable, to keep programs small

size_t weight(const Value &v)
{
    size_t w = 1;
    for (const Value &e : v.elems)
        w += weight(e);
    return w;
}

bool is_usable_map(const Value &v)
{
    return v.words() && v.size() == 2 && v.elems[0].is_seq() && (v.elems[0].size() == 0 || v.elems[0].words()) &&
           v.elems[1].is_seq();
}

class Generator {
public:
    // One program in four is MAP-heavy: MAPs of many keys, looked up far more
    // often than changed, so that the key lists get indexed.
    explicit Generator(uint64_t seed) : rng_(seed), map_heavy_(seed % 4 == 0) {}
    Program run(int length);

private:
    std::mt19937_64 rng_;
    bool map_heavy_;
    State state_;

    int pick(int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng_)); }
    int between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
    template <class T, size_t N>
    T one_of(const T (&a)[N]) { return a[pick(int(N))]; }

    Value gen_int();
    Value gen_double();
    Value gen_atom() { return chance(0.7) ? gen_int() : gen_double(); }
    Value gen_string(int max_len);
    Value gen_number_text();
    Value gen_key();
    Value gen_map(int depth);
    Value gen_seq(int depth);
    Value gen_value(int depth);
    Value gen_format();
    Value words_of(std::vector<Value> e) { return model::seq(std::move(e), Form::words); }

    int pick_var(bool want_sequence);
    const Value &var(int k) const { return state_.vars[k]; }
    Arg var_arg(int k);
    Arg fresh_arg(Value v);
    Arg held_arg(Value v);
    Arg operand(bool want_sequence);
    Arg value_operand(int avoid_var);
    Arg position(int64_t n, bool allow_key);
    Value position_value(int64_t n);

    Step gen_step();
    Step gen_value_step(Op op);
    Step gen_assignment(Op op);
    void gen_path(Step &st, const Value *at, int levels, bool slice_end);
};

Value Generator::gen_int()
{
    static const int32_t edges[] = {0, 1, 2, 3, -1, -2, 7, 10, 100, 127, 128, 255, 256, -255, 'a', 'Z', '0', '9',
                                    65, 97, 200, 1073741823, 1073741824, 1073741825, -1073741824, -1073741823,
                                    2147483647, -805306367, -805306368, 65536, 32768, 46340, 46341, 65633, 40000};
    switch (pick(4)) {
    case 0: return model::integer(one_of(edges));
    case 1: return model::integer(between(-20, 300));
    case 2: return model::integer(between(0, 255));
    default: return model::integer(between(-3, 12));
    }
}

Value Generator::gen_double()
{
    static const double edges[] = {0.0, -0.0, 0.5, -0.5, 1.5, 2.0, -2.5, 3.0, 1e9, 3e9, -3e9, 2147483648.0,
                                   -1073741824.0, 1e300, 1e-300, 0.1, 100.0, 255.0, 65.0, 7.0, -7.0,
                                   std::numeric_limits<double>::quiet_NaN(),
                                   std::numeric_limits<double>::infinity(),
                                   -std::numeric_limits<double>::infinity()};
    if (chance(0.4))
        return model::dbl(one_of(edges));
    if (chance(0.5))
        return model::dbl(between(-20, 300));
    return model::dbl(between(-100000, 100000) / 64.0);
}

Value Generator::gen_string(int max_len)
{
    static const char alphabet[] = "abcxyzABCXYZ0123456789 .-+#eE%";
    std::string s;
    int n = between(0, max_len);
    for (int k = 0; k < n; ++k) {
        if (chance(0.05))
            s += char(between(0, 255));
        else
            s += alphabet[pick(int(sizeof alphabet - 1))];
    }
    return model::text(s);
}

Value Generator::gen_number_text()
{
    static const char *const texts[] = {
        "42", "+42", "  42", "42  ", "\t42", "-1073741824", "-1073741825", "2147483647", "2147483648",
        "12.", "12.5", ".5", "-.5", "1e3", "1e", "1e+", "1.2.3", "12abc", "0x10", "-", "", "   ",
        "#FF", "#ff", "#o17", "#O19", "#1G", "#", "#7FFFFFFF", "#C0000000", "3.25e-2", "007", "-0",
        "1E+2\n", "99999999999", " +.5e1", "5\x80", "12. ", "1.", ".", "+"};
    if (chance(0.7))
        return model::text(texts[pick(int(sizeof texts / sizeof *texts))]);
    std::string s;
    if (chance(0.3))
        s += "-";
    for (int k = between(1, 10); k > 0; --k)
        s += char('0' + pick(10));
    if (chance(0.3))
        s += "." + std::to_string(pick(1000));
    if (chance(0.2))
        s += "e" + std::to_string(between(-5, 5));
    return model::text(s);
}

Value Generator::gen_key()
{
    static const char *const names[] = {"a", "b", "c", "ab", "key", "z", "A", ""};
    if (map_heavy_ && chance(0.7))
        return chance(0.8) ? model::text("k" + std::to_string(pick(40))) : gen_atom();
    switch (pick(4)) {
    case 0: return words_of({model::integer(between(0, 3)), model::integer(between(0, 300))});
    case 1: return words_of({model::text(names[pick(7)])});
    default: return model::text(names[pick(8)]);
    }
}

Value Generator::gen_map(int depth)
{
    std::vector<Value> keys;
    for (int k = map_heavy_ ? between(6, 20) : between(0, 4); k > 0; --k) {
        Value key = gen_key();
        bool dup = false;
        for (const Value &e : keys)
            dup = dup || model::compare(e, key) == 0;
        if (!dup)
            keys.push_back(key);
    }
    std::sort(keys.begin(), keys.end(), [](const Value &a, const Value &b) { return model::compare(a, b) < 0; });
    std::vector<Value> values;
    for (size_t k = 0; k < keys.size(); ++k)
        values.push_back(depth > 0 && chance(0.3) ? gen_map(depth - 1) : gen_value(depth - 1));
    bool byte_values = true;
    for (const Value &v : values)
        byte_values = byte_values && v.is_byte();
    return words_of({words_of(keys), model::seq(values, byte_values && chance(0.5) ? Form::bytes : Form::words)});
}

Value Generator::gen_seq(int depth)
{
    switch (pick(8)) {
    case 0: return gen_string(6);
    case 1: return gen_number_text();
    case 2: if (depth > 0) return gen_map(depth - 1); [[fallthrough]];
    case 3: {
        std::vector<Value> e;
        for (int k = between(0, 5); k > 0; --k)
            e.push_back(model::integer(between(0, 255)));
        return model::seq(e, chance(0.5) ? Form::bytes : Form::words);
    }
    default: {
        std::vector<Value> e;
        for (int k = between(0, 5); k > 0; --k)
            e.push_back(depth > 0 && chance(0.25) ? gen_seq(depth - 1) : gen_atom());
        bool bytes = true;
        for (const Value &v : e)
            bytes = bytes && v.is_byte();
        return model::seq(e, bytes && chance(0.5) ? Form::bytes : Form::words);
    }
    }
}

Value Generator::gen_value(int depth) { return depth >= 0 && chance(0.55) ? gen_seq(depth) : gen_atom(); }

Value Generator::gen_format()
{
    static const char *const pieces[] = {"%d", "%5d", "%-3d|", "%x", "%X", "%o", "%s", "%5s", "%-4s!", "%5.2f",
                                         "%g", "%e", "%c", "%%", "%% off ", "%+d", "%03d", " and ", "x=", "%i",
                                         "%u", "%10d", "%.3s", "%f", "%%%", "[%s]", "%2g", "%5d%%"};
    std::string f;
    for (int k = between(0, 4); k > 0; --k)
        f += pieces[pick(int(sizeof pieces / sizeof *pieces))];
    if (chance(0.1))
        return model::integer(between(0, 99));
    Value v = model::text(f);
    if (chance(0.15) && v.size() > 0)
        v.form = Form::words;
    return v;
}

int Generator::pick_var(bool want_sequence)
{
    for (int tries = 0; tries < 6; ++tries) {
        int k = pick(variable_count);
        if (!want_sequence || var(k).is_seq())
            return k;
    }
    return pick(variable_count);
}

Arg Generator::var_arg(int k)
{
    Arg a;
    a.kind = Arg::Kind::var;
    a.var = k;
    return a;
}

Arg Generator::fresh_arg(Value v)
{
    Arg a;
    a.kind = Arg::Kind::fresh;
    a.value = std::move(v);
    if (a.value.is_seq() && a.value.size() > 0 && chance(0.2)) {
        a.kind = Arg::Kind::view;
        a.pad_before = pick(3);
        a.pad_after = pick(3);
    }
    return a;
}

Arg Generator::held_arg(Value v)
{
    Arg a;
    a.kind = Arg::Kind::held;
    a.value = std::move(v);
    return a;
}

Arg Generator::operand(bool want_sequence)
{
    if (chance(0.5))
        return var_arg(pick_var(want_sequence));
    return fresh_arg(want_sequence && chance(0.8) ? gen_seq(2) : gen_value(2));
}

Arg Generator::value_operand(int avoid_var)
{
    if (chance(0.3)) {
        int k = pick_var(false);
        if (k != avoid_var)
            return var_arg(k);
    }
    return fresh_arg(gen_value(2));
}

Value Generator::position_value(int64_t n)
{
    int64_t k;
    switch (pick(10)) {
    case 0: k = 0; break;
    case 1: k = n + 1; break;
    case 2: k = -n - 1; break;
    case 3: k = n > 0 ? -between(1, int(n)) : -1; break;
    default: k = n > 0 ? between(1, int(n)) : 1; break;
    }
    if (chance(0.08))
        return model::dbl(double(k));
    if (chance(0.02))
        return model::dbl(double(k) + 0.5);
    return model::integer(k);
}

// A position into a sequence of n elements: mostly in range, sometimes one
// past either end, sometimes an integral (or not) double, rarely a key.
Arg Generator::position(int64_t n, bool allow_key)
{
    if (allow_key && chance(0.03))
        return held_arg(gen_key());
    return held_arg(position_value(n));
}

// The path of an assignment: levels subscripts that follow the model's value
// of the variable, keys where a MAP is reached (existing or new ones).
void Generator::gen_path(Step &st, const Value *at, int levels, bool slice_end)
{
    for (int level = 0; level < levels; ++level) {
        bool last = level + 1 == levels && !slice_end;
        if (at && is_usable_map(*at) && !state_.shared[st.dst] && chance(0.8)) {
            const Value &keys = at->elems[0];
            Value key = keys.size() > 0 && chance(0.6) ? keys.elems[size_t(pick(int(keys.size())))] : gen_key();
            int32_t j = model::cam_key_index(keys, key);
            st.args.push_back(held_arg(key));
            // A new key followed by more subscripts gets an empty MAP.
            static const Value empty_map = model::seq({model::seq({}, Form::words), model::seq({}, Form::words)},
                                                      Form::words);
            at = j > 0 && at->elems[1].is_seq() && at->elems[1].size() >= size_t(j)
                     ? &at->elems[1].elems[size_t(j - 1)] : j < 0 ? &empty_map : nullptr;
            continue;
        }
        int64_t n = at && at->is_seq() ? int64_t(at->size()) : 2;
        Value k = chance(0.9) && n > 0 ? model::integer(between(1, int(n))) : position_value(n);
        if (chance(0.1) && k.is_int())
            k = model::integer(k.i - n - 1);  // the same place counted from the end
        st.args.push_back(held_arg(k));
        at = at && at->is_seq() && k.is_int() && k.i != 0 && std::abs(k.i) <= n
                 ? &at->elems[size_t(k.i > 0 ? k.i - 1 : n + k.i)] : nullptr;
        if (last)
            return;
    }
}

Step Generator::gen_assignment(Op op)
{
    static const int codes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 15, 16, 17, 19, 21, 27, 0, 1, 19};
    Step st;
    st.op = op;
    st.dst = pick_var(true);
    // Half the time, a MAP that only this variable holds, if there is one.
    std::vector<int> maps;
    for (int k = 0; k < variable_count; ++k)
        if (is_usable_map(var(k)) && !state_.shared[k])
            maps.push_back(k);
    if (!maps.empty() && chance(0.5))
        st.dst = maps[size_t(pick(int(maps.size())))];
    bool slice = op == Op::slice_assign || op == Op::slice_arith_assign;
    if (op == Op::arith_assign || op == Op::slice_arith_assign)
        st.code = one_of(codes);
    int levels = chance(0.6) ? 1 : chance(0.7) ? 2 : 3;
    if (!slice) {
        st.args.push_back(op == Op::subscript_assign && chance(0.05) ? var_arg(st.dst) : value_operand(st.dst));
        gen_path(st, &var(st.dst), levels, false);
        return st;
    }
    st.args.push_back(held_arg(model::integer(0)));  // hi, set below
    st.args.push_back(Arg{});                        // value, set below
    gen_path(st, &var(st.dst), levels - 1, true);
    // Find the sequence the slice applies to, following the path in the model.
    const Value *at = &var(st.dst);
    for (size_t k = 2; k < st.args.size() && at; ++k) {
        const Value &sub = st.args[k].value;
        if (sub.is_seq() && is_usable_map(*at)) {
            int32_t j = model::cam_key_index(at->elems[0], sub);
            at = j > 0 && at->elems[1].is_seq() && at->elems[1].size() >= size_t(j) ? &at->elems[1].elems[size_t(j - 1)]
                                                                                    : nullptr;
        } else if (sub.is_int() && at->is_seq() && sub.i >= 1 && size_t(sub.i) <= at->size()) {
            at = &at->elems[size_t(sub.i - 1)];
        } else {
            at = nullptr;
        }
    }
    int64_t n = at && at->is_seq() ? int64_t(at->size()) : 3;
    int lo = n > 0 ? between(1, int(n)) : 1;
    int hi = chance(0.1) ? lo - 1 : n > 0 ? between(lo, int(n)) : 1;
    Value lo_v = chance(0.9) ? model::integer(lo) : position_value(n);
    Value hi_v = chance(0.9) ? model::integer(hi) : position_value(n);
    st.args.push_back(held_arg(lo_v));
    st.args[0] = held_arg(hi_v);
    int64_t c = std::max(0, hi - lo + 1);
    if (chance(0.4)) {
        st.args[1] = value_operand(st.dst);
        if (st.args[1].kind == Arg::Kind::var && !var(st.args[1].var).is_atom())
            return st;
        st.args[1] = fresh_arg(gen_atom());
        return st;
    }
    std::vector<Value> e;
    bool bytes = chance(0.5);
    for (int64_t k = chance(0.92) ? c : c + 1; k > 0; --k)
        e.push_back(bytes ? model::integer(between(0, 255)) : gen_value(1));
    bool all_bytes = true;
    for (const Value &x : e)
        all_bytes = all_bytes && x.is_byte();
    st.args[1] = fresh_arg(model::seq(e, all_bytes && chance(0.6) ? Form::bytes : Form::words));
    return st;
}

Step Generator::gen_value_step(Op op)
{
    static const int binary_codes[] = {0, 1, 2, 3, 21, 27, 4, 5, 6, 17, 15, 16, 7, 8, 11, 12, 9, 10, 0, 1, 2, 3};
    // wrap_rand (28) is left out: its numbers are the platform generator's.
    static const int unary_codes[] = {13, 14, 18, 20, 30, 31, 22, 23, 24, 25, 26, 29, 14, 20, 30};
    Step st;
    st.op = op;
    st.dst = pick(variable_count);
    switch (op) {
    case Op::literal:
        st.args.push_back(fresh_arg(chance(map_heavy_ ? 0.7 : 0.3) ? gen_map(map_heavy_ ? 0 : 2) : gen_value(3)));
        break;
    case Op::copy: st.args.push_back(var_arg(pick_var(false))); break;
    case Op::binary:
        st.code = one_of(binary_codes);
        st.args.push_back(operand(chance(0.4)));
        st.args.push_back(operand(chance(0.3)));
        break;
    case Op::unary:
        st.code = one_of(unary_codes);
        st.args.push_back(operand(chance(0.5)));
        break;
    case Op::bool_relation:
        st.code = between(7, 12);
        st.args.push_back(operand(chance(0.5)));
        st.args.push_back(operand(chance(0.5)));
        break;
    case Op::subscript: case Op::removeindex: {
        st.args.push_back(operand(true));
        for (int k = 0; k < variable_count && map_heavy_; ++k)
            if (is_usable_map(var(k)) && chance(0.8))
                st.args[0] = var_arg(k);
        const Value &s = st.args[0].kind == Arg::Kind::var ? var(st.args[0].var) : st.args[0].value;
        if (is_usable_map(s) && chance(map_heavy_ ? 0.95 : 0.7)) {
            const Value &keys = s.elems[0];
            st.args.push_back(held_arg(keys.size() > 0 && chance(0.7) ? keys.elems[size_t(pick(int(keys.size())))]
                                                                        : gen_key()));
        } else {
            st.args.push_back(position(s.is_seq() ? int64_t(s.size()) : 2, true));
        }
        break;
    }
    case Op::slice: {
        st.args.push_back(operand(true));
        const Value &s = st.args[0].kind == Arg::Kind::var ? var(st.args[0].var) : st.args[0].value;
        int64_t n = s.is_seq() ? int64_t(s.size()) : 2;
        int lo = between(1, int(n) + 1);
        int hi = chance(0.85) ? between(lo - 1, int(n)) : lo - 2;
        st.args.push_back(held_arg(chance(0.9) ? model::integer(lo) : position_value(n)));
        st.args.push_back(held_arg(chance(0.9) ? model::integer(hi) : position_value(n)));
        break;
    }
    case Op::concat: case Op::wrap_concat:
        st.args.push_back(operand(chance(0.7)));
        st.args.push_back(operand(chance(0.6)));
        break;
    case Op::insert: case Op::append: case Op::prepend: {
        st.args.push_back(operand(chance(0.95)));
        st.args.push_back(operand(chance(0.3)));
        if (op == Op::insert) {
            const Value &s = st.args[0].kind == Arg::Kind::var ? var(st.args[0].var) : st.args[0].value;
            int64_t n = s.is_seq() ? int64_t(s.size()) : 2;
            st.args.push_back(held_arg(chance(0.85) ? model::integer(between(-int(n) - 1, int(n))) : position_value(n)));
        }
        break;
    }
    case Op::compare: case Op::equal:
        st.args.push_back(operand(chance(0.6)));
        st.args.push_back(operand(chance(0.6)));
        break;
    case Op::find: case Op::find_from: case Op::match: case Op::match_from: {
        bool match = op == Op::match || op == Op::match_from;
        st.args.push_back(operand(false));
        st.args.push_back(operand(chance(0.95)));
        const Value &s = st.args[1].kind == Arg::Kind::var ? var(st.args[1].var) : st.args[1].value;
        const Value &x = st.args[0].kind == Arg::Kind::var ? var(st.args[0].var) : st.args[0].value;
        if (chance(0.5) && s.is_seq() && s.size() > 0) {
            // Look for something that is there.
            size_t at = size_t(pick(int(s.size())));
            if (match) {
                size_t len = size_t(pick(int(s.size() - at) + 1));
                std::vector<Value> run(s.elems.begin() + at, s.elems.begin() + at + len);
                st.args[0] = fresh_arg(model::seq(run, chance(0.5) ? s.form : Form::words));
                if (st.args[0].value.size() > 0 && !st.args[0].value.elems[0].is_byte())
                    st.args[0].value.form = Form::words;
                bool all_bytes = true;
                for (const Value &e : st.args[0].value.elems)
                    all_bytes = all_bytes && e.is_byte();
                if (!all_bytes)
                    st.args[0].value.form = Form::words;
            } else {
                st.args[0] = fresh_arg(s.elems[at]);
            }
        } else if (match && x.is_atom() && chance(0.9)) {
            st.args[0] = fresh_arg(gen_seq(1));
        }
        if (op == Op::find_from || op == Op::match_from) {
            int64_t n = s.is_seq() ? int64_t(s.size()) : 2;
            Value k = chance(0.9) ? model::integer(between(0, int(n) + 1)) : position_value(n);
            if (k.is_int() && k.i < 0)
                k = model::integer(0);
            st.args.push_back(held_arg(k));
        }
        break;
    }
    case Op::repeat:
        st.args.push_back(operand(false));
        st.args.push_back(held_arg(chance(0.95) ? model::integer(between(0, 5)) : model::dbl(2.0)));
        break;
    case Op::build:
        for (int k = between(0, 5); k > 0; --k)
            st.args.push_back(chance(0.3) ? var_arg(pick_var(false)) : fresh_arg(chance(0.7) ? gen_int() : gen_value(1)));
        break;
    case Op::value:
        if (chance(0.15))
            st.args.push_back(fresh_arg(model::integer(between(0, 255))));
        else if (chance(0.2))
            st.args.push_back(operand(true));
        else {
            Value t = gen_number_text();
            if (chance(0.2) && t.size() > 0)
                t.form = Form::words;
            st.args.push_back(fresh_arg(t));
        }
        break;
    case Op::sprintf: {
        st.args.push_back(fresh_arg(gen_format()));
        Value a;
        switch (pick(5)) {
        case 0: a = gen_atom(); break;
        case 1: a = gen_string(5); break;
        default: {
            std::vector<Value> e;
            for (int k = between(0, 4); k > 0; --k)
                e.push_back(chance(0.15) ? gen_string(3) : chance(0.05) ? gen_seq(1) : gen_atom());
            a = words_of(e);
        }
        }
        st.args.push_back(chance(0.2) ? var_arg(pick_var(false)) : fresh_arg(a));
        break;
    }
    default: break;
    }
    return st;
}

Step Generator::gen_step()
{
    struct Weighted {
        Op op;
        int weight;
    };
    static const Weighted table[] = {
        {Op::literal, 8}, {Op::copy, 4}, {Op::binary, 14}, {Op::unary, 7}, {Op::bool_relation, 2},
        {Op::subscript, 6}, {Op::slice, 6}, {Op::concat, 5}, {Op::wrap_concat, 1}, {Op::insert, 3},
        {Op::append, 3}, {Op::prepend, 2}, {Op::removeindex, 4}, {Op::compare, 2}, {Op::equal, 2},
        {Op::repeat, 3}, {Op::build, 4}, {Op::value, 4},
        {Op::find, 3}, {Op::find_from, 2}, {Op::match, 3}, {Op::match_from, 2},
        {Op::sprintf, 5},
        {Op::subscript_assign, 12}, {Op::arith_assign, 7}, {Op::slice_assign, 7}, {Op::slice_arith_assign, 5},
    };
    int total = 0;
    // MAP-heavy programs mostly look keys up, sometimes add or remove one.
    auto weight_of = [&](const Weighted &w) {
        return !map_heavy_ ? w.weight : w.op == Op::subscript ? 200 : w.op == Op::removeindex ? 3 : w.weight;
    };
    for (const Weighted &w : table)
        total += weight_of(w);
    int r = pick(total);
    Op op = Op::literal;
    for (const Weighted &w : table) {
        if (r < weight_of(w)) {
            op = w.op;
            break;
        }
        r -= weight_of(w);
    }
    bool assignment = op == Op::subscript_assign || op == Op::arith_assign || op == Op::slice_assign ||
                      op == Op::slice_arith_assign;
    return assignment ? gen_assignment(op) : gen_value_step(op);
}

Program Generator::run(int length)
{
    Program program;
    while (int(program.size()) < length) {
        Step st;
        Outcome o;
        State next;
        bool accepted = false;
        for (int tries = 0; tries < 12 && !accepted; ++tries) {
            st = gen_step();
            next = state_;
            o = model_step(st, next);
            bool too_big = false;
            for (const Value &v : next.vars)
                too_big = too_big || weight(v) > max_weight;
            if (too_big)
                continue;
            if (o.kind == Outcome::Kind::undefined && tries < 11)
                continue;
            // Fatal steps run in a child process: keep them a minority.
            if (o.kind == Outcome::Kind::fatal && tries < 11 && chance(0.6))
                continue;
            accepted = true;
        }
        if (!accepted) {
            st = Step{};
            st.dst = pick(variable_count);
            st.args.push_back(fresh_arg(gen_int()));
            next = state_;
            model_step(st, next);
        }
        state_ = next;
        program.push_back(std::move(st));
    }
    return program;
}

}  // namespace

Program generate(uint64_t seed, int length) { return Generator(seed).run(length); }

}  // namespace diff
