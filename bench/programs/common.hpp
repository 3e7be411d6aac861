// common.hpp -- what the plain C++ versions of the benchmark workloads share:
// the deterministic input generator (the same one every language writes
// out) and reading the sizes from the command line.
#pragma once

#include <cstdlib>

namespace bench {

// x <- (75 x + 74) mod 65537, from 1: the numbers 0..65536, period 65536.
inline long seed = 1;
inline long rnd()
{
    seed = (seed * 75 + 74) % 65537;
    return seed;
}

inline long arg(char **argv, int i) { return std::atol(argv[i]); }

}  // namespace bench
