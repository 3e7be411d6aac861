// Element assignment in place and searching a long string, each beside a
// plain C++ loop doing the same work on a bare array, so the ratio shows
// the library's overhead.  s[i] = x runs a million times on a sequence one
// variable holds alone (no copy may happen); find scans a 10 MB string for
// a byte it does not hold, match for a run found only at its very end.
#include <benchmark/benchmark.h>
#include <vorn.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int32_t elements = 1000000;
constexpr size_t text_size = 10u << 20;
const char needle[] = "zyxwvutsrqponmlk";  // never in the text but at its end

void per_element(benchmark::State &state, size_t n)
{
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * n));
    state.counters["ns_per_element"] =
        benchmark::Counter(static_cast<double>(state.iterations() * n),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// ---- s[i] = x --------------------------------------------------------------------

void assign_handles(benchmark::State &state)
{
    vorn_handle s = 0;
    assign(&s, repeat(1000, elements));
    for (auto _ : state)
        for (int32_t i = 1; i <= elements; ++i)
            subscript_assign(&s, static_cast<vorn_handle>(i + 256), 1, i);
    benchmark::DoNotOptimize(s);
    per_element(state, elements);
    assign(&s, 0);
}

void assign_bytes(benchmark::State &state)
{
    vorn_handle s = 0;
    assign(&s, repeat('a', elements));
    for (auto _ : state)
        for (int32_t i = 1; i <= elements; ++i)
            subscript_assign(&s, static_cast<vorn_handle>('a' + (i & 15)), 1, i);
    benchmark::DoNotOptimize(s);
    per_element(state, elements);
    assign(&s, 0);
}

void add_to_element(benchmark::State &state)
{
    vorn_handle s = 0;
    assign(&s, repeat(1000, elements));
    for (auto _ : state)
        for (int32_t i = 1; i <= elements; ++i)
            subscript_arithmetic_assign(0, &s, 1, 1, i);
    benchmark::DoNotOptimize(s);
    per_element(state, elements);
    assign(&s, 0);
}

// The plain loop: the same stores into a bare array of handles.
void plain_store_loop(benchmark::State &state)
{
    std::vector<uint32_t> v(elements, 1000);
    for (auto _ : state) {
        for (int32_t i = 1; i <= elements; ++i)
            v[static_cast<size_t>(i - 1)] = static_cast<uint32_t>(i + 256);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(v.data());
    per_element(state, elements);
}

// ---- find and match in 10 MB ----------------------------------------------------------

std::string long_text()
{
    std::string t(text_size, 'a');
    for (size_t k = 0; k < text_size; ++k)
        t[k] = static_cast<char>('a' + k % 26);
    std::memcpy(&t[text_size - sizeof needle + 1], needle, sizeof needle - 1);
    return t;
}

void find_byte(benchmark::State &state)
{
    vorn_handle s = 0;
    assign(&s, build_string(long_text().c_str()));
    for (auto _ : state)
        benchmark::DoNotOptimize(find('K', s));
    per_element(state, text_size);
    assign(&s, 0);
}

void plain_find_loop(benchmark::State &state)
{
    std::string t = long_text();
    for (auto _ : state) {
        size_t at = 0;
        for (size_t k = 0; k < t.size(); ++k)
            if (static_cast<unsigned char>(t[k]) == 'K') {
                at = k + 1;
                break;
            }
        benchmark::DoNotOptimize(at);
    }
    per_element(state, text_size);
}

void match_string(benchmark::State &state)
{
    vorn_handle s = 0, x = 0;
    assign(&s, build_string(long_text().c_str()));
    assign(&x, build_string(needle));
    for (auto _ : state)
        benchmark::DoNotOptimize(match(x, s));
    per_element(state, text_size);
    assign(&s, 0);
    assign(&x, 0);
}

void plain_match_loop(benchmark::State &state)
{
    std::string t = long_text();
    const size_t m = sizeof needle - 1;
    for (auto _ : state) {
        size_t at = 0;
        for (size_t k = 0; k + m <= t.size() && at == 0; ++k) {
            size_t j = 0;
            while (j < m && t[k + j] == needle[j])
                ++j;
            if (j == m)
                at = k + 1;
        }
        benchmark::DoNotOptimize(at);
    }
    per_element(state, text_size);
}

}  // namespace

BENCHMARK(assign_handles)->Unit(benchmark::kMillisecond);
BENCHMARK(assign_bytes)->Unit(benchmark::kMillisecond);
BENCHMARK(add_to_element)->Unit(benchmark::kMillisecond);
BENCHMARK(plain_store_loop)->Unit(benchmark::kMillisecond);
BENCHMARK(find_byte)->Unit(benchmark::kMillisecond);
BENCHMARK(plain_find_loop)->Unit(benchmark::kMillisecond);
BENCHMARK(match_string)->Unit(benchmark::kMillisecond);
BENCHMARK(plain_match_loop)->Unit(benchmark::kMillisecond);
