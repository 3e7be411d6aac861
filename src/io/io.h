// io.h -- the input/output folder's internal interface: how a file number
// leads to the stream or socket behind it.  Every routine that reads or
// writes through a file number looks its slot up here, so a bad number or a
// closed slot is reported the same way everywhere.
#pragma once
#ifndef VORN_BUILDING
#error "io.h belongs to the library's own build; include <vorn.h> instead"
#endif

#include <cstdint>
#include <cstdio>

#include "vorn.h"

namespace vorn::io {

constexpr int32_t first_file = 3;     // 0-2: the standard streams
constexpr int32_t last_stream = 20;   // 3-20: files opened by the program
constexpr int32_t first_socket = 21;  // 21-30: network connections
constexpr int32_t last_socket = 30;

// What an open slot holds: a stream (numbers 0..20; `socket` is -1) or a
// socket value (21..30; `stream` is null).  Borrowed from the table: the
// slot keeps it until wrap_close.
struct channel {
    FILE *stream;
    int socket;
};

// The open slot of fn.  A number outside 0..30 or an empty slot ends the
// program through runtime_error, naming `operation`.
//
// Output routines write through it:
//   channel c = open_channel(fn, "puts");
//   if (c.stream != nullptr) fwrite(text, 1, n, c.stream);   // unbuffered
//   else netwerk_write(c.socket, text, n);                 // whole buffer
channel open_channel(int32_t fn, const char *operation);

// The open stream of fn, for routines that have no meaning on a socket
// (position, seek); a socket number is a run-time error like an empty slot.
FILE *open_stream(int32_t fn, const char *operation);

// Ends the program through runtime_error when fn lies outside 0..30.
void check_file_number(int32_t fn, const char *operation);

}  // namespace vorn::io
