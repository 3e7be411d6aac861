// Formatted output at volume: a million lines made with "%d: %s %5.2f\n"
// through `wrap_sprintf` and written with `wrap_puts` to a file, against
// plain C++ (`snprintf` + `fwrite`) making the same lines.  Files a program
// opens are unbuffered by design (one system call per write), so each side is
// measured both on an unbuffered and on a buffered stream, which separates
// the formatter's own cost from the write policy.  Also: growing a variable
// with `concat_to` in a loop, whose cost per element must stay flat.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <vorn.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int32_t lines = 1000000;
std::string scratch;

std::string out_path() { return scratch + "/lines.txt"; }

void per_line(benchmark::State &state)
{
    state.SetItemsProcessed(state.iterations() * lines);
    state.counters["ns_per_line"] = benchmark::Counter(static_cast<double>(state.iterations() * lines),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Writes the million lines through the library to file number fn.
void vorn_lines(int32_t fn)
{
    vorn_handle format = 0, item = 0;
    assign(&format, build_string("%d: %s %5.2f\n"));
    assign(&item, build_string("item"));
    for (int32_t i = 0; i < lines; ++i) {
        vorn_handle args = build_sequence(3, static_cast<vorn_handle>(i), item,
                                          vorn_double_handle(new_double(i * 0.5)));
        wrap_puts(fn, wrap_sprintf(format, args));
    }
    assign(&format, 0);
    assign(&item, 0);
}

void cxx_lines(FILE *out)
{
    char line[64];
    for (int32_t i = 0; i < lines; ++i) {
        int n = std::snprintf(line, sizeof line, "%d: %s %5.2f\n", i, "item", i * 0.5);
        std::fwrite(line, 1, static_cast<size_t>(n), out);
    }
}

// As a program opens it: wrap_open, which makes the stream unbuffered.
void vorn_sprintf_puts_unbuffered(benchmark::State &state)
{
    for (auto _ : state) {
        int32_t fn = wrap_open(build_string(out_path().c_str()), build_string("w"));
        vorn_lines(fn);
        wrap_close(fn);
    }
    per_line(state);
}

void cxx_snprintf_fwrite_unbuffered(benchmark::State &state)
{
    for (auto _ : state) {
        FILE *out = std::fopen(out_path().c_str(), "w");
        std::setvbuf(out, nullptr, _IONBF, 0);
        cxx_lines(out);
        std::fclose(out);
    }
    per_line(state);
}

// The same with the standard library's buffer: a buffered stream placed in
// a free slot of the file table, so only the formatting differs.
void vorn_sprintf_puts_buffered(benchmark::State &state)
{
    for (auto _ : state) {
        FILE *out = std::fopen(out_path().c_str(), "w");
        files[3] = out;
        vorn_lines(3);
        wrap_close(3);
    }
    per_line(state);
}

void cxx_snprintf_fwrite_buffered(benchmark::State &state)
{
    for (auto _ : state) {
        FILE *out = std::fopen(out_path().c_str(), "w");
        cxx_lines(out);
        std::fclose(out);
    }
    per_line(state);
}

// Formatting alone: the string is made and dropped.
void vorn_sprintf_only(benchmark::State &state)
{
    vorn_handle format = 0, item = 0;
    assign(&format, build_string("%d: %s %5.2f\n"));
    assign(&item, build_string("item"));
    for (auto _ : state) {
        for (int32_t i = 0; i < lines; ++i) {
            vorn_handle args = build_sequence(3, static_cast<vorn_handle>(i), item,
                                              vorn_double_handle(new_double(i * 0.5)));
            destroy(wrap_sprintf(format, args));
        }
    }
    assign(&format, 0);
    assign(&item, 0);
    per_line(state);
}

// A variable grown one element at a time with concat_to: the sequence it
// alone holds is extended in place.  Reports the time per element for
// state.range(0) elements; `bytes` keeps it a string throughout.
template <bool bytes> void concat_to_loop(benchmark::State &state)
{
    const int64_t n = state.range(0);
    for (auto _ : state) {
        vorn_handle v = 0;
        assign(&v, build_sequence(0));
        for (int64_t k = 0; k < n; ++k)
            concat_to(&v, static_cast<vorn_handle>(bytes ? 'a' + k % 26 : k));
        benchmark::DoNotOptimize(v);
        assign(&v, 0);
    }
    state.counters["ns_per_element"] = benchmark::Counter(static_cast<double>(state.iterations() * n),
                                                          benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void concat_to_integers(benchmark::State &state) { concat_to_loop<false>(state); }
void concat_to_characters(benchmark::State &state) { concat_to_loop<true>(state); }

}  // namespace

BENCHMARK(vorn_sprintf_puts_unbuffered)->Unit(benchmark::kMillisecond);
BENCHMARK(cxx_snprintf_fwrite_unbuffered)->Unit(benchmark::kMillisecond);
BENCHMARK(vorn_sprintf_puts_buffered)->Unit(benchmark::kMillisecond);
BENCHMARK(cxx_snprintf_fwrite_buffered)->Unit(benchmark::kMillisecond);
BENCHMARK(vorn_sprintf_only)->Unit(benchmark::kMillisecond);
BENCHMARK(concat_to_integers)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(concat_to_characters)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    // The start-up objects and the file table come first, as in every
    // translated program.
    init_command_line(argc, argv);
    init_files();
    char pattern[] = "/tmp/vorn_format_bench_XXXXXX";
    scratch = mkdtemp(pattern);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    unlink(out_path().c_str());
    rmdir(scratch.c_str());
    return 0;
}
