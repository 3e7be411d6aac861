// keyed_table -- K string keys inserted into a keyed table, then L lookups of
// keys drawn from the generator.
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "common.hpp"

int main(int, char **argv)
{
    long k = bench::arg(argv, 1), lookups = bench::arg(argv, 2);
    std::unordered_map<std::string, long> table;
    std::vector<std::string> keys;
    for (long i = 1; i <= k; ++i) {
        std::string key = "key" + std::to_string(bench::rnd());
        table[key] = i;
        keys.push_back(key);
    }
    long total = 0;
    for (long i = 0; i < lookups; ++i)
        total += table[keys[bench::rnd() % k]];
    std::printf("keyed_table %ld %ld\n", static_cast<long>(table.size()), total);
}
