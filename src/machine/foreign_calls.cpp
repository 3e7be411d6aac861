// foreign_calls.cpp -- calling a routine at an address with the elements of
// a list as its arguments: routines of other libraries (c_proc, c_func) with
// machine words, routines of the translated program (call_proc, call_func)
// with handles.  One call form per argument count, 0 to 15.
#include <algorithm>
#include <array>
#include <utility>

#include "../core/core.h"
#include "machine.h"

using namespace vorn::core;

namespace vorn::machine {
namespace {

constexpr int32_t most_arguments = 15;

// ---- the call forms ----------------------------------------------------------
// Every argument and the result travel as 64-bit integer words, which is
// what a routine taking integers or pointers of any width (up to 64 bits)
// finds in its argument registers and stack slots.

using call_form = int64_t (*)(uintptr_t routine, const int64_t *args);

template <size_t> using word = int64_t;

template <size_t... I> int64_t call_with(uintptr_t routine, const int64_t *args, std::index_sequence<I...>)
{
    using signature = int64_t (*)(word<I>...);
    return reinterpret_cast<signature>(routine)(args[I]...);
}

template <size_t N> int64_t call_n(uintptr_t routine, const int64_t *args)
{
    return call_with(routine, args, std::make_index_sequence<N>{});
}

template <size_t... N>
constexpr std::array<call_form, sizeof...(N)> make_call_forms(std::index_sequence<N...>)
{
    return {&call_n<N>...};
}

constexpr auto call_forms = make_call_forms(std::make_index_sequence<most_arguments + 1>{});

// ---- arguments -----------------------------------------------------------------

// The word a foreign routine receives for an element (borrowed): an integer
// sign-extended, a double holding a whole value that value (so a pointer one
// routine returned can go to another), anything else its handle.
inline int64_t foreign_word(handle e)
{
    int64_t word;
    if (is_integer(e))
        return int_value(e);
    if (is_double(e) && machine_word(e, word))
        return word;
    return static_cast<int64_t>(e);
}

// The word a routine of the translated program receives: the handle itself.
inline int64_t handle_word(handle e) { return static_cast<int64_t>(e); }

// The arguments of one call, read from the list before the routine runs.
struct call {
    uintptr_t routine;
    int32_t count;
    int64_t args[most_arguments];
};

// Reads the routine and the list's elements (both borrowed) into c, each
// element made a word by `to_word` (a byte is an integer already).  False
// when no call can be made: more than 15 elements, or a routine that is no
// address (0, -1, a sequence, a double with a fraction).
template <int64_t (*to_word)(handle)> bool prepare(call &c, handle routine, const record &list)
{
    int64_t address;
    c.count = count_of(list);
    if (c.count > most_arguments || !machine_word(routine, address) || address == 0 || address == -1)
        return false;
    c.routine = static_cast<uintptr_t>(address);
    if (is_bytes(list))
        std::copy_n(bytes(list), c.count, c.args);
    else
        std::transform(words(list), words(list) + c.count, c.args, to_word);
    return true;
}

int64_t perform(const call &c) { return call_forms[c.count](c.routine, c.args); }

// ---- the list ---------------------------------------------------------------------

// Checks that the list is a sequence and widens a held bytesequence that
// owns its storage to handles in place (same record, same value).  A
// temporary is read as it is, since it is given up after the call, and so
// is a view of bytes, which has no storage of its own to widen.
void check_and_widen(handle list, const char *message)
{
    if (!is_sequence(list))
        runtime_error("%s", message);
    const record &r = rec(list);
    if (is_bytes(r) && r.base == 0 && !is_temporary(r))
        conv_byte2obj(list);
}

// c_proc and c_func: calls the routine unless it is no address or the list
// has more than 15 elements, leaving its result in `raw`.  A temporary list
// gives up its storage and record either way; its elements are untouched.
bool call_foreign(handle routine, handle list, const char *message, int64_t &raw)
{
    check_and_widen(list, message);
    call c;
    bool temporary = is_temporary(rec(list));
    bool callable = prepare<foreign_word>(c, routine, rec(list));
    if (callable)
        raw = perform(c);
    if (temporary)
        clobber_sequence(list);
    return callable;
}

// A foreign routine's result: a value whose upper 32 bits are 0 is a 32-bit
// result read as signed, anything else the full word; an integer when the
// class holds it, else a new double.
handle foreign_result(int64_t raw)
{
    if ((static_cast<uint64_t>(raw) >> 32) == 0)
        raw = static_cast<int32_t>(raw);
    return integer_or_double(raw);
}

// Adds one reference to each element that is an object.
void take_element_refs(const call &c)
{
    for (int32_t k = 0; k < c.count; ++k)
        take_ref(static_cast<handle>(c.args[k]));
}

// call_proc and call_func: the routine's result handle, or 0 when it was not
// called.  The routine takes one reference of each object argument: a
// temporary list owning its storage hands over the ones it holds and gives
// up its storage and record afterwards; any other list gets one added to
// each object element first (a temporary view is then released, which gives
// back the one it holds on its base).  When no call is made no reference is
// added, and a temporary list is released with its elements.
handle call_translated(handle routine, handle list, const char *message)
{
    check_and_widen(list, message);
    call c;
    bool temporary = is_temporary(rec(list));
    bool hand_over = is_owner_temporary(rec(list));
    if (!prepare<handle_word>(c, routine, rec(list))) {
        release(list);
        return 0;
    }
    if (!hand_over)
        take_element_refs(c);
    handle result = static_cast<handle>(perform(c));
    if (hand_over)
        clobber_sequence(list);
    else if (temporary)
        release(list);
    return result;
}

}  // namespace
}  // namespace vorn::machine

using namespace vorn::machine;

extern "C" {

VORN_API void c_proc(vorn_handle routine, vorn_handle list)
{
    int64_t ignored;
    call_foreign(routine, list, "2nd parameter of c_/call_proc must be a sequence\n", ignored);
}

VORN_API vorn_handle c_func(vorn_handle routine, vorn_handle list)
{
    int64_t raw;
    if (!call_foreign(routine, list, "2nd parameter of c_/call_func must be a sequence\n", raw))
        return 0;
    return foreign_result(raw);
}

VORN_API void call_proc(vorn_handle routine, vorn_handle list)
{
    call_translated(routine, list, "2e parameter of c_/call_proc must be a sequence\n");
}

VORN_API vorn_handle call_func(vorn_handle routine, vorn_handle list)
{
    return call_translated(routine, list, "2e parameter of c_/call_func must be a sequence\n");
}

}  // extern "C"
