// environment.cpp -- the program's process environment: reading and setting
// environment variables, and running commands through the shell for their
// exit status, feeding them text, or capturing what they write.
#include <sys/wait.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <unordered_map>

#include "../core/core.h"
#include "io.h"

using namespace vorn::core;

namespace {

// ---- environment variables -------------------------------------------------

// The NAME=value texts the environment points at for the variables set
// here, by name.  The environment keeps the pointer it is given, so a text
// is freed only once the environment has stopped pointing at it.
std::unordered_map<std::string, char *> owned_settings;

// Sets or (empty value) removes one variable from a NAME=value text, which
// is copied; false when the text has no '=' or no name before it.
bool put_setting(const char *text)
{
    const char *equals = std::strchr(text, '=');
    if (equals == nullptr || equals == text)
        return false;
    std::string name(text, equals);
    char *copy = nullptr;
    if (equals[1] == '\0') {
        unsetenv(name.c_str());
    } else {
        copy = strdup(text);
        if (copy == nullptr || putenv(copy) != 0) {
            std::free(copy);
            return false;
        }
    }
    char *&slot = owned_settings[name];
    std::free(slot);  // no longer in the environment
    slot = copy;
    return true;
}

// ---- commands ----------------------------------------------------------------

// A wait status as a result: the exit status, 128 + the signal number for a
// command ended by a signal, -1 when no command ran.
int32_t command_status(int status)
{
    if (status == -1)
        return -1;
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

// Output written so far goes out before the child's, and the terminal is
// the child's in its normal modes while the command runs.
void before_command()
{
    std::fflush(stdout);
    vorn::io::console_hand_over();
}

// What init_conhdl does, after every command.
void after_command() { vorn::io::console_init(); }

// Runs `command` through the shell and waits for it.
int32_t run_command(const char *command)
{
    before_command();
    int32_t status = command_status(std::system(command));
    after_command();
    return status;
}

// Writes text to the command's standard input and waits for it; a child
// that stops reading early costs nothing but its status (no SIGPIPE).
int32_t feed_command(const char *command, const char *text)
{
    before_command();
    int32_t status = -1;
    if (FILE *pipe = popen(command, "w")) {
        struct sigaction ignore = {}, previous;
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGPIPE, &ignore, &previous);
        std::fputs(text, pipe);
        status = command_status(pclose(pipe));
        sigaction(SIGPIPE, &previous, nullptr);
    }
    after_command();
    return status;
}

// Reads a pipe to its end into a buffer that doubles when full (linear time
// for any size) and keeps room for a zero byte after the data.  The caller
// owns `data` afterwards; false after a read error.
struct captured {
    unsigned char *data = nullptr;
    size_t used = 0;
};
bool read_all(FILE *pipe, captured &out)
{
    size_t room = 96;  // bytes that fit before the zero byte
    out.data = alloc_bytes(room);
    for (;;) {
        out.used += std::fread(out.data + out.used, 1, room - out.used, pipe);
        if (out.used < room)
            break;
        room *= 2;
        out.data = static_cast<unsigned char *>(std::realloc(out.data, room + 1));
    }
    out.data[out.used] = 0;
    return !std::ferror(pipe);
}

// The command's output as a new bytesequence over the buffer read, cut at
// its first zero byte; or the status as an integer when it is not 0 (-1 no
// pipe, -2 read error, else the command's exit status).
vorn_handle capture_command(const char *command)
{
    before_command();
    captured out;
    int32_t status = -1;
    if (FILE *pipe = popen(command, "r")) {
        bool read_ok = read_all(pipe, out);
        status = command_status(pclose(pipe));
        if (!read_ok)
            status = -2;
    }
    after_command();
    if (status != 0) {
        std::free(out.data);
        return int_handle(status);
    }
    return make_sequence(out.data, -static_cast<int32_t>(std::strlen(reinterpret_cast<char *>(out.data))));
}

}  // namespace

extern "C" {

// The value of the variable named by the text of name, as a new string; -1
// when it is not set.  Borrows name.
VORN_API vorn_handle wrap_getenv(vorn_handle name)
{
    if (!is_sequence(name))
        runtime_error("argument to getenv must be a sequence\n");
    const char *value = getenv(convert_string(name));
    if (value == nullptr)
        return int_handle(-1);
    return build_string(value);
}

// NAME=value from a bytesequence's own bytes (an empty value removes the
// variable); the environment gets a copy.  Borrows setting.
VORN_API void wrap_putenv(vorn_handle setting)
{
    if (!is_sequence(setting) || !is_bytes(rec(setting)))
        runtime_error("argument to putenv must be a (byte)sequence\n");
    if (!put_setting(convert_string(setting)))
        runtime_error("No room in environment\n");
}

// The command runs through the shell; its status is dropped.  Borrows it.
VORN_API void wrap_system(vorn_handle command) { run_command(convert_string(command)); }

// The command's exit status (128 + signal when a signal ended it, -1 when the
// shell could not run).  Borrows command.
VORN_API int32_t wrap_system_exec(vorn_handle command) { return run_command(convert_string(command)); }

// The text of text (up to its first zero byte) goes to the command's
// standard input; its exit status, or -1 when no pipe opened.  Borrows both.
VORN_API int32_t wrap_system_put(vorn_handle command, vorn_handle text)
{
    const char *command_text = convert_string(command);
    return feed_command(command_text, convert_string(text));
}

// Everything the command writes to its standard output as a new string when
// it exits with 0, else its status.  Borrows command.
VORN_API vorn_handle wrap_system_get(vorn_handle command) { return capture_command(convert_string(command)); }

}  // extern "C"
