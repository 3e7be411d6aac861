// Element-wise operators over a million elements: arithmetic on a sequence
// of doubles (one new double per element), `upper` and `add 1` on a string
// (results stay bytes), and a chain of arithmetic on one temporary double
// (its record is reused, nothing is made).  Times are per element; freeing
// the result is left out of the timing.
#include <benchmark/benchmark.h>
#include <vorn.h>

namespace {

constexpr int32_t elements = 1000000;

void per_element(benchmark::State &state)
{
    state.SetItemsProcessed(state.iterations() * elements);
    state.counters["ns_per_element"] =
        benchmark::Counter(static_cast<double>(state.iterations() * elements),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// A held sequence of a million doubles 0.5, 1.5, ...
vorn_handle held_doubles()
{
    int32_t i = new_sequence();
    auto *w = static_cast<vorn_handle *>(malloc(elements * sizeof(vorn_handle)));
    for (int32_t k = 0; k < elements; ++k) {
        w[k] = vorn_double_handle(new_double(k + 0.5));
        reference(w[k]);
    }
    objects[i].data = w;
    objects[i].length = elements;
    vorn_handle s = 0;
    assign(&s, vorn_sequence_handle(i));
    return s;
}

// A held string of a million letters.
vorn_handle held_string()
{
    auto *text = static_cast<char *>(malloc(elements + 1));
    for (int32_t k = 0; k < elements; ++k)
        text[k] = static_cast<char>('a' + k % 26);
    text[elements] = 0;
    vorn_handle s = 0;
    assign(&s, build_string(text));
    free(text);
    return s;
}

// Runs op on the held s once per iteration, freeing each result untimed.
template <class Op> void run_on(benchmark::State &state, vorn_handle s, Op op)
{
    for (auto _ : state) {
        vorn_handle r = op(s);
        benchmark::DoNotOptimize(r);
        state.PauseTiming();
        destroy(r);
        state.ResumeTiming();
    }
    per_element(state);
    assign(&s, 0);
}

void add_one_to_doubles(benchmark::State &state)
{
    run_on(state, held_doubles(), [](vorn_handle s) { return add(s, 1); });
}

void multiply_doubles_by_double(benchmark::State &state)
{
    vorn_handle factor = 0;
    assign(&factor, vorn_double_handle(new_double(1.25)));
    run_on(state, held_doubles(), [factor](vorn_handle s) { return multiply(s, factor); });
    assign(&factor, 0);
}

void upper_of_string(benchmark::State &state)
{
    run_on(state, held_string(), [](vorn_handle s) { return upper(s); });
}

void add_one_to_string(benchmark::State &state)
{
    run_on(state, held_string(), [](vorn_handle s) { return add(s, 1); });
}

// x = ((x + 1) * 1.0) - 0.5, a million times, on one temporary double:
// three operators per step, no record made.
void chain_on_temporary_double(benchmark::State &state)
{
    vorn_handle one = 0, half = 0;
    assign(&one, vorn_double_handle(new_double(1.0)));
    assign(&half, vorn_double_handle(new_double(0.5)));
    for (auto _ : state) {
        vorn_handle x = vorn_double_handle(new_double(0.0));
        for (int32_t k = 0; k < elements; ++k)
            x = subtract(multiply(add(x, 1), one), half);
        benchmark::DoNotOptimize(x);
        destroy(x);
    }
    per_element(state);
    assign(&one, 0);
    assign(&half, 0);
}

}  // namespace

BENCHMARK(add_one_to_doubles)->Unit(benchmark::kMillisecond);
BENCHMARK(multiply_doubles_by_double)->Unit(benchmark::kMillisecond);
BENCHMARK(upper_of_string)->Unit(benchmark::kMillisecond);
BENCHMARK(add_one_to_string)->Unit(benchmark::kMillisecond);
BENCHMARK(chain_on_temporary_double)->Unit(benchmark::kMillisecond);
