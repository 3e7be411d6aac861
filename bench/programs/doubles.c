/* doubles -- element-wise v = v * 0.75 + 0.5 over N doubles, R times, then
 * the sum.
 *
 *     sequence v = {}
 *     for i = 1 to arg(1) do v &= rnd() / 65537 end for
 *     for r = 1 to arg(2) do v = v * 0.75 + 0.5 end for
 *     atom total = 0
 *     for i = 1 to length(v) do total += v[i] end for
 *     printf(1, "doubles %.6f\n", total)
 */
#include "vorn_common.h"

static vorn_handle n, rounds, v, total, fmt, three_quarters, half;

int main(int argc, char **argv)
{
    init_command_line(argc, argv);
    init_files();
    init_system();
    assign(&fmt, build_string("doubles %.6f\n"));
    assign(&three_quarters, vorn_double_handle(new_double(0.75)));
    assign(&half, vorn_double_handle(new_double(0.5)));

    assign(&n, arg(1));
    assign(&rounds, arg(2));
    assign(&v, build_sequence(0));
    for (int32_t i = 1; i <= (int32_t)n; i++)
        concat_to(&v, divide(rnd(), 65537));
    for (int32_t r = 1; r <= (int32_t)rounds; r++)
        assign(&v, add(multiply(v, three_quarters), half));
    assign(&total, 0);
    for (int32_t i = 1, len = length(v); i <= len; i++)
        add_to(&total, subscript(v, i));
    wrap_printf(1, fmt, total);

    proc_cleanup(7, n, rounds, v, total, fmt, three_quarters, half);
    close_files();
    return 0;
}
