// keys_probe -- a program on a real terminal for the key tests: writes to a
// file, one a line, each key code wrap_wait_key gives (keys mode, until 'Z',
// then its processor seconds) or each mouse report (mouse mode).
#include <unistd.h>
#include <vorn.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

int main(int argc, char **argv)
{
    init_command_line(argc, argv);
    init_files();
    std::signal(SIGINT, breakhandler);
    machine(42, std::strcmp(argv[3], "allow") == 0);
    init_conhdl();
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
            usleep(5000);
            continue;
        }
        auto e = static_cast<const vorn_handle *>(vorn_record_of(m)->data);
        std::fprintf(out, "{%d,%d,%d}\n", e[0], e[1], e[2]);
    }
    std::fprintf(out, "cpu %.3f\n", double(std::clock()) / CLOCKS_PER_SEC);
    return 0;
}
