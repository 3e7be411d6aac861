// raw_memory.cpp -- raw memory for programs: blocks from the low region,
// bytes, words and byte ranges read and written at numeric addresses, texts
// handed to and taken from foreign code, and calls into machine code.
// Writing and allocating routines accept only integer handles as addresses
// and sizes; reading routines also take a double holding the address.
#include <cmath>

#include "../core/core.h"
#include "machine.h"

using namespace vorn::core;
using namespace vorn::machine;

namespace vorn::machine {

bool exact_machine_value(double d, uint64_t *out)
{
    if (!(d >= -0x1p63 && d < 0x1p64) || d != std::trunc(d))
        return false;
    *out = d < 0 ? static_cast<uint64_t>(static_cast<int64_t>(d)) : static_cast<uint64_t>(d);
    return true;
}

uintptr_t read_address(handle h)
{
    if (!is_double(h))
        return h;
    double t = std::trunc(dbl_value(h));
    uint64_t a;
    if (!exact_machine_value(t, &a))
        return 0x80000000u;
    if (t < 0 && t >= -0x1p31)
        return static_cast<uint32_t>(a);
    return a;
}

uint32_t word_of_double(double d)
{
    if (!std::isfinite(d))
        return 0x80000000u;
    return static_cast<uint32_t>(static_cast<int64_t>(std::fmod(std::trunc(d), 0x1p32)));
}

uint32_t word_of(handle h) { return is_double(h) ? word_of_double(dbl_value(h)) : h; }

}  // namespace vorn::machine

namespace {

// The address a writing routine was given; a handle outside the integer
// class ends the program.
unsigned char *write_address(handle address)
{
    if (!is_integer(address))
        runtime_error("Ill. Poke adres (%x)\n", address);
    return reinterpret_cast<unsigned char *>(static_cast<uintptr_t>(address));
}

// A temporary double given as an address, released once its value is read.
uintptr_t read_address_releasing(handle h)
{
    uintptr_t a = read_address(h);
    if (is_double(h))
        release(h);
    return a;
}

// A word read from memory as an object: an integer, or a double of its
// signed value when the integer class cannot hold it.
handle word_object(uint32_t w) { return integer_or_double(static_cast<int32_t>(w)); }

// A new sequence of the n words at `from`, holding one reference on each.
handle words_from(const unsigned char *from, size_t n)
{
    handle *data = alloc_words(n);
    for (size_t k = 0; k < n; ++k) {
        uint32_t w;
        std::memcpy(&w, from + 4 * k, 4);
        data[k] = word_object(w);
        take_ref(data[k]);  // the sequence holds its double elements
    }
    return make_sequence(data, static_cast<int32_t>(n));
}

// The {address, count} pair of a peek, borrowed: the count checked, then
// the address read.
struct range {
    uintptr_t address;
    size_t count;
};
range peek_range(handle s)
{
    const record &r = rec(s);
    handle count = count_of(r) > 1 ? element_at(r, 2) : UNDEF;
    if (!is_integer(count))
        runtime_error("Length of peek must be a integer\n");
    if (int_value(count) <= 0)
        runtime_error("Length of peek must be a greater zero\n");
    return {read_address(element_at(r, 1)), static_cast<size_t>(int_value(count))};
}

const unsigned char *at(uintptr_t address) { return reinterpret_cast<const unsigned char *>(address); }

// The bytes of a general sequence written to `to`, one per element (its
// word's low 8 bits).  A nested sequence ends the program before anything
// is tested or written.
void check_flat(const record &r, int32_t n)
{
    for (int32_t k = 0; k < n; ++k)
        if (is_sequence(words(r)[k]))
            runtime_error("At poke : sequence in sequence not allowed\n");
}
void poke_elements(handle address, const record &r, int32_t n)
{
    check_flat(r, n);
    unsigned char *to = write_address(address);
    for (int32_t k = 0; k < n; ++k)
        to[k] = static_cast<unsigned char>(word_of(words(r)[k]));
}

void poke_words(handle address, const record &r, int32_t n)
{
    if (!is_bytes(r))
        check_flat(r, n);
    unsigned char *to = write_address(address);
    for (int32_t k = 0; k < n; ++k) {
        uint32_t w = is_bytes(r) ? bytes(r)[k] : word_of(words(r)[k]);
        std::memcpy(to + 4 * k, &w, 4);
    }
}

// The 32-bit result of machine code called at `address`.  Code returning a
// 32-bit value leaves only the low half of the result register defined.
int32_t call_code(uintptr_t address)
{
    auto code = reinterpret_cast<int32_t (*)()>(address);
    return code();
}

}  // namespace

extern "C" {

// Blocks: the size and the address are integer handles, borrowed.
VORN_API vorn_handle wrap_allocate(vorn_handle size)
{
    if (!is_integer(size))
        runtime_error("Arg. of allocator must be a integer!\n");
    return static_cast<handle>(reinterpret_cast<uintptr_t>(low_allocate(size)));
}

VORN_API void wrap_free(vorn_handle address)
{
    if (!is_integer(address))
        runtime_error("Arg. of free is no allocated argument!\n");
    low_free(reinterpret_cast<void *>(static_cast<uintptr_t>(address)));
}

VORN_API vorn_handle wrap_allocate_low(vorn_handle) { runtime_error("allocate_low not implemented !\n"); }
VORN_API void wrap_free_low(vorn_handle) { runtime_error("free_low has not implemented !\n"); }

// Writes: the address is tested before anything is written.
VORN_API void poke(int32_t address, const void *source, int32_t count)
{
    unsigned char *to = write_address(static_cast<handle>(address));
    if (count > 0)
        std::memcpy(to, source, static_cast<size_t>(count));
}

// Releases the value.
VORN_API void wrap_poke(vorn_handle address, vorn_handle value)
{
    if (!is_sequence(value)) {
        unsigned char b = static_cast<unsigned char>(word_of(value));
        poke(static_cast<int32_t>(address), &b, 1);
    } else if (const record &r = rec(value); is_bytes(r)) {
        poke(static_cast<int32_t>(address), bytes(r), count_of(r));
    } else if (r.length > 0) {
        poke_elements(address, r, r.length);
    }
    release(value);
}

// Releases the value.
VORN_API void wrap_poke4(vorn_handle address, vorn_handle value)
{
    if (!is_sequence(value)) {
        uint32_t w = word_of(value);
        poke(static_cast<int32_t>(address), &w, 4);
    } else if (const record &r = rec(value); r.length != 0) {
        poke_words(address, r, count_of(r));
    }
    release(value);
}

// Reads: a byte (0..255) or a bytesequence; releases the argument.
VORN_API vorn_handle wrap_peek(vorn_handle x)
{
    if (!is_sequence(x))
        return *at(read_address_releasing(x));
    range g = peek_range(x);
    handle result = make_bytes(at(g.address), g.count);
    release(x);
    return result;
}

// A word or a sequence of words; releases the argument.
VORN_API vorn_handle wrap_peek4(vorn_handle x)
{
    if (!is_sequence(x)) {
        uint32_t w;
        std::memcpy(&w, at(read_address_releasing(x)), 4);
        return word_object(w);
    }
    range g = peek_range(x);
    handle result = words_from(at(g.address), g.count);
    release(x);
    return result;
}

// Ranges: overlapping ranges copy as if the source had been saved first.
// Releases a double source; nothing is written for a count below 1.
VORN_API void wrap_mem_copy(vorn_handle destination, vorn_handle source, int32_t count)
{
    const unsigned char *from = at(read_address_releasing(source));
    unsigned char *to = write_address(destination);
    if (count > 0)
        std::memmove(to, from, static_cast<size_t>(count));
}

VORN_API void wrap_mem_set(vorn_handle destination, int32_t value, int32_t count)
{
    unsigned char *to = write_address(destination);
    if (count > 0)
        std::memset(to, value & 0xFF, static_cast<size_t>(count));
}

// Texts: a zero-terminated copy of x's text in a new block (x released), and
// the text at an address as a new bytesequence (the address borrowed).
VORN_API vorn_handle allocate_string(vorn_handle x)
{
    const char *text = convert_string(x);
    size_t n = std::strlen(text);
    void *block = low_allocate(n + 1);
    if (block != nullptr)
        std::memcpy(block, text, n + 1);
    release(x);
    return static_cast<handle>(reinterpret_cast<uintptr_t>(block));
}

VORN_API vorn_handle peeks(vorn_handle address)
{
    const unsigned char *text = at(read_address(address));
    return make_bytes(text, std::strlen(reinterpret_cast<const char *>(text)));
}

// Count 1: the byte, signed; count above 1: a new block of the bytes and a
// zero, owned by the caller (free); count below 1: 0.  Releases a double.
VORN_API intptr_t peek(vorn_handle address, int32_t count)
{
    const unsigned char *from = at(read_address_releasing(address));
    if (count == 1)
        return static_cast<signed char>(*from);
    if (count < 1)
        return 0;
    unsigned char *block = static_cast<unsigned char *>(std::malloc(static_cast<size_t>(count) + 1));
    std::memcpy(block, from, static_cast<size_t>(count));
    block[count] = 0;
    return reinterpret_cast<intptr_t>(block);
}

// Calls the code at the address as it is; releases a double address.
VORN_API vorn_handle wrap_call(vorn_handle address)
{
    return word_object(static_cast<uint32_t>(call_code(read_address_releasing(address))));
}

}  // extern "C"
