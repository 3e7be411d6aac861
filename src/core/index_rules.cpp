// index_rules.cpp -- turning position arguments into element numbers: the one
// conversion (integers, integral doubles) and bound check that subscripting,
// slicing, insertion, removal, assignment and search all go through.
#include "core.h"

namespace vorn::core {

int32_t position_value(handle k, const char *operation)
{
    if (is_integer(k))
        return int_value(k);
    if (is_double(k)) {
        // INT32_MIN marks a fraction, a value outside 32 bits, or -2147483648.
        int32_t v = DBL2INT(k);
        if (v != INT32_MIN)
            return v;
    }
    runtime_error(error_subscript_error, operation);
}

int32_t element_position(handle k, int32_t n, const char *operation)
{
    int32_t i = count_from_end(position_value(k, operation), n);
    if (i < 1 || i > n)
        runtime_error(error_subscript_bound, operation, i, n);
    return i;
}

}  // namespace vorn::core
