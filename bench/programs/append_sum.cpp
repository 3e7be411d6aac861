// append_sum -- N integers appended one at a time, then summed by subscript.
#include <cstdio>
#include <vector>

#include "common.hpp"

int main(int, char **argv)
{
    long n = bench::arg(argv, 1);
    std::vector<long> s;
    for (long i = 0; i < n; ++i)
        s.push_back(bench::rnd());
    long total = 0;
    for (size_t i = 0; i < s.size(); ++i)
        total += s[i];
    std::printf("append_sum %ld %ld\n", static_cast<long>(s.size()), total);
}
