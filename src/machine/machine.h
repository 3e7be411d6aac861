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
// The low region: blocks that programs address through integer handles.  It
// is mapped below 2 GiB (read and write, never execute), so every block's
// address is a positive integer handle; mimalloc runs each mapped piece as an
// exclusive arena with a heap of its own, and the region grows a piece at a
// time while the low 2 GiB have room.

// A block of n bytes inside the region (n = 0 gives a unique block), or null
// when the low 2 GiB cannot hold it.
void *low_allocate(size_t n);

// Gives p back to the allocator it came from: a block inside the region to
// the region's allocator, any other address to the platform's free; null
// does nothing.
void low_free(void *p);

// Whether p lies inside the low region.
bool in_low_region(const void *p);

// Machine values in handles.  A machine value wider than the integer class
// travels as a double holding its exact value.

// A double holding a whole number in [-2^63, 2^64), as the 64 bits of that
// value (two's complement when negative); false for any other double.
bool exact_machine_value(double d, uint64_t *out);

// The address a reading routine takes from h, borrowed: an integer handle is
// a 32-bit address (its bits, zero-extended); a double is truncated toward
// zero and read at its full value, a negative value of 32 bits standing for
// those 32 bits (as a foreign routine's 32-bit result arrives); any other
// handle is taken as its bits.
uintptr_t read_address(vorn_handle h);

// The 32-bit word a value to store stands for: an integer's bits, or a
// double truncated toward zero and reduced modulo 2^32 (NaN and infinities
// give 0x80000000); a sequence handle gives its bits.
uint32_t word_of(vorn_handle h);
uint32_t word_of_double(double d);

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
    uint64_t bits;
    if (vorn_is_integer(h)) {
        word = static_cast<int32_t>(h);
        return true;
    }
    if (!vorn_is_double(h) || !exact_machine_value(vorn_double_value(h), &bits))
        return false;
    word = static_cast<int64_t>(bits);
    return true;
}

// Where the program's own image begins (its ELF header): the machine
// dispatcher's module address, which define_c_proc and define_c_func take
// as the program's own module.
uintptr_t program_image_base();

}  // namespace vorn::machine
