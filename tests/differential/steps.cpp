// steps.cpp -- what one step of a random program means in the reference
// model: its result or expected fatal report, what becomes of each temporary
// argument under the release rules, and how steps are written out.
#include "program.h"

namespace diff {

using model::Value;

const char *op_name(Op op)
{
    static const char *const names[] = {
        "literal", "copy", "binary", "unary", "BOOL_relation", "subscript", "slice", "concat",
        "wrap_concat", "insert", "append", "prepend", "removeindex", "compare", "equal", "find",
        "find_from", "match", "match_from", "repeat", "build_sequence", "wrap_value",
        "wrap_sprintf", "subscript_assign", "subscript_arithmetic_assign", "slice_assign",
        "slice_arithmetic_assign"};
    return names[static_cast<int>(op)];
}

std::string show(const Arg &a)
{
    switch (a.kind) {
    case Arg::Kind::var: return "v" + std::to_string(a.var);
    case Arg::Kind::fresh: return "~" + model::show(a.value);
    case Arg::Kind::held: return a.value.is_int() ? model::show(a.value) : "@" + model::show(a.value);
    case Arg::Kind::view: break;
    }
    return "view(" + model::show(a.value) + " pad " + std::to_string(a.pad_before) + "/" +
           std::to_string(a.pad_after) + ")";
}

std::string show(const Step &s)
{
    std::string args;
    for (size_t k = 0; k < s.args.size(); ++k)
        args += (k ? ", " : "") + show(s.args[k]);
    std::string dst = "v" + std::to_string(s.dst);
    switch (s.op) {
    case Op::literal: return dst + " = " + args;
    case Op::copy: return dst + " = " + args;
    case Op::binary: case Op::unary:
        return dst + " = " + model::code_name(s.code) + "(" + args + ")";
    case Op::bool_relation: return dst + " = BOOL_relation(" + std::to_string(s.code) + ", " + args + ")";
    case Op::subscript_assign: return std::string(op_name(s.op)) + "(&" + dst + ", " + args + ")";
    case Op::arith_assign: case Op::slice_arith_assign:
        return std::string(op_name(s.op)) + "(" + std::to_string(s.code) + ", &" + dst + ", " + args + ")";
    case Op::slice_assign: return std::string(op_name(s.op)) + "(&" + dst + ", " + args + ")";
    default: return dst + " = " + op_name(s.op) + "(" + args + ")";
    }
}

namespace {

bool is_key_path(const Step &st, size_t first)
{
    for (size_t k = first; k < st.args.size(); ++k)
        if (st.args[k].value.is_seq())
            return true;
    return false;
}

std::vector<Value> path_of(const Step &st, size_t first)
{
    std::vector<Value> path;
    for (size_t k = first; k < st.args.size(); ++k)
        path.push_back(st.args[k].value);
    return path;
}

// Results made of new records only; everything else may hold records that
// its arguments hold too.
bool fresh_result(Op op)
{
    switch (op) {
    case Op::binary: case Op::unary: case Op::bool_relation: case Op::compare: case Op::equal:
    case Op::find: case Op::find_from: case Op::match: case Op::match_from: case Op::value:
    case Op::sprintf: case Op::literal:
        return true;
    default:
        return false;
    }
}

struct Step_model {
    const Step &st;
    State &state;
    Outcome &o;

    const Value &val(size_t k) const
    {
        const Arg &a = st.args[k];
        return a.kind == Arg::Kind::var ? state.vars[a.var] : a.value;
    }
    bool is_var(size_t k, int v) const { return st.args[k].kind == Arg::Kind::var && st.args[k].var == v; }
    void result(Value v)
    {
        o.stores = true;
        o.result = std::move(v);
    }

    void value_op();
    void assignment();
};

void Step_model::value_op()
{
    bool flag = false;
    switch (st.op) {
    case Op::literal: case Op::copy: result(val(0)); break;
    case Op::binary:
        result(model::binary_routine(st.code, val(0), val(1), &flag));
        if (flag)
            o.disposition[1] = Disposition::borrowed;
        break;
    case Op::unary:
        result(model::unary_routine(st.code, val(0)));
        break;
    case Op::bool_relation: result(model::integer(model::bool_relation(st.code, val(0), val(1)))); break;
    case Op::subscript:
        result(model::subscript(val(0), val(1)));
        o.disposition[0] = Disposition::borrowed;
        break;
    case Op::slice:
        if (st.args[0].kind == Arg::Kind::view)
            o.disposition[0] = Disposition::must_hold;
        result(model::slice(val(0), val(1), val(2)));
        break;
    case Op::concat: case Op::wrap_concat: result(model::concat(val(0), val(1))); break;
    case Op::insert: result(model::insert(val(0), val(1), val(2))); break;
    case Op::append: result(model::insert(val(0), val(1), model::integer(-1))); break;
    case Op::prepend: result(model::insert(val(0), val(1), model::integer(0))); break;
    case Op::removeindex: {
        Value r = model::removeindex(val(0), val(1), &flag);
        if (flag) {
            o.no_value = true;
            o.disposition[0] = Disposition::borrowed;
        } else {
            result(r);
        }
        break;
    }
    case Op::compare: result(model::integer(model::compare(val(0), val(1)))); break;
    case Op::equal: result(model::integer(model::equal(val(0), val(1)))); break;
    case Op::find: result(model::integer(model::find_from(val(0), val(1), model::integer(0), false))); break;
    case Op::find_from: result(model::integer(model::find_from(val(0), val(1), val(2), true))); break;
    case Op::match: result(model::integer(model::match_from(val(0), val(1), model::integer(0), false))); break;
    case Op::match_from: result(model::integer(model::match_from(val(0), val(1), val(2), true))); break;
    case Op::repeat: result(model::repeat(val(0), val(1))); break;
    case Op::build: {
        std::vector<Value> e;
        for (size_t k = 0; k < st.args.size(); ++k)
            e.push_back(val(k));
        result(model::build_sequence(e));
        break;
    }
    case Op::value: result(model::wrap_value(val(0))); break;
    case Op::sprintf: result(model::sprintf(val(0), val(1), &o.printed)); break;
    default: break;
    }
}

void Step_model::assignment()
{
    Value target = state.vars[st.dst];
    bool arith = st.op == Op::arith_assign || st.op == Op::slice_arith_assign;
    bool slice = st.op == Op::slice_assign || st.op == Op::slice_arith_assign;
    size_t value_at = slice ? 1 : 0, path_at = slice ? 2 : 1;
    if (is_var(value_at, st.dst) && (arith || slice || is_key_path(st, path_at)))
        throw model::Undefined{"the assigned variable is also the value"};
    if (is_key_path(st, path_at) && state.shared[st.dst])
        throw model::Undefined{"a key step through a structure another holder shares"};
    const Value &v = val(value_at);
    std::vector<Value> path = path_of(st, path_at);
    int64_t count = 1;
    switch (st.op) {
    case Op::subscript_assign: model::subscript_assign(target, v, path); break;
    case Op::arith_assign: model::arith_assign(st.code, target, v, path); break;
    case Op::slice_assign: count = model::slice_assign(target, val(0), v, path); break;
    default: count = model::slice_arith_assign(st.code, target, val(0), v, path); break;
    }
    if (slice) {
        // A temporary value whose release the rules leave open is passed held.
        bool open = count == 0 || (st.op == Op::slice_assign && v.is_seq() && !v.words()) ||
                    (st.op == Op::slice_arith_assign && v.is_dbl());
        if (open)
            o.disposition[value_at] = Disposition::must_hold;
    }
    state.vars[st.dst] = std::move(target);
    if (st.args[value_at].kind == Arg::Kind::var && !v.is_atom()) {
        state.shared[st.dst] = true;
        state.shared[st.args[value_at].var] = true;
    }
}

}  // namespace

Outcome model_step(const Step &st, State &state)
{
    Outcome o;
    o.disposition.assign(st.args.size(), Disposition::consumed);
    State next = state;
    Step_model m{st, next, o};
    try {
        bool assignment = st.op == Op::subscript_assign || st.op == Op::arith_assign ||
                          st.op == Op::slice_assign || st.op == Op::slice_arith_assign;
        if (assignment) {
            m.assignment();
        } else {
            m.value_op();
            if (o.stores) {
                next.vars[st.dst] = o.result;
                bool shares = !fresh_result(st.op) && o.result.is_seq();
                if (st.op == Op::literal)
                    shares = false;
                next.shared[st.dst] = shares;
                if (shares || st.op == Op::copy)
                    for (const Arg &a : st.args)
                        if (a.kind == Arg::Kind::var)
                            next.shared[a.var] = next.shared[st.dst] = true;
            }
        }
    } catch (const model::Fatal &f) {
        o.kind = Outcome::Kind::fatal;
        o.message = f.message;
        return o;
    } catch (const model::Undefined &u) {
        o.kind = Outcome::Kind::undefined;
        o.message = u.why;
        return o;
    }
    state = std::move(next);
    return o;
}

}  // namespace diff
