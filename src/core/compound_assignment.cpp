// compound_assignment.cpp -- the assignments that combine a variable with a
// value: add to, subtract from, multiply by, divide by and append to.  Each
// lets go of the variable's own reference before the operation, so a value
// that variable alone holds is a temporary the operators and concatenation
// reuse in place instead of copying.
#include <malloc.h>

#include <cstdio>

#include "core.h"

using namespace vorn::core;

namespace {

enum : int32_t { op_add = 0, op_subtract = 1, op_multiply = 2, op_divide = 3 };

// The variable lets go of its value without destroying it: a value it alone
// held becomes a temporary for the operation that consumes it.
void let_go(handle h)
{
    if (is_object(h))
        --rec(h).count;
}

// The variable takes the result of the operation and one reference to it.
void hold(handle *variable, handle r)
{
    *variable = r;
    take_ref(r);
}

// variable <- variable op x.  Two integers are settled by the exported
// operator (integer arithmetic, a result out of the class becomes a new
// double; divide reports a zero divisor); anything else goes through the
// element-wise engine, so a sequence divided by 0 reaches each element.
[[gnu::noinline]] void arithmetic_assign(handle *variable, handle x, int32_t code,
                                         handle (*integers)(handle, handle))
{
    handle v = *variable;
    if (is_integer(v) && is_integer(x)) {
        hold(variable, integers(v, x));
        return;
    }
    operand = code;
    let_go(v);
    hold(variable, elementwise_consuming(v, x));
}

// True when record `index` is in use: below the table's high mark and not on
// the free list.
bool record_in_use(uint32_t index)
{
    if (static_cast<int32_t>(index) >= object_count)
        return false;
    for (int32_t i = free_tail; i != 0; i = objects[i].count)
        if (static_cast<uint32_t>(i) == index)
            return false;
    return true;
}

// The common cases of variable <- variable op x for add, subtract and
// multiply, settled here: two integers whose result stays an integer, and a
// double the variable alone holds with a number that is not a temporary
// double (a temporary double's record would take the result).  Everything
// else goes the general way.
template <int32_t code> inline bool arithmetic_in_place(handle *variable, handle x)
{
    handle v = *variable;
    if (is_integer(v) && is_integer(x)) {
        int32_t a = int_value(v), b = int_value(x), r;
        bool overflow = code == op_add        ? __builtin_add_overflow(a, b, &r)
                        : code == op_subtract ? __builtin_sub_overflow(a, b, &r)
                                              : __builtin_mul_overflow(a, b, &r);
        if (overflow || r <= arithmetic_floor)
            return false;
        *variable = int_handle(r);
        return true;
    }
    if (!is_double(v) || rec(v).count != 1 || !(is_integer(x) || (is_double(x) && rec(x).count >= 1)))
        return false;
    double a = dbl_value(v), b = atom_number(x);
    set_dbl(rec(v), code == op_add ? a + b : code == op_subtract ? a - b : a * b);
    return true;
}

// Appends the atom x to the sequence the variable alone holds, in its own
// storage, when that has room: bytes stay bytes.  False when anything else
// is needed (room, widening, a shared or watched sequence).
inline bool append_in_place(handle *variable, handle x)
{
    handle s = *variable;
    if (!is_sequence(s) || is_sequence(x))
        return false;
    record &r = rec(s);
    if (r.count != 1 || r.base != 0 || r.data == nullptr || is_watched(index_of(s)))
        return false;
    if (r.length <= 0 && is_byte(x)) {
        size_t n = static_cast<size_t>(-r.length);
        if (malloc_usable_size(r.data) < n + 2)
            return false;
        bytes(r)[n] = static_cast<unsigned char>(x);
        bytes(r)[n + 1] = 0;
        r.length = -static_cast<int32_t>(n + 1);
    } else if (r.length >= 0) {
        size_t n = static_cast<size_t>(r.length);
        if (malloc_usable_size(r.data) < (n + 1) * sizeof(handle))
            return false;
        words(r)[n] = x;
        take_ref(x);
        r.length = static_cast<int32_t>(n + 1);
    } else {
        return false;
    }
    news = &r;
    return true;
}

// concat_to beyond appending in place.  concat consumes a temporary first
// operand (keeps its record or frees it), so the old value left alive and
// unheld is a broken contract: reported and freed.  The free-list walk runs
// only in that already-suspicious case.
[[gnu::noinline]] void concat_to_general(handle *variable, handle x)
{
    handle old = *variable;
    let_go(old);
    handle r = concat(old, x);
    hold(variable, r);
    if (is_object(old) && r != old && rec(old).count == 0 && record_in_use(index_of(old))) {
        std::printf("Prog error at concat_to(qwist)\n");
        destroy(old);
    }
}

}  // namespace

VORN_FAST_PATHS_BEGIN
extern "C" {

VORN_FAST_PATH VORN_API void add_to(vorn_handle *variable, vorn_handle x)
{
    if (!arithmetic_in_place<op_add>(variable, x))
        arithmetic_assign(variable, x, op_add, add);
}

VORN_FAST_PATH VORN_API void subtract_from(vorn_handle *variable, vorn_handle x)
{
    if (!arithmetic_in_place<op_subtract>(variable, x))
        arithmetic_assign(variable, x, op_subtract, subtract);
}

VORN_FAST_PATH VORN_API void multiply_by(vorn_handle *variable, vorn_handle x)
{
    if (!arithmetic_in_place<op_multiply>(variable, x))
        arithmetic_assign(variable, x, op_multiply, multiply);
}

VORN_API void divide_by(vorn_handle *variable, vorn_handle x)
{
    arithmetic_assign(variable, x, op_divide, divide);
}

VORN_FAST_PATH VORN_API void concat_to(vorn_handle *variable, vorn_handle x)
{
    if (!append_in_place(variable, x))
        concat_to_general(variable, x);
}

}  // extern "C"
VORN_FAST_PATHS_END
