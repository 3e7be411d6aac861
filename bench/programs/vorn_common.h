/* vorn_common.h -- what the translated (vorn) versions of the benchmark
 * workloads share: the deterministic input generator, written in the source
 * language like every other version's, and reading a number from the
 * command line.  Included by each program, as the translator includes a
 * shared source file.
 *
 * Source:
 *     integer seed = 1
 *     function rnd()              -- (75 x + 74) mod 65537: 0..65536
 *         seed = remainder(seed * 75 + 74, 65537)
 *         return seed
 *     end function
 *     function arg(integer i)     -- the number in command-line argument i
 *         sequence parsed = value(command_line()[i + 1])
 *         return parsed[2]
 *     end function
 */
#ifndef BENCH_VORN_COMMON_H
#define BENCH_VORN_COMMON_H

#include <vorn.h>

static vorn_handle seed = 1;

static vorn_handle rnd(void)
{
    assign(&seed, wrap_remainder(add(multiply(seed, 75), 74), 65537));
    return seed;
}

static vorn_handle arg(int32_t i)
{
    vorn_handle parsed = 0;
    assign(&parsed, wrap_value(subscript(command_line(), add(i, 1))));
    return func_cleanup(subscript(parsed, 2), 1, parsed);
}

#endif
