// string_build -- N characters appended one at a time, the string upper-cased,
// one letter counted.
#include <cctype>
#include <cstdio>
#include <string>

#include "common.hpp"

int main(int, char **argv)
{
    long n = bench::arg(argv, 1);
    std::string s;
    for (long i = 0; i < n; ++i)
        s += static_cast<char>('a' + bench::rnd() % 26);
    std::string u = s;
    for (char &c : u)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    long count = 0;
    for (size_t i = 0; i < u.size(); ++i)
        if (u[i] == 'Q')
            ++count;
    std::printf("string_build %ld %ld\n", static_cast<long>(u.size()), count);
}
