/* append_sum -- N integers appended one at a time, then summed by subscript.
 *
 *     sequence s = {}
 *     for i = 1 to arg(1) do s &= rnd() end for
 *     atom total = 0
 *     for i = 1 to length(s) do total += s[i] end for
 *     printf(1, "append_sum %d %.0f\n", {length(s), total})
 */
#include "vorn_common.h"

static vorn_handle n, s, total, fmt;

int main(int argc, char **argv)
{
    init_command_line(argc, argv);
    init_files();
    init_system();
    assign(&fmt, build_string("append_sum %d %.0f\n"));

    assign(&n, arg(1));
    assign(&s, build_sequence(0));
    for (int32_t i = 1; i <= (int32_t)n; i++)
        concat_to(&s, rnd());
    assign(&total, 0);
    for (int32_t i = 1, len = length(s); i <= len; i++)
        add_to(&total, subscript(s, i));
    wrap_printf(1, fmt, build_sequence(2, length(s), total));

    proc_cleanup(4, n, s, total, fmt);
    close_files();
    return 0;
}
