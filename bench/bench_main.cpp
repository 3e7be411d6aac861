// The start-up every micro-benchmark shares: the library's start-up objects
// and file table first, as in every translated program, then the benchmarks.
// A benchmark file that needs more set-up defines its own main instead.
#include <benchmark/benchmark.h>
#include <vorn.h>

int main(int argc, char **argv)
{
    init_command_line(argc, argv);
    init_files();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
