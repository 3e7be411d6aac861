// runner.cpp -- the vorn side of the differential test: builds arguments as a
// translated program would (temporaries, views, held objects), calls the
// routine, and checks values, storage forms, reference counts, live records
// and, for steps that must fail, the exact report in a child process.
#include "runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <unordered_map>
#include <unordered_set>

#include <vorn.h>

namespace diff {

using model::Form;
using model::Value;

int live_records()
{
    int free_count = 0;
    for (int32_t i = free_tail; i != 0; i = objects[i].count)
        ++free_count;
    return object_count - free_count;
}

namespace {

vorn_handle vars[variable_count];

// ---- building arguments ----------------------------------------------------------

vorn_handle new_sequence_record(void *data, int32_t length)
{
    int32_t index = new_sequence();
    objects[index].data = data;
    objects[index].length = length;
    objects[index].base = 0;
    return vorn_sequence_handle(index);
}

// A temporary holding `v`, made the way a translated program makes its
// literals; an empty sequence has no storage at all.
vorn_handle build(const Value &v)
{
    if (v.is_int())
        return static_cast<vorn_handle>(v.i);
    if (v.is_dbl())
        return vorn_double_handle(new_double(v.d));
    size_t n = v.size();
    if (n > 0 && v.form == Form::bytes) {
        auto *b = static_cast<unsigned char *>(std::malloc(n + 1));
        for (size_t k = 0; k < n; ++k)
            b[k] = static_cast<unsigned char>(v.elems[k].i);
        b[n] = 0;
        return new_sequence_record(b, -int32_t(n));
    }
    std::vector<vorn_handle> e;
    for (const Value &x : v.elems)
        e.push_back(build(x));
    auto *w = n ? static_cast<vorn_handle *>(std::malloc(n * sizeof(vorn_handle))) : nullptr;
    for (size_t k = 0; k < n; ++k)
        w[k] = reference(e[k]);
    return new_sequence_record(w, int32_t(n));
}

// A temporary view of `a.value` inside a new base that only the view holds.
vorn_handle build_view(const Arg &a)
{
    Value base = a.value;
    int pad = a.value.bytes() ? 'p' : 7;
    base.elems.insert(base.elems.begin(), size_t(a.pad_before), model::integer(pad));
    base.elems.insert(base.elems.end(), size_t(a.pad_after), model::integer(pad));
    vorn_handle b = build(base);
    bool bytes = objects[vorn_index(b)].length < 0;
    size_t width = bytes ? 1 : sizeof(vorn_handle);
    int32_t n = int32_t(a.value.size());
    auto *data = static_cast<char *>(objects[vorn_index(b)].data) + size_t(a.pad_before) * width;
    vorn_handle view = new_sequence_record(data, bytes ? -n : n);
    objects[vorn_index(view)].base = reference(b);
    return view;
}

void release(vorn_handle h)
{
    if (vorn_is_object(h) && refcount(h) < 1)
        destroy(h);
}

void drop(vorn_handle h)
{
    if (vorn_is_object(h) && --objects[vorn_index(h)].count == 0)
        destroy(h);
}

// The arguments of one call, and what to do with them afterwards.
struct Call {
    std::vector<vorn_handle> h;
    std::vector<vorn_handle> release_after, drop_after;
};

vorn_handle pass(const Arg &a, Disposition d, Call &call)
{
    if (a.kind == Arg::Kind::var)
        return vars[a.var];
    if (a.kind == Arg::Kind::held && a.value.is_int())
        return static_cast<vorn_handle>(a.value.i);
    vorn_handle h = a.kind == Arg::Kind::view ? build_view(a) : build(a.value);
    if (a.kind == Arg::Kind::held || d == Disposition::must_hold) {
        reference(h);
        call.drop_after.push_back(h);
    } else if (d == Disposition::borrowed) {
        call.release_after.push_back(h);
    }
    return h;
}

vorn_handle binary_call(int code, vorn_handle a, vorn_handle b)
{
    switch (code) {
    case model::c_add: return add(a, b);
    case model::c_sub: return subtract(a, b);
    case model::c_mul: return multiply(a, b);
    case model::c_div: return divide(a, b);
    case model::c_rem: return wrap_remainder(a, b);
    case model::c_power: return power(a, b);
    case model::c_and: return vorn_and(a, b);
    case model::c_or: return vorn_or(a, b);
    case model::c_xor: return vorn_xor(a, b);
    case model::c_and_bits: return and_bits(a, b);
    case model::c_or_bits: return or_bits(a, b);
    case model::c_xor_bits: return xor_bits(a, b);
    case model::c_gt: return greater_than(a, b);
    case model::c_lt: return less_than(a, b);
    case model::c_ge: return greater_equal(a, b);
    case model::c_le: return less_equal(a, b);
    case model::c_eq: return equals(a, b);
    default: return not_equal(a, b);
    }
}

vorn_handle unary_call(int code, vorn_handle x)
{
    switch (code) {
    case model::c_not: return vorn_not(x);
    case model::c_neg: return negate(x);
    case model::c_not_bits: return not_bits(x);
    case model::c_floor: return wrap_floor(x);
    case model::c_upper: return upper(x);
    case model::c_lower: return lower(x);
    case model::c_sin: return wrap_sin(x);
    case model::c_cos: return wrap_cos(x);
    case model::c_tan: return wrap_tan(x);
    case model::c_arctan: return wrap_arctan(x);
    case model::c_sqrt: return wrap_sqrt(x);
    case model::c_log: return wrap_log(x);
    default: return wrap_rand(x);
    }
}

vorn_handle as_handle(int32_t v) { return static_cast<vorn_handle>(v); }

// Path subscripts from `first` on, padded: the routines read only `n`.
struct Path {
    int32_t n;
    vorn_handle p[6];
};

Path path_from(const Call &call, size_t first)
{
    Path path{int32_t(call.h.size() - first), {0, 0, 0, 0, 0, 0}};
    for (size_t k = first; k < call.h.size() && k - first < 6; ++k)
        path.p[k - first] = call.h[k];
    return path;
}

// Builds the arguments and calls the routine; the result (UNDEF for none).
vorn_handle call_vorn(const Step &st, const Outcome &o, Call &call)
{
    for (size_t k = 0; k < st.args.size(); ++k)
        call.h.push_back(pass(st.args[k], o.disposition[k], call));
    const std::vector<vorn_handle> &a = call.h;
    switch (st.op) {
    case Op::literal: case Op::copy: return a[0];
    case Op::binary: return binary_call(st.code, a[0], a[1]);
    case Op::unary: return unary_call(st.code, a[0]);
    case Op::bool_relation: return as_handle(BOOL_relation(st.code, a[0], a[1]));
    case Op::subscript: return subscript(a[0], a[1]);
    case Op::slice: return slice(a[0], a[1], a[2]);
    case Op::concat: return concat(a[0], a[1]);
    case Op::wrap_concat: return wrap_concat(a[0], a[1]);
    case Op::insert: return insert(a[0], a[1], a[2]);
    case Op::append: return append(a[0], a[1]);
    case Op::prepend: return prepend(a[0], a[1]);
    case Op::removeindex: return removeindex(a[0], a[1]);
    case Op::compare: return as_handle(compare(a[0], a[1]));
    case Op::equal: return as_handle(equal(a[0], a[1]));
    case Op::repeat: return repeat(a[0], a[1]);
    case Op::build:
        return build_sequence(int32_t(a.size()), a.size() > 0 ? a[0] : 0, a.size() > 1 ? a[1] : 0,
                              a.size() > 2 ? a[2] : 0, a.size() > 3 ? a[3] : 0, a.size() > 4 ? a[4] : 0);
    case Op::value: return wrap_value(a[0]);
    case Op::find: return as_handle(find(a[0], a[1]));
    case Op::find_from: return as_handle(find_from(a[0], a[1], a[2]));
    case Op::match: return as_handle(match(a[0], a[1]));
    case Op::match_from: return as_handle(match_from(a[0], a[1], a[2]));
    case Op::sprintf: return wrap_sprintf(a[0], a[1]);
    case Op::subscript_assign: {
        Path p = path_from(call, 1);
        subscript_assign(&vars[st.dst], a[0], p.n, p.p[0], p.p[1], p.p[2], p.p[3], p.p[4], p.p[5]);
        return UNDEF;
    }
    case Op::arith_assign: {
        Path p = path_from(call, 1);
        subscript_arithmetic_assign(st.code, &vars[st.dst], a[0], p.n, p.p[0], p.p[1], p.p[2], p.p[3], p.p[4],
                                    p.p[5]);
        return UNDEF;
    }
    case Op::slice_assign: {
        Path p = path_from(call, 2);
        slice_assign(&vars[st.dst], a[0], a[1], p.n, p.p[0], p.p[1], p.p[2], p.p[3], p.p[4], p.p[5]);
        return UNDEF;
    }
    case Op::slice_arith_assign: {
        Path p = path_from(call, 2);
        slice_arithmetic_assign(st.code, &vars[st.dst], a[0], a[1], p.n, p.p[0], p.p[1], p.p[2], p.p[3], p.p[4],
                                p.p[5]);
        return UNDEF;
    }
    case Op::op_count: break;
    }
    std::abort();
}

void finish_call(const Step &st, const Outcome &o, Call &call, vorn_handle result)
{
    if (o.stores)
        assign(&vars[st.dst], result);
    for (vorn_handle h : call.release_after)
        release(h);
    for (vorn_handle h : call.drop_after)
        drop(h);
}

// ---- reading vorn's values back --------------------------------------------------

struct Decoded {
    Value value;
    std::string problem;
};

void decode_into(vorn_handle h, Value &out, std::string &problem, int depth)
{
    if (depth > 40) {
        problem = "nesting deeper than 40 (a cycle?)";
        return;
    }
    if (vorn_is_integer(h)) {
        out = model::integer(static_cast<int32_t>(h));
        return;
    }
    if (vorn_is_double(h)) {
        out = model::dbl(vorn_double_value(h));
        return;
    }
    if (!vorn_is_sequence(h)) {
        problem = "a handle of no class";
        return;
    }
    const vorn_record &r = objects[vorn_index(h)];
    int32_t len = r.length;
    std::vector<Value> e;
    if (len < 0) {
        const auto *b = static_cast<const unsigned char *>(r.data);
        for (int32_t k = 0; k < -len; ++k)
            e.push_back(model::integer(b[k]));
        out = model::seq(std::move(e), Form::bytes);
        return;
    }
    const auto *w = static_cast<const vorn_handle *>(r.data);
    e.resize(size_t(len));
    for (int32_t k = 0; k < len && problem.empty(); ++k)
        decode_into(w[k], e[size_t(k)], problem, depth + 1);
    out = model::seq(std::move(e), Form::words);
}

// Where the storage forms differ, on the first such element.
bool forms_agree(const Value &got, const Value &expected)
{
    if (!expected.is_seq())
        return true;
    if (expected.size() > 0 && expected.form != Form::unknown && got.form != expected.form)
        return false;
    for (size_t k = 0; k < expected.size(); ++k)
        if (!forms_agree(got.elems[k], expected.elems[k]))
            return false;
    return true;
}

std::string check_variables(const State &state)
{
    for (int k = 0; k < variable_count; ++k) {
        Value got;
        std::string problem;
        decode_into(vars[k], got, problem, 0);
        const Value &want = state.vars[k];
        if (!problem.empty())
            return "mismatch v" + std::to_string(k) + ": " + problem;
        if (!model::same(got, want))
            return "mismatch v" + std::to_string(k) + ": expected " + model::show(want) + ", got " + model::show(got);
        if (!forms_agree(got, want))
            return "storage-form v" + std::to_string(k) + ": expected " + model::show(want) + ", got " + model::show(got);
    }
    return "";
}

// ---- reference counts and live records -------------------------------------------

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
            return;
        }
        if (r.length < 0 && static_cast<const unsigned char *>(r.data)[-r.length] != 0)
            problem = "a bytesequence without its terminating zero: record " + std::to_string(i);
        for (int32_t k = 0; k < r.length; ++k)
            visit(static_cast<const vorn_handle *>(r.data)[k]);
    }

    void check_view(const vorn_record &v)
    {
        if (!vorn_is_sequence(v.base)) {
            problem = "a view whose base is not a sequence";
            return;
        }
        const vorn_record &b = objects[vorn_index(v.base)];
        if (b.base != 0) {
            problem = "a view of a view";
            return;
        }
        if ((v.length < 0) != (b.length < 0) && v.length != 0) {
            problem = "a view whose storage kind differs from its base";
            return;
        }
        size_t width = b.length < 0 ? 1 : sizeof(vorn_handle);
        const char *lo = static_cast<const char *>(b.data), *at = static_cast<const char *>(v.data);
        size_t base_bytes = size_t(std::abs(b.length)) * width, view_bytes = size_t(std::abs(v.length)) * width;
        if (view_bytes > 0 && (at < lo || at + view_bytes > lo + base_bytes))
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
        if (free_set.count(index))
            return "count: record " + std::to_string(index) + " is held but on the free list";
        int32_t count = objects[index].count;
        bool ok = index == null_index ? count >= holders + 1 : count == holders;
        if (!ok)
            return "count: record " + std::to_string(index) + " has count " + std::to_string(count) + ", held " +
                   std::to_string(holders) + " times";
    }
    int expected = baseline + int(a.holders.size()) - (a.holders.count(null_index) ? 1 : 0);
    int live = live_records();
    if (live != expected)
        return "leak: " + std::to_string(live) + " live records, " + std::to_string(expected) + " reachable";
    return "";
}

// ---- steps that must fail ------------------------------------------------------------

// A child that ends through exit() leaves at once with the same status: the
// parent's state it inherited is no business of a sanitizer's leak check.
void leave_now(int status, void *)
{
    std::fflush(nullptr);
    _exit(status);
}

std::string run_in_child(const std::function<void()> &body, int *status)
{
    std::fflush(stdout);
    int fds[2];
    if (pipe(fds) != 0)
        return "pipe failed";
    pid_t pid = fork();
    if (pid == 0) {
        alarm(10);
        on_exit(leave_now, nullptr);
        close(fds[0]);
        dup2(fds[1], 1);
        close(fds[1]);
        body();
        std::fflush(stdout);
        _exit(0);
    }
    close(fds[1]);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, size_t(n));
    close(fds[0]);
    int raw = 0;
    waitpid(pid, &raw, 0);
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return out;
}

std::string printable(const std::string &s)
{
    std::string r;
    for (unsigned char c : s) {
        if (c == '\n')
            r += "\\n";
        else if (c < 32 || c >= 127)
            r += "\\x" + std::string(1, "0123456789abcdef"[c >> 4]) + "0123456789abcdef"[c & 15];
        else
            r += char(c);
    }
    return r;
}

std::string expect_fatal(const Step &st, const Outcome &o)
{
    int status = 0;
    std::string out = run_in_child([&] {
        Call call;
        call_vorn(st, o, call);
    }, &status);
    std::string want = o.printed + "RUN_TIME_ERROR : " + o.message;
    if (out == want && status == 1)
        return "";
    return "fatal-report: expected \"" + printable(want) + "\" and status 1, got \"" + printable(out) +
           "\" and status " + std::to_string(status);
}

// Calls with standard output sent to a temporary file; returns what it got.
std::string capturing_output(const std::function<void()> &body)
{
    std::fflush(stdout);
    FILE *tmp = std::tmpfile();
    int saved = dup(1);
    dup2(fileno(tmp), 1);
    body();
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::string out;
    std::rewind(tmp);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, tmp)) > 0)
        out.append(buf, n);
    std::fclose(tmp);
    return out;
}

std::string where(size_t k, const Step &st) { return " at step " + std::to_string(k) + " " + op_name(st.op); }

}  // namespace

bool trace_steps = false;

namespace {

// Doubles that fill the table to its capacity; then `room` of them are freed
// again, so the creation after the next `room` ones grows the table.
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

}  // namespace

std::string run_program(const Program &program, Progress &progress, int room)
{
    State state;
    for (vorn_handle &v : vars)
        v = 0;
    std::vector<vorn_handle> filler = fill_table(room);
    int baseline = live_records();
    for (size_t k = 0; k < program.size(); ++k) {
        const Step &st = program[k];
        progress.step = long(k);
        State next = state;
        Outcome o = model_step(st, next);
        if (trace_steps) {
            static const char *const kinds[] = {"ok", "fatal", "undefined"};
            std::fprintf(stderr, "step %zu %s: %s %s\n", k, show(st).c_str(), kinds[int(o.kind)], o.message.c_str());
            for (int v = 0; v < variable_count; ++v)
                std::fprintf(stderr, "    v%d = %s\n", v, model::show(next.vars[v]).c_str());
        }
        if (o.kind == Outcome::Kind::undefined) {
            ++progress.skipped;
            continue;
        }
        ++progress.steps;
        if (o.kind == Outcome::Kind::fatal) {
            ++progress.fatal;
            std::string failure = expect_fatal(st, o);
            if (!failure.empty())
                return failure + where(k, st);
            continue;
        }
        Call call;
        vorn_handle result = 0;
        std::string printed;
        if (st.op == Op::sprintf)
            printed = capturing_output([&] { result = call_vorn(st, o, call); });
        else
            result = call_vorn(st, o, call);
        finish_call(st, o, call, result);
        state = std::move(next);
        if (printed != o.printed)
            return "output: expected \"" + printable(o.printed) + "\", got \"" + printable(printed) + "\"" +
                   where(k, st);
        if (o.no_value && result != UNDEF)
            return "mismatch: expected UNDEF" + where(k, st);
        std::string failure = check_variables(state);
        if (failure.empty())
            failure = audit(baseline);
        if (!failure.empty())
            return failure + where(k, st);
    }
    for (vorn_handle &v : vars)
        assign(&v, 0);
    if (live_records() != baseline)
        return "leak: " + std::to_string(live_records() - baseline) + " records left after the program";
    for (vorn_handle h : filler)
        destroy(h);
    return "";
}

}  // namespace diff
