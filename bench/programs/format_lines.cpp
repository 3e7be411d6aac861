// format_lines -- M formatted lines written to a file, then its size.
#include <cstdio>

#include "common.hpp"

int main(int, char **argv)
{
    long m = bench::arg(argv, 1);
    std::FILE *f = std::fopen(argv[2], "w");
    for (long i = 1; i <= m; ++i)
        std::fprintf(f, "%ld %s %.3f\n", i, "item", static_cast<double>(bench::rnd()) / 7);
    std::fclose(f);
    f = std::fopen(argv[2], "r");
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fclose(f);
    std::printf("format_lines %ld\n", size);
}
