// program.h -- the random programs of the differential test: steps over a few
// variables, how each step fares in the reference model (result, expected
// fatal report, what becomes of temporary arguments), and the generator.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "model.h"

namespace diff {

constexpr int variable_count = 6;

enum class Op : uint8_t {
    literal, copy, binary, unary, bool_relation, subscript, slice, concat, wrap_concat,
    insert, append, prepend, removeindex, compare, equal, find, find_from, match, match_from,
    repeat, build, value, sprintf, subscript_assign, arith_assign, slice_assign,
    slice_arith_assign, op_count
};
const char *op_name(Op op);

// One argument of a step.
struct Arg {
    enum class Kind : uint8_t {
        var,    // the handle a variable holds
        fresh,  // a new temporary built from `value`
        view,   // a temporary slice of a new temporary holding `value` between padding
        held,   // a new object held by the runner for the call (positions, keys)
    } kind = Kind::var;
    int var = 0;
    model::Value value;
    int pad_before = 0, pad_after = 0;
};

// Argument layout per operation (dst is the variable written):
//   literal x | copy v | binary/bool_relation a b | unary x | subscript s i |
//   slice s lo hi | concat a b | insert s x k | append/prepend s x |
//   removeindex s k | compare/equal a b | find/match x s | find_from/match_from
//   x s k | repeat x n | build e... | value x | sprintf fmt args |
//   subscript_assign/arith_assign value path... (dst is the place) |
//   slice_assign/slice_arith_assign hi value path... lo
struct Step {
    Op op = Op::literal;
    int code = 0;        // operator code of binary, unary, bool_relation, arithmetic forms
    int dst = 0;
    std::vector<Arg> args;
};
using Program = std::vector<Step>;

std::string show(const Arg &a);
std::string show(const Step &s);

// What the runner does with a temporary argument.
enum class Disposition : uint8_t {
    consumed,   // the routine releases it or keeps it
    borrowed,   // the routine leaves it alone: released after the step
    must_hold,  // the rules leave its fate open: pass it held instead
};

struct Outcome {
    enum class Kind : uint8_t { ok, fatal, undefined } kind = Kind::ok;
    std::string message;           // fatal report (without the prefix) or why undefined
    std::string printed;           // expected standard output of the step
    bool stores = false;           // dst receives `result`
    bool no_value = false;         // the routine returned UNDEF
    model::Value result;
    std::vector<Disposition> disposition;  // per argument
};

struct State {
    model::Value vars[variable_count];
    // A variable whose structure may share records with another holder: a
    // key step through it would change what the other holder sees, which a
    // value model cannot follow, so such steps are not run.
    bool shared[variable_count] = {};
};

// Runs one step in the model; on success the state is updated.
Outcome model_step(const Step &step, State &state);

// A program of `length` steps; deterministic in `seed`.
Program generate(uint64_t seed, int length);

}  // namespace diff
