// The terminal backend drawing a full 80 x 25 screen whose colour changes at
// every other cell: once as one text image (`wrap_display_text_image`), once
// cell by cell as a program without images would (`wrap_position`,
// `wrap_text_color`, `wrap_puts`).  Standard output is a pseudo-terminal that
// a thread drains; the write system calls on it are counted here (this
// program's `write` stands in for the C library's), so each benchmark
// reports writes and bytes per cell as well as the time per screen.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vorn.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace {

constexpr int columns = 80, rows = 25, cells = columns * rows;
int64_t writes = 0, bytes = 0;  // on standard output

vorn_handle pair(int a, int b) { return build_sequence(2, vorn_handle(a), vorn_handle(b)); }

// Cell (x, y): a letter, yellow on blue or light grey on black by turns.
int colour_of(int x, int y) { return (x + y) % 2 ? 0x1E : 0x07; }

// One iteration is one full screen: the time column is the time per screen.
void per_cell(benchmark::State &state, int64_t writes_before, int64_t bytes_before)
{
    double n = double(state.iterations()) * cells;
    state.counters["writes_per_cell"] = double(writes - writes_before) / n;
    state.counters["bytes_per_cell"] = double(bytes - bytes_before) / n;
}

// 25 rows of 80 cell pairs (every row alike).
vorn_handle full_screen_image()
{
    std::string row;
    for (int x = 0; x < columns; ++x)
        row += {char('A' + x % 26), char(colour_of(x, 0))};
    vorn_handle image = 0;
    assign(&image, repeat(build_string(row.c_str()), vorn_handle(rows)));
    return image;
}

void display_text_image(benchmark::State &state)
{
    vorn_handle image = full_screen_image();
    int64_t w = writes, b = bytes;
    for (auto _ : state)
        wrap_display_text_image(pair(1, 1), image);
    per_cell(state, w, b);
    assign(&image, 0);
}

void position_colour_puts(benchmark::State &state)
{
    int64_t w = writes, b = bytes;
    for (auto _ : state)
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x) {
                wrap_position(vorn_handle(y + 1), vorn_handle(x + 1));
                wrap_text_color(vorn_handle(colour_of(x, y) & 15));
                wrap_bk_color(vorn_handle(colour_of(x, y) >> 4));
                wrap_puts(1, vorn_handle('A' + (x + y) % 26));
            }
    per_cell(state, w, b);
}

BENCHMARK(display_text_image);
BENCHMARK(position_colour_puts);

}  // namespace

// Every write of the program, the library's included, passes here.
extern "C" ssize_t write(int fd, const void *buf, size_t n)
{
    if (fd == STDOUT_FILENO) {
        ++writes;
        bytes += int64_t(n);
    }
    return syscall(SYS_write, fd, buf, n);
}

int main(int argc, char **argv)
{
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return 1;
    int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    struct winsize size = {rows, columns, 0, 0};
    ioctl(terminal, TIOCSWINSZ, &size);
    std::thread drain([master] {
        char buf[65536];
        while (read(master, buf, sizeof buf) > 0) {
        }
    });
    int report_fd = dup(STDOUT_FILENO);
    dup2(terminal, STDOUT_FILENO);
    std::ofstream report("/proc/self/fd/" + std::to_string(report_fd));

    init_command_line(argc, argv);
    init_files();
    init_conhdl();
    benchmark::Initialize(&argc, argv);
    benchmark::ConsoleReporter reporter;
    reporter.SetOutputStream(&report);
    reporter.SetErrorStream(&report);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    close_conhdl();
    std::_Exit(0);  // the drain thread never ends; the terminal goes with the process
}
