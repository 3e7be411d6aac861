/* read_lines -- a large text file read line by line: lines and bytes
 * counted.
 *
 *     integer fn = open(command_line()[2], "r"), lines = 0
 *     atom bytes = 0
 *     object line
 *     while 1 do
 *         line = gets(fn)
 *         if atom(line) then exit end if
 *         lines += 1
 *         bytes += length(line)
 *     end while
 *     printf(1, "read_lines %d %.0f\n", {lines, bytes})
 */
#include <vorn.h>

static vorn_handle fn, line, lines, bytes, fmt, str_r;

int main(int argc, char **argv)
{
    init_command_line(argc, argv);
    init_files();
    init_system();
    assign(&fmt, build_string("read_lines %d %.0f\n"));
    assign(&str_r, build_string("r"));

    assign(&fn, wrap_open(subscript(command_line(), 2), str_r));
    assign(&lines, 0);
    assign(&bytes, 0);
    for (;;) {
        assign(&line, wrap_gets(fn));
        if (wrap_atom(line))
            break;
        add_to(&lines, 1);
        add_to(&bytes, length(line));
    }
    wrap_close(fn);
    wrap_printf(1, fmt, build_sequence(2, lines, bytes));

    proc_cleanup(6, fn, line, lines, bytes, fmt, str_r);
    close_files();
    return 0;
}
