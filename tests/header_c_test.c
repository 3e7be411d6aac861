/* The public header compiled as plain C11, and used the way a translated
 * program uses it: the class tests, the record layout, building and
 * releasing objects. */
#include <vorn.h>

#include <stddef.h>
#include <stdio.h>

static int failures;
#define CHECK(cond)                                                   \
    do {                                                              \
        if (!(cond)) {                                                \
            printf("%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                               \
        }                                                             \
    } while (0)

int main(int argc, char **argv)
{
    init_command_line(argc, argv);
    CHECK(sizeof(vorn_record) == 24);
    CHECK(offsetof(vorn_record, length) == 16 && offsetof(vorn_record, base) == 20);
    CHECK(vorn_is_integer(0x7FFFFFFFu) && !vorn_is_integer(0xBFFFFFFFu));

    vorn_handle d = vorn_double_handle(new_double(-0.25));
    CHECK(vorn_is_double(d) && vorn_double_value(d) == -0.25);
    vorn_handle s = 0;
    assign(&s, build_sequence(3, d, 65, d));
    CHECK(vorn_is_sequence(s) && length(s) == 3 && refcount(d) == 2);
    assign(&s, 0);
    CHECK(length(command_line()) == argc);
    CHECK(refcount(null_sequence) == 1 && length(null_sequence) == 0);
    return failures != 0;
}
