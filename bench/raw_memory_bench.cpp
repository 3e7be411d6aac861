// Raw memory against the C library doing the same work: 16 MiB ranges read
// into a bytesequence, written from one, copied and filled at low-region
// addresses; and a million small blocks allocated and freed.
#include <benchmark/benchmark.h>
#include <vorn.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int32_t range = 16 << 20;
constexpr int blocks = 1000000;

void *at(vorn_handle address) { return reinterpret_cast<void *>(uintptr_t{address}); }

// Two 16 MiB blocks of the low region, written once so their pages exist.
struct two_blocks {
    vorn_handle a = wrap_allocate(range), b = wrap_allocate(range);
    two_blocks() { std::memset(at(a), 1, range), std::memset(at(b), 2, range); }
    ~two_blocks() { wrap_free(a), wrap_free(b); }
};

void bytes_per_second(benchmark::State &state)
{
    state.SetBytesProcessed(state.iterations() * int64_t{range});
}

void peek_range_into_bytesequence(benchmark::State &state)
{
    two_blocks m;
    for (auto _ : state)
        destroy(wrap_peek(build_sequence(2, m.a, range)));
    bytes_per_second(state);
}

void c_malloc_and_memcpy(benchmark::State &state)
{
    two_blocks m;
    for (auto _ : state) {
        void *copy = std::malloc(range + 1);
        std::memcpy(copy, at(m.a), range);
        benchmark::DoNotOptimize(copy);
        std::free(copy);
    }
    bytes_per_second(state);
}

void poke_bytesequence(benchmark::State &state)
{
    two_blocks m;
    vorn_handle s = 0;
    assign(&s, wrap_peek(build_sequence(2, m.b, range)));
    for (auto _ : state)
        wrap_poke(m.a, s);
    assign(&s, 0);
    bytes_per_second(state);
}

void mem_copy(benchmark::State &state)
{
    two_blocks m;
    for (auto _ : state)
        wrap_mem_copy(m.a, m.b, range);
    bytes_per_second(state);
}

void c_memcpy(benchmark::State &state)
{
    two_blocks m;
    for (auto _ : state) {
        std::memcpy(at(m.a), at(m.b), range);
        benchmark::ClobberMemory();
    }
    bytes_per_second(state);
}

void mem_set(benchmark::State &state)
{
    two_blocks m;
    for (auto _ : state)
        wrap_mem_set(m.a, 7, range);
    bytes_per_second(state);
}

void c_memset(benchmark::State &state)
{
    two_blocks m;
    for (auto _ : state) {
        std::memset(at(m.a), 7, range);
        benchmark::ClobberMemory();
    }
    bytes_per_second(state);
}

void allocate_and_free_small_blocks(benchmark::State &state)
{
    std::vector<vorn_handle> a(blocks);
    for (auto _ : state) {
        for (int k = 0; k < blocks; ++k)
            a[k] = wrap_allocate(16 + k % 64);
        for (int k = 0; k < blocks; ++k)
            wrap_free(a[k]);
    }
    state.SetItemsProcessed(state.iterations() * blocks);
}

void c_malloc_and_free_small_blocks(benchmark::State &state)
{
    std::vector<void *> a(blocks);
    for (auto _ : state) {
        for (int k = 0; k < blocks; ++k)
            a[k] = std::malloc(16 + k % 64);
        benchmark::DoNotOptimize(a.data());
        for (int k = 0; k < blocks; ++k)
            std::free(a[k]);
    }
    state.SetItemsProcessed(state.iterations() * blocks);
}

}  // namespace

BENCHMARK(peek_range_into_bytesequence)->Unit(benchmark::kMillisecond);
BENCHMARK(c_malloc_and_memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(poke_bytesequence)->Unit(benchmark::kMillisecond);
BENCHMARK(mem_copy)->Unit(benchmark::kMillisecond);
BENCHMARK(c_memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(mem_set)->Unit(benchmark::kMillisecond);
BENCHMARK(c_memset)->Unit(benchmark::kMillisecond);
BENCHMARK(allocate_and_free_small_blocks)->Unit(benchmark::kMillisecond);
BENCHMARK(c_malloc_and_free_small_blocks)->Unit(benchmark::kMillisecond);
