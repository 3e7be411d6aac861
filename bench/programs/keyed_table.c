/* keyed_table -- K string keys inserted into a MAP, then L lookups of keys
 * drawn from the generator.
 *
 *     sequence m = {{}, {}}, keys = {}, key
 *     integer k = arg(1)
 *     for i = 1 to k do
 *         key = sprintf("key%d", rnd())
 *         m[key] = i
 *         keys &= {key}
 *     end for
 *     atom total = 0
 *     for i = 1 to arg(2) do total += m[keys[remainder(rnd(), k) + 1]] end for
 *     printf(1, "keyed_table %d %.0f\n", {length(m[1]), total})
 */
#include "vorn_common.h"

static vorn_handle k, lookups, m, keys, key, total, fmt, fmt_key;

int main(int argc, char **argv)
{
    init_command_line(argc, argv);
    init_files();
    init_system();
    assign(&fmt, build_string("keyed_table %d %.0f\n"));
    assign(&fmt_key, build_string("key%d"));

    assign(&k, arg(1));
    assign(&lookups, arg(2));
    assign(&m, build_sequence(2, build_sequence(0), build_sequence(0)));
    assign(&keys, build_sequence(0));
    for (int32_t i = 1; i <= (int32_t)k; i++) {
        assign(&key, wrap_sprintf(fmt_key, rnd()));
        subscript_assign(&m, i, 1, key);
        concat_to(&keys, build_sequence(1, key));
    }
    assign(&total, 0);
    for (int32_t i = 1; i <= (int32_t)lookups; i++)
        add_to(&total, subscript(m, subscript(keys, add(wrap_remainder(rnd(), k), 1))));
    wrap_printf(1, fmt, build_sequence(2, length(subscript(m, 1)), total));

    proc_cleanup(8, k, lookups, m, keys, key, total, fmt, fmt_key);
    close_files();
    return 0;
}
