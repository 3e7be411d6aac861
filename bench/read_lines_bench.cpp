// Reading a 50 MB text file line by line: `wrap_gets` on a file opened for
// reading, against C++ std::getline on the same file.  A file opened for
// update stays unbuffered so that its writes reach the system at once; its
// reading costs a system call per byte and is measured on a smaller file.
#include <benchmark/benchmark.h>
#include <vorn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string scratch_dir;

// A file of `bytes` bytes of lines 0 to 119 characters long (about 60 on
// average), the same every run.
std::string make_text_file(const char *name, size_t bytes)
{
    std::string path = scratch_dir + "/" + name;
    std::string text;
    text.reserve(bytes + 128);
    uint32_t seed = 12345;
    while (text.size() < bytes) {
        seed = seed * 1103515245u + 12345u;
        size_t n = (seed >> 16) % 120;
        for (size_t k = 0; k < n; ++k)
            text.push_back(static_cast<char>('a' + (k + seed) % 26));
        text.push_back('\n');
    }
    text.resize(bytes);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

const std::string &big_file()
{
    static const std::string path = make_text_file("big.txt", 50u << 20);
    return path;
}

const std::string &small_file()
{
    static const std::string path = make_text_file("small.txt", 2u << 20);
    return path;
}

void lines_with_wrap_gets(benchmark::State &state, const std::string &path, const char *mode)
{
    size_t lines = 0;
    for (auto _ : state) {
        int32_t fn = wrap_open(build_string(path.c_str()), build_string(mode));
        for (vorn_handle line; (line = wrap_gets(fn)) != static_cast<vorn_handle>(-1); ++lines)
            destroy(line);
        wrap_close(fn);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * std::filesystem::file_size(path)));
    state.counters["lines"] = static_cast<double>(lines / state.iterations());
}

void wrap_gets_read_only(benchmark::State &state) { lines_with_wrap_gets(state, big_file(), "r"); }

void wrap_gets_update_mode_2mb(benchmark::State &state) { lines_with_wrap_gets(state, small_file(), "r+"); }

void cpp_getline(benchmark::State &state)
{
    size_t lines = 0;
    for (auto _ : state) {
        std::ifstream in(big_file(), std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            benchmark::DoNotOptimize(line.data());
            ++lines;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * std::filesystem::file_size(big_file())));
    state.counters["lines"] = static_cast<double>(lines / state.iterations());
}

}  // namespace

BENCHMARK(wrap_gets_read_only)->Unit(benchmark::kMillisecond);
BENCHMARK(cpp_getline)->Unit(benchmark::kMillisecond);
BENCHMARK(wrap_gets_update_mode_2mb)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    // The start-up of a translated program: start-up objects, then the files.
    init_command_line(argc, argv);
    init_files();
    char pattern[] = "/tmp/vorn_read_bench_XXXXXX";
    scratch_dir = mkdtemp(pattern);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(scratch_dir);
    return 0;
}
