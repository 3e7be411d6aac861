/* crash_report.c -- a translated program, written by hand as the translator
 * writes it, that ends in a run-time error on purpose: a loop runs one step
 * past the end of its table.  Before it starts it names a crash file and
 * registers two crash routines, so the failure shows the whole report: the
 * message on standard output, the crash routines (the later one first), the
 * pointer to the crash file, and the copy of the message in that file.
 * Exit status 1.
 *
 *     crash_report [crash-file]     (default /tmp/vorn-crash-report.err)
 *
 * Source, roughly:
 *     sequence rows = {{3, 4, 5}, {1, 1}, {10, 20, 30, 40}, {7}, {2, 2, 2}}
 *     sequence sums = repeat(0, length(rows))
 *
 *     function sum(sequence s)
 *         atom total = 0
 *         for i = 1 to length(s) do total += s[i] end for
 *         return total
 *     end function
 *
 *     procedure say_goodbye()          -- registered first, runs last
 *         puts(1, "crash routine: goodbye\n")
 *     end procedure
 *
 *     procedure show_partial()         -- registered last, runs first
 *         puts(1, "crash routine: sums so far ")
 *         print(1, sums)
 *         puts(1, "\n")
 *     end procedure
 *
 *     crash_file(name)
 *     crash_routine(routine_id("say_goodbye"))
 *     crash_routine(routine_id("show_partial"))
 *     for i = 1 to length(rows) + 1 do          -- one step too far
 *         sums[i] = sum(rows[i])
 *         printf(1, "row %d sums to %d\n", {i, sums[i]})
 *     end for
 *
 * A routine holds a reference on each sequence parameter while it runs and
 * hands it back with its private variables.  The program never gets past the
 * loop, so its variables are handed back by the last crash routine; run with
 * VORN_DEBUG=leaks, the library then reports no record left live at exit.
 */
#include <vorn.h>

/* top-level variables */
static vorn_handle rows, sums, crash_name;

/* literals */
static vorn_handle str_default_file, str_goodbye, str_sums_so_far, str_newline, fmt_row;

static vorn_handle sum(vorn_handle s)
{
    vorn_handle total = 0;
    reference(s);
    assign(&total, 0);
    for (int32_t i = 1, n = length(s); i <= n; i++)
        add_to(&total, subscript(s, i));
    return func_cleanup(total, 2, s, total);
}

static void say_goodbye(void)
{
    wrap_puts(1, str_goodbye);
    proc_cleanup(3, rows, sums, crash_name);
    proc_cleanup(5, str_default_file, str_goodbye, str_sums_so_far, str_newline, fmt_row);
}

static void show_partial(void)
{
    wrap_puts(1, str_sums_so_far);
    wrap_print(1, sums);
    wrap_puts(1, str_newline);
}

int main(int argc, char **argv)
{
    vorn_start(argc, argv);

    assign(&str_default_file, build_string("/tmp/vorn-crash-report.err"));
    assign(&str_goodbye, build_string("crash routine: goodbye\n"));
    assign(&str_sums_so_far, build_string("crash routine: sums so far "));
    assign(&str_newline, build_string("\n"));
    assign(&fmt_row, build_string("row %d sums to %d\n"));

    assign(&rows, build_sequence(5, build_sequence(3, 3, 4, 5), build_sequence(2, 1, 1),
                                 build_sequence(4, 10, 20, 30, 40), build_sequence(1, 7), build_sequence(3, 2, 2, 2)));
    assign(&sums, repeat(0, length(rows)));

    if (BOOL_relation(11, length(command_line()), 2))
        assign(&crash_name, subscript(command_line(), 2));
    else
        assign(&crash_name, str_default_file);
    wrap_crash_file(crash_name);
    wrap_crash_routine(say_goodbye);
    wrap_crash_routine(show_partial);

    for (int32_t i = 1, n = add(length(rows), 1); i <= n; i++) {
        subscript_assign(&sums, sum(subscript(rows, i)), 1, i);
        wrap_printf(1, fmt_row, build_sequence(2, i, subscript(sums, i)));
    }

    /* not reached */
    proc_cleanup(3, rows, sums, crash_name);
    proc_cleanup(5, str_default_file, str_goodbye, str_sums_so_far, str_newline, fmt_row);
    vorn_stop();
    return 0;
}
