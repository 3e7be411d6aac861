/* format_lines -- M formatted lines written to a file, then its size.
 *
 *     integer fn = open(command_line()[3], "w")
 *     for i = 1 to arg(1) do
 *         printf(fn, "%d %s %.3f\n", {i, "item", rnd() / 7})
 *     end for
 *     close(fn)
 *     fn = open(command_line()[3], "r")
 *     seek(fn, -1)
 *     printf(1, "format_lines %d\n", where(fn))
 *     close(fn)
 */
#include "vorn_common.h"

static vorn_handle m, path, fn, fmt, fmt_line, str_item, str_w, str_r;

int main(int argc, char **argv)
{
    init_command_line(argc, argv);
    init_files();
    init_system();
    assign(&fmt, build_string("format_lines %d\n"));
    assign(&fmt_line, build_string("%d %s %.3f\n"));
    assign(&str_item, build_string("item"));
    assign(&str_w, build_string("w"));
    assign(&str_r, build_string("r"));

    assign(&m, arg(1));
    assign(&path, subscript(command_line(), 3));
    assign(&fn, wrap_open(path, str_w));
    for (int32_t i = 1; i <= (int32_t)m; i++)
        wrap_printf(fn, fmt_line, build_sequence(3, i, str_item, divide(rnd(), 7)));
    wrap_close(fn);
    assign(&fn, wrap_open(path, str_r));
    wrap_seek(fn, -1);
    wrap_printf(1, fmt, wrap_where(fn));
    wrap_close(fn);

    proc_cleanup(8, m, path, fn, fmt, fmt_line, str_item, str_w, str_r);
    close_files();
    return 0;
}
