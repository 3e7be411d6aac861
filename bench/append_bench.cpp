// Building a sequence of a million integers one element at a time onto a
// temporary, with `append` and with `concat` of a one-element sequence: the
// temporary's record and storage are reused, so the cost per element should
// stay flat however long the sequence grows.
#include <benchmark/benchmark.h>
#include <vorn.h>

namespace {

constexpr int32_t elements = 1000000;

// Reports the time per element appended.
void per_element(benchmark::State &state)
{
    state.SetItemsProcessed(state.iterations() * elements);
    state.counters["ns_per_element"] =
        benchmark::Counter(static_cast<double>(state.iterations() * elements),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void append_onto_temporary(benchmark::State &state)
{
    for (auto _ : state) {
        vorn_handle s = build_sequence(0);
        for (int32_t k = 0; k < elements; ++k)
            s = append(s, static_cast<vorn_handle>(k));
        benchmark::DoNotOptimize(s);
        destroy(s);
    }
    per_element(state);
}

void concat_one_element_sequence(benchmark::State &state)
{
    for (auto _ : state) {
        vorn_handle s = build_sequence(0);
        for (int32_t k = 0; k < elements; ++k)
            s = concat(s, build_sequence(1, static_cast<vorn_handle>(k)));
        benchmark::DoNotOptimize(s);
        destroy(s);
    }
    per_element(state);
}

// The same string-building loop staying in bytes the whole way.
void append_bytes_onto_temporary(benchmark::State &state)
{
    for (auto _ : state) {
        vorn_handle s = build_sequence(0);
        for (int32_t k = 0; k < elements; ++k)
            s = append(s, static_cast<vorn_handle>(k & 0x7F));
        benchmark::DoNotOptimize(s);
        destroy(s);
    }
    per_element(state);
}

}  // namespace

BENCHMARK(append_onto_temporary)->Unit(benchmark::kMillisecond);
BENCHMARK(concat_one_element_sequence)->Unit(benchmark::kMillisecond);
BENCHMARK(append_bytes_onto_temporary)->Unit(benchmark::kMillisecond);
