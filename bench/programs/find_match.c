/* find_match -- a 10 MB string searched R times: every 'z' by find, every
 * "zyxwv" by match.
 *
 *     sequence block = "", s
 *     for i = 1 to 625 do block &= 'a' + remainder(rnd(), 16) end for
 *     s = block
 *     while length(s) < 10000000 do s = s & s end while
 *     for k = 1 to 9 do
 *         s[k * 1000003] = 'z'
 *         integer q = k * 1000003 + 500000
 *         s[q..q+4] = "zyxwv"
 *     end for
 *     integer found = 0, matched = 0, p
 *     atom total = 0
 *     for r = 1 to arg(1) do
 *         p = find('z', s)
 *         while p != 0 do found += 1  total += p  p = find_from('z', s, p) end while
 *         p = match("zyxwv", s)
 *         while p != 0 do matched += 1  total += p  p = match_from("zyxwv", s, p) end while
 *     end for
 *     printf(1, "find_match %d %d %d %.0f\n", {length(s), found, matched, total})
 */
#include "vorn_common.h"

static vorn_handle rounds, block, s, q, found, matched, p, total, fmt, pattern;

int main(int argc, char **argv)
{
    init_command_line(argc, argv);
    init_files();
    init_system();
    assign(&fmt, build_string("find_match %d %d %d %.0f\n"));
    assign(&pattern, build_string("zyxwv"));

    assign(&rounds, arg(1));
    assign(&block, build_sequence(0));
    for (int32_t i = 1; i <= 625; i++)
        concat_to(&block, add('a', wrap_remainder(rnd(), 16)));
    assign(&s, block);
    while (BOOL_relation(8, length(s), 10000000))
        assign(&s, concat(s, s));
    for (int32_t k = 1; k <= 9; k++) {
        subscript_assign(&s, 'z', 1, multiply(k, 1000003));
        assign(&q, add(multiply(k, 1000003), 500000));
        slice_assign(&s, add(q, 4), pattern, 1, q);
    }
    assign(&found, 0);
    assign(&matched, 0);
    assign(&total, 0);
    for (int32_t r = 1; r <= (int32_t)rounds; r++) {
        assign(&p, find('z', s));
        while (BOOL_relation(10, p, 0)) {
            add_to(&found, 1);
            add_to(&total, p);
            assign(&p, find_from('z', s, p));
        }
        assign(&p, match(pattern, s));
        while (BOOL_relation(10, p, 0)) {
            add_to(&matched, 1);
            add_to(&total, p);
            assign(&p, match_from(pattern, s, p));
        }
    }
    wrap_printf(1, fmt, build_sequence(4, length(s), found, matched, total));

    proc_cleanup(10, rounds, block, s, q, found, matched, p, total, fmt, pattern);
    close_files();
    return 0;
}
