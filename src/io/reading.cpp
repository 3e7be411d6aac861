// reading.cpp -- reading through a file number: a line, one byte or a
// counted run of bytes, from a stream or a socket, and the position of a
// file.  Results are new bytesequences whose storage is the buffer filled.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "../core/core.h"
#include "io.h"

using namespace vorn::core;
using namespace vorn::io;

namespace {

constexpr size_t line_step = 96;         // a socket line grows by this much
constexpr size_t first_run = 64 * 1024;  // a byte run's first buffer, at most

// The next byte from a socket, one byte per receive: 0..255, or the socket
// layer's negative result.  A wait that passes with no data is asked again.
int32_t socket_byte(int sock, int32_t wait_seconds)
{
    char two[2];
    for (;;) {
        int32_t got = netwerk_read(sock, two, 2, wait_seconds);
        if (got > 0)
            return static_cast<unsigned char>(two[0]);
        if (got < 0)
            return got;
    }
}

// A byte buffer that owns its storage and keeps room for a zero byte after
// its `used` bytes; its storage becomes a bytesequence without a copy.
struct byte_buffer {
    unsigned char *data = nullptr;
    size_t used = 0;
    size_t room = 0;  // bytes that fit before the zero byte

    void reserve(size_t n)
    {
        if (n <= room)
            return;
        data = static_cast<unsigned char *>(std::realloc(data, n + 1));
        room = n;
    }
    void push(unsigned char c)
    {
        if (used == room)
            reserve(room + line_step);
        data[used++] = c;
    }
    // Gives back what a generous reservation did not use.
    void shrink()
    {
        if (room - used <= line_step)
            return;
        data = static_cast<unsigned char *>(std::realloc(data, used + 1));
        room = used;
    }
};

// Ends the line in exactly one line feed (a carriage return before it, or
// left alone at the end of input, becomes that line feed), cuts it at its
// first zero byte and hands the storage to a new bytesequence.
vorn_handle take_line(byte_buffer &line)
{
    unsigned char last = line.data[line.used - 1];
    if (last == '\n' && line.used > 1 && line.data[line.used - 2] == '\r') {
        line.used -= 1;
        line.data[line.used - 1] = '\n';
    } else if (last == '\r') {
        line.data[line.used - 1] = '\n';
    } else if (last != '\n') {
        line.push('\n');
    }
    line.data[line.used] = '\0';
    const void *zero = std::memchr(line.data, 0, line.used);
    size_t n = zero != nullptr ? static_cast<size_t>(static_cast<const unsigned char *>(zero) - line.data) : line.used;
    return make_sequence(line.data, -static_cast<int32_t>(n));
}

// A stream line through the standard library's line reader, which scans the
// stream's buffer for the line feed rather than calling once per byte.
vorn_handle stream_line(FILE *stream)
{
    if (std::feof(stream))
        return static_cast<vorn_handle>(-1);
    char *text = nullptr;
    size_t size = 0;
    ssize_t n = getdelim(&text, &size, '\n', stream);
    if (n <= 0) {
        std::free(text);
        return static_cast<vorn_handle>(-1);
    }
    byte_buffer line{reinterpret_cast<unsigned char *>(text), static_cast<size_t>(n), size - 1};
    return take_line(line);
}

// A socket line: the first byte's negative result is the answer, a later one
// ends the line.
vorn_handle socket_line(int sock)
{
    int32_t c = socket_byte(sock, 0);
    if (c < 0)
        return static_cast<vorn_handle>(c);
    byte_buffer line;
    line.reserve(line_step);
    while (c >= 0) {
        line.push(static_cast<unsigned char>(c));
        if (c == '\n')
            break;
        c = socket_byte(sock, 0);
    }
    return take_line(line);
}

// Up to n bytes into `run`, growing it as bytes arrive (a large count does
// not cost a buffer of that size up front).
void stream_run(FILE *stream, byte_buffer &run, size_t n)
{
    while (run.used < n) {
        run.reserve(std::min(n, std::max(first_run, 2 * run.room)));
        size_t got = std::fread(run.data + run.used, 1, run.room - run.used, stream);
        run.used += got;
        if (got == 0 || run.used < run.room)
            return;
    }
}

void socket_run(int sock, byte_buffer &run, size_t n)
{
    while (run.used < n) {
        int32_t c = socket_byte(sock, 1);
        if (c < 0)
            return;
        if (run.used == run.room)
            run.reserve(std::min(n, std::max(first_run, 2 * run.room)));
        run.data[run.used++] = static_cast<unsigned char>(c);
    }
}

// Standard input read as a stream: a terminal first leaves the key modes
// that polling the keyboard left it in.
FILE *settled(FILE *stream)
{
    if (stream == stdin)
        terminal_settle_input();
    return stream;
}

}  // namespace

extern "C" {

VORN_API vorn_handle wrap_gets(int32_t fn)
{
    channel c = open_channel(fn, "gets");
    return c.stream != nullptr ? stream_line(settled(c.stream)) : socket_line(c.socket);
}

VORN_API int32_t wrap_getc(int32_t fn)
{
    channel c = open_channel(fn, "getc");
    if (c.stream == nullptr)
        return socket_byte(c.socket, 1);
    if (c.stream == stdin && isatty(0))
        return getch_();
    return std::getc(c.stream);
}

// A count below 1 reads nothing and gives -1.
VORN_API vorn_handle wrap_get_bytes(int32_t fn, int32_t count)
{
    channel c = open_channel(fn, "get_bytes");
    if (count < 1)
        return static_cast<vorn_handle>(-1);
    byte_buffer run;
    if (c.stream != nullptr)
        stream_run(settled(c.stream), run, static_cast<size_t>(count));
    else
        socket_run(c.socket, run, static_cast<size_t>(count));
    if (run.used == 0) {
        std::free(run.data);
        return static_cast<vorn_handle>(-1);
    }
    run.shrink();
    run.data[run.used] = '\0';
    return make_sequence(run.data, -static_cast<int32_t>(run.used));
}

// A position beyond the 32-bit range fails, as a 32-bit ftell would.
VORN_API int32_t wrap_where(int32_t fn)
{
    long pos = std::ftell(open_stream(fn, "where"));
    return pos > INT32_MAX ? -1 : static_cast<int32_t>(pos);
}

// pos 0 and up counts from the start; -1 is the end, -2 a byte before it.
VORN_API int32_t wrap_seek(int32_t fn, vorn_handle pos)
{
    if (is_object(pos))
        runtime_error("seek arg must be a integer\n");
    FILE *stream = open_stream(fn, "seek");
    int32_t p = int_value(pos);
    if (p >= 0)
        return std::fseek(stream, p, SEEK_SET);
    return std::fseek(stream, static_cast<long>(p) + 1, SEEK_END);
}

}  // extern "C"
