/* foreign_calls.c -- a translated program, written by hand as the translator
 * writes it, that uses routines of another library and calls back one of its
 * own: it loads the C library, looks up strlen, abs and getpid, calls them,
 * shows what a failed load and a failed look-up give, and calls its own
 * routine scaled_sum through call_func with a temporary argument list, whose
 * references pass to the routine.  Exit status 0.
 *
 * Source, roughly:
 *     atom libc = open_dll("libc.so.6")
 *     atom strlen_ = define_c_func(libc, "strlen"), abs_ = define_c_func(libc, "abs"),
 *          getpid_ = define_c_func(libc, "getpid")
 *     sequence greeting = "hello, foreign world"
 *     atom text = allocate_string(greeting)
 *     sequence strlen_args = {text}
 *     printf(1, "strlen(\"%s\") = %d\n", {greeting, c_func(strlen_, strlen_args)})
 *     free(text)
 *     printf(1, "abs(-42) = %d\n", {c_func(abs_, {-42})})
 *     printf(1, "getpid() > 0: %d\n", {c_func(getpid_, {}) > 0})
 *     printf(1, "missing library: %d, missing routine: %d\n",
 *            {open_dll("libnothing.so"), define_c_func(libc, "no_such_routine")})
 *
 *     function scaled_sum(sequence s, atom factor)
 *         atom total = 0
 *         for i = 1 to length(s) do total += s[i] * factor end for
 *         return total
 *     end function
 *
 *     sequence numbers = {1, 2, 3}
 *     printf(1, "scaled_sum({1,2,3}, 2.5) through call_func = %g\n",
 *            {call_func(routine_id("scaled_sum"), {numbers, 2.5})})
 *
 * allocate_string gives the address of a zero-terminated copy of the text in
 * raw memory (an integer: raw memory lies below 2 GiB), freed with free().
 * Routine ids and library handles are machine words: a double when wider
 * than an integer.
 */
#include <stdint.h>
#include <vorn.h>

/* top-level variables */
static vorn_handle libc, strlen_, abs_, getpid_, greeting, text, numbers, strlen_args;

/* literals */
static vorn_handle str_libc, str_strlen, str_abs, str_getpid, str_greeting, str_nothing, str_no_such,
    fmt_strlen, fmt_abs, fmt_getpid, fmt_missing, fmt_scaled;

/* A machine word as an object: an integer when the integer class holds it,
 * else a double of the same value. */
static vorn_handle word(intptr_t w)
{
    if (w >= VORN_MIN_INTEGER && w <= VORN_MAX_INTEGER)
        return (vorn_handle)w;
    return vorn_double_handle(new_double((double)w));
}

/* A routine of this program: it gives up its arguments as it returns. */
static vorn_handle scaled_sum(vorn_handle s, vorn_handle factor)
{
    vorn_handle total = 0;
    for (int32_t i = 1, n = length(s); i <= n; i++)
        add_to(&total, multiply(subscript(s, i), factor));
    return func_cleanup(total, 3, s, factor, total);
}

static void make_literals(void)
{
    assign(&str_libc, build_string("libc.so.6"));
    assign(&str_strlen, build_string("strlen"));
    assign(&str_abs, build_string("abs"));
    assign(&str_getpid, build_string("getpid"));
    assign(&str_greeting, build_string("hello, foreign world"));
    assign(&str_nothing, build_string("libnothing.so"));
    assign(&str_no_such, build_string("no_such_routine"));
    assign(&fmt_strlen, build_string("strlen(\"%s\") = %d\n"));
    assign(&fmt_abs, build_string("abs(-42) = %d\n"));
    assign(&fmt_getpid, build_string("getpid() > 0: %d\n"));
    assign(&fmt_missing, build_string("missing library: %d, missing routine: %d\n"));
    assign(&fmt_scaled, build_string("scaled_sum({1,2,3}, 2.5) through call_func = %g\n"));
}

int main(int argc, char **argv)
{
    vorn_handle scaled;
    vorn_start(argc, argv);
    make_literals();

    assign(&libc, open_dll(str_libc));
    assign(&strlen_, define_c_func(libc, str_strlen));
    assign(&abs_, define_c_func(libc, str_abs));
    assign(&getpid_, define_c_func(libc, str_getpid));
    assign(&greeting, str_greeting);

    assign(&text, allocate_string(greeting));
    assign(&strlen_args, build_sequence(1, text));
    wrap_printf(1, fmt_strlen, build_sequence(2, greeting, c_func(strlen_, strlen_args)));
    wrap_printf(1, fmt_abs, build_sequence(1, c_func(abs_, build_sequence(1, -42))));
    wrap_printf(1, fmt_getpid, build_sequence(1, greater_than(c_func(getpid_, build_sequence(0)), 0)));
    wrap_printf(1, fmt_missing, build_sequence(2, open_dll(str_nothing), define_c_func(libc, str_no_such)));

    assign(&numbers, build_sequence(3, 1, 2, 3));
    scaled = word((intptr_t)scaled_sum);
    wrap_printf(1, fmt_scaled,
                build_sequence(
                    1, call_func(scaled, build_sequence(2, numbers, vorn_double_handle(new_double(2.5))))));
    if (vorn_is_object(scaled))
        destroy(scaled);

    wrap_free(text);
    proc_cleanup(8, libc, strlen_, abs_, getpid_, greeting, text, numbers, strlen_args);
    proc_cleanup(12, str_libc, str_strlen, str_abs, str_getpid, str_greeting, str_nothing, str_no_such,
                 fmt_strlen, fmt_abs, fmt_getpid, fmt_missing, fmt_scaled);
    vorn_stop();
    return 0;
}
