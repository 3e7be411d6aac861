// program_kit.cpp -- what a translated program needs around its own code: the
// start-up and shut-down calls in one routine each, dropping an unwanted value,
// the count of live records, and the leak report written at exit when the
// environment asks for it (VORN_DEBUG containing "leaks").
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core.h"

using namespace vorn::core;

namespace {

// How many records were live when start-up ended, and (only while the leak
// report is on) which: the start-up objects, never reported.
int32_t startup_live = 0;
std::vector<bool> startup_records;
bool report_registered = false;

constexpr int shown_leaks = 5;    // records listed by the report
constexpr long shown_text = 100;  // bytes of each one's text form

// Marks every record index on the free list.
std::vector<bool> free_records()
{
    std::vector<bool> is_free(static_cast<size_t>(object_count), false);
    for (int32_t i = free_tail; i != 0; i = objects[i].count)
        is_free[static_cast<size_t>(i)] = true;
    return is_free;
}

int32_t live_now()
{
    int32_t free_count = 0;
    for (int32_t i = free_tail; i != 0; i = objects[i].count)
        ++free_count;
    return object_count - free_count;
}

// Whether live record i is a sequence.  The table keeps no kind, so it is read
// from the record: a sequence's base word is 0 or the handle of a live
// sequence that owns its storage, while a double's high word is either of
// those only for 0.0 and values below 2^-1022 in size, taken for sequences.
bool looks_like_sequence(const record &r, const std::vector<bool> &is_free)
{
    if (r.base == 0)
        return true;
    uint32_t b = index_of(r.base);
    return is_sequence(r.base) && b < is_free.size() && !is_free[b] && objects[b].base == 0;
}

// The text form of record i (as wrap_print writes it), cut to shown_text bytes.
void write_record_text(FILE *out, uint32_t i, const std::vector<bool> &is_free)
{
    if (!looks_like_sequence(objects[i], is_free)) {
        std::fprintf(out, "%g", dbl_value(objects[i]));
        return;
    }
    char *text = nullptr;
    size_t size = 0;
    FILE *mem = open_memstream(&text, &size);
    print_sequence(mem, static_cast<int32_t>(i));
    std::fclose(mem);
    if (static_cast<long>(size) > shown_text)
        std::fprintf(out, "%.*s...", static_cast<int>(shown_text), text);
    else
        std::fputs(text, out);
    std::free(text);
}

void report_leaks()
{
    std::fflush(stdout);  // the report follows what the program wrote
    std::vector<bool> is_free = free_records();
    int32_t leaked = vorn_live_records();
    std::fprintf(stderr, "vorn: %d records live at exit beyond the start-up objects\n", leaked);
    int shown = 0;
    for (int32_t i = 0; i < object_count && shown < shown_leaks; ++i) {
        size_t k = static_cast<size_t>(i);
        if (is_free[k] || (k < startup_records.size() && startup_records[k]))
            continue;
        std::fprintf(stderr, "vorn:   record %d, count %d: ", i, objects[i].count);
        write_record_text(stderr, static_cast<uint32_t>(i), is_free);
        std::fputc('\n', stderr);
        ++shown;
    }
}

}  // namespace

namespace vorn::core {

void note_start_up()
{
    startup_live = live_now();
    const char *debug = std::getenv("VORN_DEBUG");
    if (debug == nullptr || std::strstr(debug, "leaks") == nullptr)
        return;
    startup_records = free_records();
    startup_records.flip();
    if (!report_registered)
        std::atexit(report_leaks);
    report_registered = true;
}

}  // namespace vorn::core

extern "C" {

VORN_API void vorn_start(int argc, char **argv)
{
    init_command_line(argc, argv);
    init_files();
    init_conhdl();
    init_system();
    init_dll_link();
    std::signal(SIGINT, breakhandler);
    note_start_up();
}

VORN_API void vorn_stop(void)
{
    close_conhdl();
    close_files();
    fini_dll_link();
}

VORN_API void vorn_discard(vorn_handle h) { release(h); }

VORN_API int32_t vorn_live_records(void) { return live_now() - startup_live; }

}  // extern "C"
