// The cost of a foreign call: c_func of a routine with 0, 4 and 15 integer
// arguments against a direct C call of the same routine.  The difference is
// the dispatch: checking the list, reading its elements into words, the
// call form for that count, and turning the result into a handle.
#include <benchmark/benchmark.h>
#include <vorn.h>

#include <cstdint>

namespace {

// The routines: kept out of line and out of the caller's analysis, as a
// routine of another library is.
__attribute__((noipa)) int64_t none() { return 1; }
__attribute__((noipa)) int64_t four(int64_t a, int64_t b, int64_t c, int64_t d) { return a + b + c + d; }
__attribute__((noipa)) int64_t fifteen(int64_t a, int64_t b, int64_t c, int64_t d, int64_t e, int64_t f,
                                       int64_t g, int64_t h, int64_t i, int64_t j, int64_t k, int64_t l,
                                       int64_t m, int64_t n, int64_t o)
{
    return a + b + c + d + e + f + g + h + i + j + k + l + m + n + o;
}

void direct_0(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(none());
}

void direct_4(benchmark::State &state)
{
    int64_t a = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(four(a, a, a, a));
    }
}

void direct_15(benchmark::State &state)
{
    int64_t a = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(fifteen(a, a, a, a, a, a, a, a, a, a, a, a, a, a, a));
    }
}

// c_func of the routine with a held list of `count` ones; the routine id is
// the routine's address as a word (a double above the integer class).
void through_c_func(benchmark::State &state, int64_t address, int32_t count)
{
    vorn_handle id = address <= VORN_MAX_INTEGER
                         ? static_cast<vorn_handle>(address)
                         : reference(vorn_double_handle(new_double(static_cast<double>(address))));
    vorn_handle list = reference(repeat(1, count));
    for (auto _ : state)
        benchmark::DoNotOptimize(c_func(id, list));
}

void c_func_0(benchmark::State &state) { through_c_func(state, reinterpret_cast<int64_t>(&none), 0); }
void c_func_4(benchmark::State &state) { through_c_func(state, reinterpret_cast<int64_t>(&four), 4); }
void c_func_15(benchmark::State &state) { through_c_func(state, reinterpret_cast<int64_t>(&fifteen), 15); }

}  // namespace

BENCHMARK(direct_0);
BENCHMARK(c_func_0);
BENCHMARK(direct_4);
BENCHMARK(c_func_4);
BENCHMARK(direct_15);
BENCHMARK(c_func_15);
