// merge_sort -- N integers sorted by a merge sort that slices and joins
// sequences, then a checksum of the sorted order.
#include <cstdio>
#include <vector>

#include "common.hpp"

using seq = std::vector<long>;

seq msort(const seq &s)
{
    size_t n = s.size();
    if (n <= 1)
        return s;
    size_t mid = n / 2;
    seq a = msort(seq(s.begin(), s.begin() + mid));
    seq b = msort(seq(s.begin() + mid, s.end()));
    seq r;
    r.reserve(n);
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size())
        r.push_back(a[i] <= b[j] ? a[i++] : b[j++]);
    r.insert(r.end(), a.begin() + i, a.end());
    r.insert(r.end(), b.begin() + j, b.end());
    return r;
}

int main(int, char **argv)
{
    long n = bench::arg(argv, 1);
    seq s;
    for (long i = 0; i < n; ++i)
        s.push_back(bench::rnd());
    seq sorted = msort(s);
    long total = 0;
    for (size_t i = 0; i < sorted.size(); ++i)
        total += sorted[i] * static_cast<long>(i + 1);
    std::printf("merge_sort %ld %ld\n", static_cast<long>(sorted.size()), total);
}
