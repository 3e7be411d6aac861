// printing.cpp -- writing objects to a file number: `wrap_print` writes any
// object in its text form, `wrap_puts` a string or one character, `wrap_putc`
// one byte, and `qprint` (the quick print) one object on a line of its own.
// `print_sequence` owns the text form of a sequence: "{", the elements'
// text forms separated by ",", "}" -- a string too is written as numbers.
#include <cstdio>
#include <vector>

#include "../core/core.h"
#include "io.h"

using namespace vorn::core;
using vorn::io::channel;
using vorn::io::open_channel;

namespace {

// An atom's text form: "%g" for a double, "%d" for an integer.
void write_atom(FILE *stream, handle h)
{
    if (is_double(h))
        std::fprintf(stream, "%g", dbl_value(h));
    else
        std::fprintf(stream, "%d", int_value(h));
}

// The text form of the sequence in record `index`, element by element
// straight to the stream.  Nested sequences are followed on a stack of our
// own, so any depth of nesting prints without exhausting the C stack.
void write_sequence(FILE *stream, uint32_t index)
{
    struct frame {
        uint32_t index;
        int32_t written;
    };
    std::vector<frame> open{{index, 0}};
    std::fputc('{', stream);
    while (!open.empty()) {
        frame &top = open.back();
        const record &r = objects[top.index];
        if (top.written == count_of(r)) {
            std::fputc('}', stream);
            open.pop_back();
            continue;
        }
        if (top.written > 0)
            std::fputc(',', stream);
        handle e = element_at(r, ++top.written);
        if (is_sequence(e)) {
            std::fputc('{', stream);
            open.push_back({index_of(e), 0});  // `top` is not used after this
        } else {
            write_atom(stream, e);
        }
    }
}

void write_text_form(FILE *stream, handle x)
{
    if (is_sequence(x))
        write_sequence(stream, index_of(x));
    else
        write_atom(stream, x);
}

// A socket has no stream: the text form is made in memory and sent whole.
void send_text_form(int socket, handle x)
{
    char *text = nullptr;
    size_t n = 0;
    FILE *memory = open_memstream(&text, &n);
    write_text_form(memory, x);
    std::fclose(memory);
    netwerk_write(socket, text, static_cast<int32_t>(n));
    std::free(text);
}

// Output to standard output is seen at once; other streams keep their own
// buffering (files opened by the program have none).
void flush_if_standard_output(FILE *stream)
{
    if (stream == stdout)
        std::fflush(stream);
}

// The byte an atom stands for in a text: the low byte of an integer, or of
// a double truncated toward zero.
unsigned char low_byte_of(handle x)
{
    int32_t v = is_double(x) ? truncate_to_bits(dbl_value(x)) : int_value(x);
    return static_cast<unsigned char>(v & 0xFF);
}

}  // namespace

extern "C" {

VORN_API void print_sequence(FILE *stream, int32_t index)
{
    write_sequence(stream, static_cast<uint32_t>(index));
}

VORN_API void wrap_print(int32_t fn, vorn_handle x)
{
    channel c = open_channel(fn, "print");
    if (c.stream != nullptr)
        write_text_form(c.stream, x);
    else
        send_text_form(c.socket, x);
    release(x);
}

// A sequence goes as its text, exactly as many bytes as it has elements (a
// zero byte included); an atom as one byte.  A socket gets a single byte as
// text, so a zero byte sends nothing there.
VORN_API void wrap_puts(int32_t fn, vorn_handle x)
{
    channel c = open_channel(fn, "puts");
    if (is_sequence(x)) {
        const char *text = convert_string(x);
        int32_t n = count_of(rec(x));
        if (c.stream != nullptr)
            std::fwrite(text, 1, static_cast<size_t>(n), c.stream);
        else
            netwerk_write(c.socket, text, n);
    } else {
        unsigned char byte = low_byte_of(x);
        if (c.stream != nullptr) {
            std::fputc(byte, c.stream);
        } else {
            char one[2] = {static_cast<char>(byte), 0};
            netwerk_puts(c.socket, one);
        }
    }
    if (c.stream != nullptr)
        flush_if_standard_output(c.stream);
    release(x);
}

VORN_API void wrap_putc(int32_t fn, vorn_handle x)
{
    if (is_object(x))
        runtime_error("putc arg must be a integer\n");
    channel c = open_channel(fn, "putc");
    unsigned char byte = low_byte_of(x);
    if (c.stream == nullptr) {
        netwerk_write(c.socket, &byte, 1);
        return;
    }
    std::fputc(byte, c.stream);
    flush_if_standard_output(c.stream);
}

VORN_API void qprint(vorn_handle x)
{
    write_text_form(stdout, x);
    std::fputc('\n', stdout);
    release(x);
}

}  // extern "C"
