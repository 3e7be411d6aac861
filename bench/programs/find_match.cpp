// find_match -- a 10 MB string searched R times: every 'z' by find, every
// "zyxwv" by match.
#include <cstdio>
#include <cstring>
#include <string>

#include "common.hpp"

int main(int, char **argv)
{
    long rounds = bench::arg(argv, 1);
    std::string block;
    for (int i = 0; i < 625; ++i)
        block += static_cast<char>('a' + bench::rnd() % 16);
    std::string s = block;
    while (s.size() < 10000000)
        s = s + s;
    for (long k = 1; k <= 9; ++k) {
        s[k * 1000003 - 1] = 'z';
        s.replace(k * 1000003 + 500000 - 1, 5, "zyxwv");
    }
    long found = 0, matched = 0, sum = 0;
    for (long r = 0; r < rounds; ++r) {
        for (size_t p = s.find('z'); p != std::string::npos; p = s.find('z', p + 1)) {
            ++found;
            sum += static_cast<long>(p) + 1;
        }
        for (size_t p = s.find("zyxwv"); p != std::string::npos; p = s.find("zyxwv", p + 1)) {
            ++matched;
            sum += static_cast<long>(p) + 1;
        }
    }
    std::printf("find_match %ld %ld %ld %ld\n", static_cast<long>(s.size()), found, matched, sum);
}
