/* wordfreq.c -- a translated program, written by hand as the translator
 * writes it: it reads a text file line by line, splits the lines into words,
 * counts the words in a MAP keyed by the word, and prints the 20 most
 * frequent.  With no argument it counts the text bundled with the project,
 * examples/data/text.txt: the build puts a copy in data/ beside the program,
 * wherever the build folder is; the program looks there first and then
 * under the current folder.
 *
 * Source, roughly:
 *     sequence counts = {{}, {}}      -- MAP: word -> count
 *     integer total = 0
 *
 *     function program_folder()      -- the folder of the program's own path
 *         sequence path = command_line()[1]
 *         for i = length(path) to 1 by -1 do
 *             if path[i] = '/' then return path[1..i-1] end if
 *         end for
 *         return "."
 *     end function
 *
 *     procedure count_words(integer fn)
 *         object line, c   sequence word   integer start
 *         while 1 do
 *             line = gets(fn)
 *             if atom(line) then exit end if
 *             line = lower(line)
 *             start = 0
 *             for i = 1 to length(line) do       -- a line ends in '\n'
 *                 c = line[i]
 *                 if c >= 'a' and c <= 'z' then
 *                     if start = 0 then start = i end if
 *                 elsif start != 0 then
 *                     word = line[start..i-1]
 *                     counts[word] += 1
 *                     total += 1
 *                     start = 0
 *                 end if
 *             end for
 *         end while
 *     end procedure
 *
 *     procedure print_top(integer how_many)
 *         sequence keys = counts[1], values = counts[2]
 *         integer best, best_count
 *         for rank = 1 to how_many do
 *             best = 0  best_count = 0
 *             for j = 1 to length(values) do
 *                 if values[j] > best_count then best = j  best_count = values[j] end if
 *             end for
 *             if best = 0 then exit end if
 *             printf(1, "%2d. %-8s %6d\n", {rank, keys[best], best_count})
 *             values[best] = 0
 *         end for
 *     end procedure
 *
 *     sequence name   integer fn
 *     if length(command_line()) >= 2 then
 *         name = command_line()[2]
 *     else
 *         name = program_folder() & "/data/text.txt"
 *         if open(name, "r") ... falls back to "examples/data/text.txt"
 *     end if
 *     fn = open(name, "r")
 *     if fn = -1 then printf(1, "wordfreq: cannot open %s\n", {name}) abort(1) end if
 *     count_words(fn)
 *     close(fn)
 *     printf(1, "%d words, %d different\n", {total, length(counts[1])})
 *     print_top(20)
 *
 * String literals are made once at start-up and held for the whole run, as
 * the translator does; the top-level variables are handed back at the end.
 */
#include <vorn.h>

/* top-level variables */
static vorn_handle counts, total, name, fn;

/* literals */
static vorn_handle str_bundled, str_local, str_read, str_dot, fmt_cannot_open, fmt_rank, fmt_totals;

static vorn_handle program_folder(void)
{
    vorn_handle path = 0;
    assign(&path, subscript(command_line(), 1));
    for (int32_t i = length(path); i >= 1; i--) {
        if (BOOL_relation(9, subscript(path, i), '/'))
            return func_cleanup(slice(path, 1, subtract(i, 1)), 1, path);
    }
    return func_cleanup(str_dot, 1, path);
}

static void count_words(vorn_handle file)
{
    vorn_handle line = 0, c = 0, word = 0, start = 0;
    for (;;) {
        assign(&line, wrap_gets(file));
        if (wrap_atom(line))
            break;
        assign(&line, lower(line));
        assign(&start, 0);
        for (int32_t i = 1, n = length(line); i <= n; i++) {
            assign(&c, subscript(line, i));
            if (BOOL_relation(11, c, 'a') && BOOL_relation(12, c, 'z')) {
                if (BOOL_relation(9, start, 0))
                    assign(&start, i);
            } else if (BOOL_relation(10, start, 0)) {
                assign(&word, slice(line, start, subtract(i, 1)));
                subscript_arithmetic_assign(0, &counts, 1, 1, word);
                add_to(&total, 1);
                assign(&start, 0);
            }
        }
    }
    proc_cleanup(4, line, c, word, start);
}

static void print_top(vorn_handle how_many)
{
    vorn_handle keys = 0, values = 0, best = 0, best_count = 0;
    assign(&keys, subscript(counts, 1));
    assign(&values, subscript(counts, 2));
    for (int32_t rank = 1; rank <= (int32_t)how_many; rank++) {
        assign(&best, 0);
        assign(&best_count, 0);
        for (int32_t j = 1, n = length(values); j <= n; j++) {
            if (BOOL_relation(7, subscript(values, j), best_count)) {
                assign(&best, j);
                assign(&best_count, subscript(values, j));
            }
        }
        if (BOOL_relation(9, best, 0))
            break;
        wrap_printf(1, fmt_rank, build_sequence(3, rank, subscript(keys, best), best_count));
        subscript_assign(&values, 0, 1, best);
    }
    proc_cleanup(4, keys, values, best, best_count);
}

int main(int argc, char **argv)
{
    vorn_start(argc, argv);

    assign(&str_bundled, build_string("/data/text.txt"));
    assign(&str_local, build_string("examples/data/text.txt"));
    assign(&str_read, build_string("r"));
    assign(&str_dot, build_string("."));
    assign(&fmt_cannot_open, build_string("wordfreq: cannot open %s\n"));
    assign(&fmt_rank, build_string("%2d. %-8s %6d\n"));
    assign(&fmt_totals, build_string("%d words, %d different\n"));

    assign(&counts, build_sequence(2, build_sequence(0), build_sequence(0)));
    assign(&total, 0);

    if (BOOL_relation(11, length(command_line()), 2)) {
        assign(&name, subscript(command_line(), 2));
        assign(&fn, wrap_open(name, str_read));
    } else {
        assign(&name, concat(program_folder(), str_bundled));
        assign(&fn, wrap_open(name, str_read));
        if (BOOL_relation(9, fn, -1)) {
            assign(&name, str_local);
            assign(&fn, wrap_open(name, str_read));
        }
    }
    if (BOOL_relation(9, fn, -1)) {
        wrap_printf(1, fmt_cannot_open, build_sequence(1, name));
        wrap_abort(1);
    }

    count_words(fn);
    wrap_close(fn);
    wrap_printf(1, fmt_totals, build_sequence(2, total, length(subscript(counts, 1))));
    print_top(20);

    proc_cleanup(4, counts, total, name, fn);
    proc_cleanup(7, str_bundled, str_local, str_read, str_dot, fmt_cannot_open, fmt_rank, fmt_totals);
    vorn_stop();
    return 0;
}
