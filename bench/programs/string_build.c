/* string_build -- N characters appended one at a time, the string
 * upper-cased, one letter counted.
 *
 *     sequence s = "", u
 *     for i = 1 to arg(1) do s &= 'a' + remainder(rnd(), 26) end for
 *     u = upper(s)
 *     integer count = 0
 *     for i = 1 to length(u) do
 *         if u[i] = 'Q' then count += 1 end if
 *     end for
 *     printf(1, "string_build %d %d\n", {length(u), count})
 */
#include "vorn_common.h"

static vorn_handle n, s, u, count, fmt;

int main(int argc, char **argv)
{
    init_command_line(argc, argv);
    init_files();
    init_system();
    assign(&fmt, build_string("string_build %d %d\n"));

    assign(&n, arg(1));
    assign(&s, build_sequence(0));
    for (int32_t i = 1; i <= (int32_t)n; i++)
        concat_to(&s, add('a', wrap_remainder(rnd(), 26)));
    assign(&u, upper(s));
    assign(&count, 0);
    for (int32_t i = 1, len = length(u); i <= len; i++)
        if (BOOL_relation(9, subscript(u, i), 'Q'))
            add_to(&count, 1);
    wrap_printf(1, fmt, build_sequence(2, length(u), count));

    proc_cleanup(5, n, s, u, count, fmt);
    close_files();
    return 0;
}
