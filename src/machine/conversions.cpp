// conversions.cpp -- numbers to and from the bytes other programs, files
// and devices expect: 32-bit integers, IEEE 754 single and double precision,
// least significant byte first.  Byte results are new bytesequences; every
// routine releases its argument.
#include "../core/core.h"
#include "machine.h"

using namespace vorn::core;
using namespace vorn::machine;

namespace {

// The n bytes that s stands for, borrowed: a bytesequence's bytes, or the
// low 8 bits of each element of a general sequence.  Anything but a
// sequence of n elements, or one holding a sequence, ends the program with
// `message`.
void bytes_from_sequence(handle s, unsigned char *out, int32_t n, const char *message)
{
    if (!is_sequence(s) || count_of(rec(s)) != n)
        runtime_error("%s", message);
    const record &r = rec(s);
    for (int32_t k = 0; k < n; ++k) {
        handle e = element_at(r, k + 1);
        if (is_sequence(e))
            runtime_error("%s", message);
        out[k] = static_cast<unsigned char>(word_of(e));
    }
}

// The 32-bit value of four elements, each shifted into place and added with
// wrap-around (an element above 255 carries into the higher bytes).
uint32_t int_from_sequence(handle s)
{
    const char *message = "Bytes_to_int should have a sequence of 4 bytes\n";
    unsigned char b[4];
    bytes_from_sequence(s, b, 4, message);  // checks the form
    const record &r = rec(s);
    uint32_t v = 0;
    for (int32_t k = 0; k < 4; ++k)
        v += word_of(element_at(r, k + 1)) << (8 * k);
    return v;
}

void check_atom(handle x)
{
    if (is_sequence(x))
        runtime_error("Expected atom, not a sequence.");
}

double number_of(handle x) { return is_double(x) ? dbl_value(x) : static_cast<double>(int_value(x)); }

// The n bytes of `value`, made from the atom x, as a new bytesequence;
// releases x.
handle bytes_releasing(handle x, const void *value, size_t n)
{
    handle result = make_bytes(value, n);
    release(x);
    return result;
}

}  // namespace

extern "C" {

// A double stands for its value truncated toward zero, modulo 2^32.
VORN_API vorn_handle int_to_bytes(vorn_handle x)
{
    check_atom(x);
    uint32_t v = word_of(x);
    return bytes_releasing(x, &v, 4);
}

// An integer, or a double when the value lies outside the integer class.
VORN_API vorn_handle bytes_to_int(vorn_handle s)
{
    uint32_t v = int_from_sequence(s);
    release(s);
    return integer_or_double(static_cast<int32_t>(v));
}

VORN_API vorn_handle atom_to_float32(vorn_handle x)
{
    check_atom(x);
    float f = static_cast<float>(number_of(x));
    return bytes_releasing(x, &f, 4);
}

VORN_API vorn_handle atom_to_float64(vorn_handle x)
{
    check_atom(x);
    double d = number_of(x);
    return bytes_releasing(x, &d, 8);
}

VORN_API vorn_handle float32_to_atom(vorn_handle s)
{
    float f;
    bytes_from_sequence(s, reinterpret_cast<unsigned char *>(&f), 4,
                        "float32_to_int should have a sequence of 4 bytes\n");
    release(s);
    return make_double(f);
}

VORN_API vorn_handle float64_to_atom(vorn_handle s)
{
    double d;
    bytes_from_sequence(s, reinterpret_cast<unsigned char *>(&d), 8,
                        "float64_to_int should have a sequence of 8 bytes\n");
    release(s);
    return make_double(d);
}

}  // extern "C"
