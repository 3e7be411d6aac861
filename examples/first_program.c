/* first_program.c -- a translated program, written by hand as the translator
 * writes it: it builds sequences, shares one between two variables, copies
 * it on write, and ends with a deliberate run-time error under a crash
 * routine.
 *
 * Source, roughly:
 *     sequence greeting = "vorn", numbers = {1, 2.5, greeting}, alias
 *     alias = numbers                 -- shared, not copied
 *     alias[1] = 10                   -- copied on write
 *     crash_routine(goodbye)
 *     ? length(length(numbers))       -- the length of an atom: fatal
 */
#include <stdio.h>
#include <vorn.h>

static vorn_handle greeting, numbers, alias, spaces;

static void show(const char *name, vorn_handle s)
{
    printf("%-8s length %d, refcount %d, stored as %s, text \"%s\"\n", name, length(s), refcount(s),
           vorn_record_of(s)->length < 0 ? "bytes" : "handles", convert_string(s));
}

static void goodbye(void)
{
    printf("crash routine: cleaning up before the end\n");
    proc_cleanup(4, greeting, numbers, alias, spaces);
}

int main(int argc, char **argv)
{
    vorn_start(argc, argv);

    assign(&greeting, build_sequence(4, 'v', 'o', 'r', 'n'));
    assign(&numbers, build_sequence(3, 65, 66, 67));
    assign(&spaces, repeat('.', 5));
    show("greeting", greeting);
    show("numbers", numbers);
    show("spaces", spaces);

    assign(&alias, numbers);
    printf("after alias = numbers: refcount %d, same handle: %s\n", refcount(numbers),
           alias == numbers ? "yes" : "no");

    only_sequence(&alias);          /* alias[1] = 'Z' : copy on write first */
    ((unsigned char *)news->data)[0] = 'Z';
    show("alias", alias);
    show("numbers", numbers);

    assign(&numbers, build_sequence(3, 1, vorn_double_handle(new_double(2.5)), greeting));
    printf("numbers now holds %d elements; greeting refcount %d\n", length(numbers), refcount(greeting));

    wrap_crash_routine(goodbye);
    printf("%d\n", length(length(numbers)));
    return 0;
}
