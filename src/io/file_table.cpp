// file_table.cpp -- the table behind every file number: the standard
// streams, the files a program opens and its network connections; opening
// and closing them, lock files, and the small file-system calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "../core/core.h"
#include "io.h"

using namespace vorn::core;
using namespace vorn::io;

extern "C" {
VORN_API void *files[31];
}

namespace vorn::io {

void check_file_number(int32_t fn, const char *operation)
{
    if (fn < 0 || fn > last_socket)
        runtime_error("%s : file number %d is not in 0 .. 30\n", operation, fn);
}

channel open_channel(int32_t fn, const char *operation)
{
    check_file_number(fn, operation);
    void *slot = files[fn];
    if (slot == nullptr)
        runtime_error("%s : file number %d is not open\n", operation, fn);
    if (fn >= first_socket)
        return {nullptr, static_cast<int>(reinterpret_cast<intptr_t>(slot))};
    return {static_cast<FILE *>(slot), -1};
}

FILE *open_stream(int32_t fn, const char *operation)
{
    channel c = open_channel(fn, operation);
    if (c.stream == nullptr)
        runtime_error("%s : file number %d is a socket, not a file\n", operation, fn);
    return c.stream;
}

}  // namespace vorn::io

namespace {

// The lowest empty slot of first..last; all in use is fatal with `full`.
int32_t free_slot(int32_t first, int32_t last, const char *full)
{
    for (int32_t fn = first; fn <= last; ++fn)
        if (files[fn] == nullptr)
            return fn;
    runtime_error("%s", full);
}

// Writes must reach the system at once, so a stream that can write is made
// unbuffered.  A regular file opened only for reading keeps the standard
// library's buffer: nothing written through this stream can go astray, and
// the library keeps its position exact, so reads need not cost a system
// call per byte.
void set_buffering(FILE *stream)
{
    int fd = fileno(stream);
    struct stat st;
    bool read_only = (fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDONLY;
    if (!read_only || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        std::setvbuf(stream, nullptr, _IONBF, 0);
}

int32_t open_file(vorn_handle name, const char *mode)
{
    int32_t fn = free_slot(first_file, last_stream, "too many files open\n");
    FILE *stream = std::fopen(convert_string(name), mode);
    if (stream == nullptr)
        return -1;
    set_buffering(stream);
    files[fn] = stream;
    return fn;
}

// 'c' and 's' open from the text of the name; 'a' accepts on the listening
// socket in slot `name`.  A 0 (no client yet) is asked again unless the
// mode's second letter is 'w'; only a socket value above 0 takes the slot.
int32_t open_socket(vorn_handle name, const char *mode)
{
    int32_t fn = free_slot(first_socket, last_socket, "too many sockets open\n");
    const char *first;
    if (mode[0] == 'a') {
        int listener = open_channel(static_cast<int32_t>(name), "open").socket;
        first = reinterpret_cast<const char *>(static_cast<intptr_t>(listener));
    } else {
        first = convert_string(name);
    }
    int32_t value;
    do
        value = netwerk_open(first, mode);
    while (value == 0 && mode[1] != 'w');
    if (value <= 0)
        return value;
    files[fn] = reinterpret_cast<void *>(static_cast<intptr_t>(value));
    return fn;
}

// 's' and 'c' open sockets; 'a' accepts when the name is a socket number.
bool opens_socket(vorn_handle name, const char *mode)
{
    if (mode[0] == 's' || mode[0] == 'c')
        return true;
    return mode[0] == 'a' && is_integer(name) && int_value(name) > last_stream;
}

int32_t take_lock(const char *path)
{
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL, 0444);
    if (fd < 0)
        return -1;
    close(fd);
    return 0;
}

void drop_lock(const char *path)
{
    chmod(path, 0777);  // the lock file was created read-only
    std::remove(path);
}

}  // namespace

extern "C" {

VORN_API void init_files(void)
{
    for (int32_t fn = 0; fn < last_socket; ++fn)  // slot 30 starts empty
        files[fn] = nullptr;
    files[0] = stdin;
    files[1] = stdout;
    files[2] = stderr;
    netwerk_init();
}

VORN_API void close_files(void) { netwerk_end(); }

// Releases name, then mode.
VORN_API int32_t wrap_open(vorn_handle name, vorn_handle mode)
{
    const char *mode_text = convert_string(mode);
    int32_t result = opens_socket(name, mode_text) ? open_socket(name, mode_text) : open_file(name, mode_text);
    release_pair(name, mode);
    return result;
}

VORN_API void wrap_close(int32_t fn)
{
    check_file_number(fn, "close");
    if (files[fn] == nullptr)
        runtime_error("file is already closed\n");
    channel c = open_channel(fn, "close");
    if (c.stream != nullptr)
        std::fclose(c.stream);
    else
        netwerk_close(c.socket);
    files[fn] = nullptr;
}

VORN_API void *FILEDISCRIPTOR(vorn_handle fn)
{
    int32_t n = int_value(fn);
    if (is_object(fn) || n < first_file || n > last_socket)
        runtime_error("ill. FILEDISCRITOR\n");
    return files[n];
}

// Releases name.
VORN_API int32_t filelock(vorn_handle name, int32_t lock)
{
    const char *text = convert_string(name);
    size_t n = std::strlen(text);
    char *path = static_cast<char *>(std::malloc(n + 5));
    std::memcpy(path, text, n);
    std::memcpy(path + n, ".lck", 5);
    int32_t result = 0;
    if (lock != 0)
        result = take_lock(path);
    else
        drop_lock(path);
    std::free(path);
    release(name);
    return result;
}

VORN_API int32_t wrap_lockf(vorn_handle name) { return filelock(name, 1); }

VORN_API int32_t wrap_unlockf(vorn_handle name) { return filelock(name, 0); }

// An empty stream slot flushes every output stream.  A socket has nothing
// to flush: its writes are complete when they return.
VORN_API int32_t wrap_flush(int32_t fn)
{
    check_file_number(fn, "flush");
    if (fn >= first_socket)
        return 0;
    return std::fflush(static_cast<FILE *>(files[fn]));
}

// The name routines borrow their names.
VORN_API int32_t wrap_removef(vorn_handle name) { return std::remove(convert_string(name)); }

VORN_API int32_t wrap_renamef(vorn_handle old_name, vorn_handle new_name)
{
    const char *to = convert_string(new_name);
    const char *from = convert_string(old_name);
    return std::rename(from, to);
}

VORN_API int32_t wrap_chmodf(vorn_handle name, int32_t mode)
{
    const char *text = convert_string(name);
    std::printf("file is %s mode = %lo\n", text, static_cast<unsigned long>(static_cast<uint32_t>(mode)));
    return chmod(text, static_cast<mode_t>(mode));
}

}  // extern "C"
