// keys_probe -- a program on a real terminal for the key tests: writes to a
// file, one a line, each key code wrap_wait_key gives (keys mode, until 'Z',
// then its processor seconds) or each mouse report (mouse mode).
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "io.h"

using namespace vorn::io;

// The console as start-up leaves it; where that gives no terminal keyboard
// (no terminal backend in this build), the terminal's input beside no screen.
static void start_console()
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

int main(int argc, char **argv)
{
    init_command_line(argc, argv);
    init_files();
    std::signal(SIGINT, breakhandler);
    allow_break(std::strcmp(argv[3], "allow") == 0);
    start_console();
    FILE *out = std::fopen(argv[1], "w");
    std::fputs("ready\n", out);
    for (int32_t key = 0; key != 'Z';) {
        std::fflush(out);
        if (std::strcmp(argv[2], "keys") == 0) {
            std::fprintf(out, "%d\n", key = wrap_wait_key());
            continue;
        }
        vorn_handle m = wrap_text_mouse();
        if (m == static_cast<vorn_handle>(-1)) {
            console().wait_input(-1);
            continue;
        }
        auto e = static_cast<const vorn_handle *>(vorn_record_of(m)->data);
        std::fprintf(out, "{%d,%d,%d}\n", e[0], e[1], e[2]);
    }
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    double cpu = u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    std::fprintf(out, "cpu %.3f\n", cpu);
    return 0;
}
