// errors.cpp -- the library's one way to fail and its one way to end: the
// run-time error report (console, crash file, crash routines, crash
// message), the message formats shared by the sequence operations, the
// registration of crash routines, abort, and the exit path.
#include <unistd.h>

#include <cstdarg>
#include <cstdio>

#include "../io/io.h"
#include "../net/net.h"
#include "core.h"

using namespace vorn::core;

extern "C" {
VORN_API vorn_crash_node *crash_routines = nullptr;
VORN_API int32_t error_count = 0;
VORN_API char *crash_message = nullptr;
VORN_API char *crash_file = nullptr;
VORN_API FILE *crash_file_ptr = nullptr;

VORN_API char error_atom_error[] = "%s : cann't operate on a Atom .\n";
VORN_API char error_subscript_error[] = "%s : subscript error ! should be a integer .\n";
VORN_API char error_subscript_bound[] = "%s : subscript %d out of range [1 .. %d]\n";
VORN_API char error_slice_lbound[] = "%s : subscript %d .. out of range [1..%d]\n";
VORN_API char error_slice_hbound[] = "%s : .. subscript %d out of range [1..%d]\n";
VORN_API char error_slice_length[] = "%s : sequence lengths are not the same (%d != %d)\n";
VORN_API char error_slice_neg[] = "%s : slice length cannot be negative\n";
}

namespace {

// The name the program was started under, for the crash file's first line.
const char *program_name()
{
    if (null_sequence == 0)
        return "vorn";
    const record &line = objects[commandline];
    if (line.length < 1)
        return "vorn";
    const record &arg0 = rec(words(line)[0]);
    return arg0.length < 0 && arg0.base == 0 ? static_cast<const char *>(arg0.data) : "vorn";
}

// Replaces a kept text (crash message or crash file name) with a private
// copy of the text of x.
void keep_text(char *&slot, vorn_handle x)
{
    const char *text = convert_string(x);
    std::free(slot);
    slot = strdup(text);
}

}  // namespace

extern "C" {

VORN_API void runtime_error(const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    if (crash_file != nullptr && crash_file_ptr == nullptr)
        crash_file_ptr = std::fopen(crash_file, "w");
    if (crash_message == nullptr) {
        va_list console;
        va_copy(console, ap);
        std::fputs("RUN_TIME_ERROR : ", stdout);
        std::vfprintf(stdout, format, console);
        va_end(console);
    }
    if (crash_file_ptr != nullptr) {
        // The report's first line names the program and the process.
        std::fprintf(crash_file_ptr, "%s:%ld\n", program_name(), static_cast<long>(getpid()));
        std::vfprintf(crash_file_ptr, format, ap);
        std::fputs("\n", crash_file_ptr);
    }
    va_end(ap);
    do_crash_routines();
    if (crash_message != nullptr) {
        std::fputs(crash_message, stdout);
        std::free(crash_message);
        crash_message = nullptr;
    } else if (crash_file != nullptr) {
        std::printf("--> see %s\n", crash_file);
        std::free(crash_file);
        crash_file = nullptr;
    }
    if (crash_file_ptr != nullptr) {
        std::fclose(crash_file_ptr);
        crash_file_ptr = nullptr;
    }
    Pexit(1);
}

VORN_API void wrap_crash_routine(void (*routine)(void))
{
    auto *node = static_cast<vorn_crash_node *>(std::malloc(sizeof(vorn_crash_node)));
    node->routine = routine;
    node->next = crash_routines;
    crash_routines = node;
}

VORN_API void wrap_crash_message(vorn_handle x) { keep_text(crash_message, x); }

VORN_API void wrap_crash_file(vorn_handle x) { keep_text(crash_file, x); }

VORN_API void do_crash_routines(void)
{
    while (crash_routines != nullptr) {
        // The node leaves the stack before its routine runs, so an error
        // raised inside the routine does not run it again.
        vorn_crash_node *node = crash_routines;
        void (*routine)(void) = node->routine;
        crash_routines = node->next;
        std::free(node);
        ++error_count;
        routine();
        --error_count;
    }
}

VORN_API void wrap_abort(int32_t status) { Pexit(status); }

VORN_API void Pexit(int32_t status)
{
    vorn::io::console_restore();
    vorn::net::stop_service();
    std::exit(status);
}

}  // extern "C"
