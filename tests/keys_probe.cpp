// keys_probe -- a program on a real terminal for the key tests: writes each
// key code (keys mode, through wrap_wait_key) or mouse report and key (mouse
// mode) it gets to a file, one a line, and at 'Z' its CPU seconds.
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "io.h"

using namespace vorn::io;

namespace {

// The console as the program's start-up leaves it; where that gives no
// terminal keyboard, the terminal's input beside a screen that does nothing.
void start_console()
{
    console_init();
    static console_backend keys = no_console();
    if (console().read_input != terminal_read_input) {
        keys.input_mode = terminal_input_mode;
        keys.set_input_mode = terminal_set_input_mode;
        keys.pending_input = terminal_pending_input;
        keys.read_input = terminal_read_input;
        keys.flush_input = terminal_flush_input;
        keys.wait_input = terminal_wait_input;
        use_console(keys);
    }
    console().set_input_mode(console().input_mode() | mode_mouse_input);
}

double cpu_seconds()
{
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The next key code or mouse report, waiting between polls.
void next_event(char *text, int32_t &key)
{
    for (key = -1;; console().wait_input(-1)) {
        vorn_handle m = wrap_text_mouse();
        if (m != static_cast<vorn_handle>(-1)) {
            const vorn_handle *e = static_cast<const vorn_handle *>(vorn_record_of(m)->data);
            std::snprintf(text, 40, "{%d,%d,%d}", e[0], e[1], e[2]);
            return;
        }
        if ((key = inkey_()) > 0)
            return;
    }
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 4)
        return 2;
    init_command_line(argc, argv);
    init_files();
    std::signal(SIGINT, breakhandler);
    allow_break(std::strcmp(argv[3], "allow") == 0);
    start_console();
    FILE *out = std::fopen(argv[1], "w");
    std::fputs("ready\n", out);
    for (int32_t key = 0; key != 'Z';) {
        std::fflush(out);
        char text[40];
        if (std::strcmp(argv[2], "mouse") == 0)
            next_event(text, key);
        else
            key = wrap_wait_key();
        if (key > 0)
            std::snprintf(text, sizeof text, "%d", key);
        std::fprintf(out, "%s\n", text);
    }
    std::fprintf(out, "cpu %.3f\n", cpu_seconds());
    std::fclose(out);
    return 0;
}
