// doubles -- element-wise v = v * 0.75 + 0.5 over N doubles, R times, then
// the sum.
#include <cstdio>
#include <vector>

#include "common.hpp"

int main(int, char **argv)
{
    long n = bench::arg(argv, 1), rounds = bench::arg(argv, 2);
    std::vector<double> v;
    for (long i = 0; i < n; ++i)
        v.push_back(static_cast<double>(bench::rnd()) / 65537);
    for (long r = 0; r < rounds; ++r)
        for (double &x : v)
            x = x * 0.75 + 0.5;
    double total = 0;
    for (size_t i = 0; i < v.size(); ++i)
        total += v[i];
    std::printf("doubles %.6f\n", total);
}
