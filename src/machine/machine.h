// machine.h -- the machine folder's internal interface: the low memory
// region behind raw memory, and what the dispatcher and the foreign-routine
// layer share (machine values carried in handles).
#pragma once
#ifndef VORN_BUILDING
#error "machine.h belongs to the library's own build; include <vorn.h> instead"
#endif

#include <cstdint>

#include "vorn.h"

namespace vorn::machine {

// ---- raw memory ------------------------------------------------------------

// ---- machine values in handles and foreign routines -------------------------
// Library handles, routine ids and pointers that foreign routines hand out
// are machine words.  One travels as an integer handle when the integer
// class holds it and otherwise as a double holding its exact value (user
// addresses lie below 2^47); core::integer_or_double makes either form.

// The machine word a handle stands for, borrowed: an integer's value
// sign-extended, or a double's value when it is whole and inside the signed
// 64-bit range.  False for a sequence or a double with a fraction.
inline bool machine_word(vorn_handle h, int64_t &word)
{
    if (vorn_is_integer(h)) {
        word = static_cast<int32_t>(h);
        return true;
    }
    if (!vorn_is_double(h))
        return false;
    double d = vorn_double_value(h);
    if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0) ||
        d != static_cast<double>(static_cast<int64_t>(d)))
        return false;
    word = static_cast<int64_t>(d);
    return true;
}

// The program's own module (the main executable) as a library handle, the
// same word define_c_proc and define_c_func accept for it.
int64_t program_module();

}  // namespace vorn::machine
