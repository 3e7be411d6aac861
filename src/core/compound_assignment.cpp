// compound_assignment.cpp -- the assignments that combine a variable with a
// value: add to, subtract from, multiply by, divide by and append to.  Each
// lets go of the variable's own reference before the operation, so a value
// that variable alone holds is a temporary the operators and concatenation
// reuse in place instead of copying.
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
void arithmetic_assign(handle *variable, handle x, int32_t code, handle (*integers)(handle, handle))
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

}  // namespace

extern "C" {

VORN_API void add_to(vorn_handle *variable, vorn_handle x) { arithmetic_assign(variable, x, op_add, add); }

VORN_API void subtract_from(vorn_handle *variable, vorn_handle x)
{
    arithmetic_assign(variable, x, op_subtract, subtract);
}

VORN_API void multiply_by(vorn_handle *variable, vorn_handle x)
{
    arithmetic_assign(variable, x, op_multiply, multiply);
}

VORN_API void divide_by(vorn_handle *variable, vorn_handle x) { arithmetic_assign(variable, x, op_divide, divide); }

// concat consumes a temporary first operand (keeps its record or frees it),
// so the old value left alive and unheld is a broken contract: reported and
// freed.  The free-list walk runs only in that already-suspicious case.
VORN_API void concat_to(vorn_handle *variable, vorn_handle x)
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

}  // extern "C"
