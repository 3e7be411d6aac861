// The process and file-system built-ins: the wildcard matcher against a
// hostile pattern (and against recursion at every asterisk on a size the
// recursion survives), listing a folder of 100,000 files against Python's
// os.scandir with a stat of every entry, and capturing a command's output.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <vorn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string folder;  // 100,000 empty files, made once

// Recursion at every asterisk, as the matcher is first written.
int recursive_match(const char *t, const char *p);
int recursive_walk(const char *t, const char *p)
{
    for (;;) {
        if (*p == '*') {
            if (p[1] == 0)
                return 1;
            for (++p; *t; ++t)
                if (recursive_match(t, p))
                    return 1;
            return 0;
        }
        if (*t == 0 || (*p != '?' && *p != *t))
            return 0;
        ++t, ++p;
        if (*p == 0)
            return *t == 0;
    }
}
int recursive_match(const char *t, const char *p) { return *p == 0 ? 1 : *t == 0 ? 0 : recursive_walk(t, p); }

// "*a" `stars` times, then "b": never matches a run of a's.
std::string hostile(int stars)
{
    std::string p;
    for (int k = 0; k < stars; ++k)
        p += "*a";
    return p + "b";
}

void match_30_stars_10000_chars(benchmark::State &state)
{
    std::string name(10000, 'a'), pattern = hostile(30);
    for (auto _ : state)
        benchmark::DoNotOptimize(___match(name.c_str(), pattern.c_str()));
}

template <int (*matcher)(const char *, const char *)> void match_6_stars_24_chars(benchmark::State &state)
{
    std::string name(24, 'a'), pattern = hostile(6);
    for (auto _ : state)
        benchmark::DoNotOptimize(matcher(name.c_str(), pattern.c_str()));
}
int linear(const char *t, const char *p) { return ___match(t, p); }

void make_folder()
{
    folder = std::filesystem::temp_directory_path() / "vorn_dir_bench_XXXXXX";
    if (mkdtemp(folder.data()) == nullptr)
        std::abort();
    for (int k = 0; k < 100000; ++k)
        close(open((folder + "/file_" + std::to_string(k) + ".dat").c_str(), O_CREAT | O_WRONLY, 0644));
}

// Python's best of five listings with a stat of each entry, in seconds.
double python_listing_seconds()
{
    std::string command =
        "python3 -c \"import os,time\nbest=9e9\nfor k in range(5):\n t=time.perf_counter()\n"
        " r=[(e.name,e.stat()) for e in os.scandir('" +
        folder + "')]\n best=min(best,time.perf_counter()-t)\nprint(best)\"";
    FILE *p = popen(command.c_str(), "r");
    double seconds = 0;
    if (p == nullptr || std::fscanf(p, "%lf", &seconds) != 1)
        seconds = 0;
    if (p != nullptr)
        pclose(p);
    return seconds;
}

void wrap_dir_100000_files(benchmark::State &state)
{
    for (auto _ : state)
        destroy(wrap_dir(build_string(folder.c_str())));
    state.counters["python_s"] = python_listing_seconds();
}

void wrap_system_get_8mb(benchmark::State &state)
{
    vorn_handle command = build_string("head -c 8000000 /dev/zero | tr '\\0' y");
    for (auto _ : state)
        destroy(wrap_system_get(command));
    destroy(command);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 8000000);
}

}  // namespace

BENCHMARK(match_30_stars_10000_chars)->Unit(benchmark::kMicrosecond);
BENCHMARK(match_6_stars_24_chars<linear>)->Unit(benchmark::kMicrosecond);
BENCHMARK(match_6_stars_24_chars<recursive_match>)->Unit(benchmark::kMicrosecond);
BENCHMARK(wrap_dir_100000_files)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(wrap_system_get_8mb)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    init_command_line(argc, argv);
    init_files();
    make_folder();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(folder);
    return 0;
}
