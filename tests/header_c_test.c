/* The public header compiled as plain C11, and used the way a translated
 * program uses it: the class tests, the record layout, building and
 * releasing objects.  The program also defines routines named like two of
 * the library's own (`destroy`, `length`): its definitions serve its own
 * calls, the library keeps calling its own inside, the data words stay shared. */
#include <vorn.h>

#include <stddef.h>
#include <stdio.h>

static int failures, own_calls;
#define CHECK(cond)                                                                                          \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            printf("%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);                                  \
            ++failures;                                                                                      \
        }                                                                                                    \
    } while (0)

void destroy(vorn_handle h) { (void)h, ++own_calls; }
int32_t length(vorn_handle h) { return (void)h, ++own_calls, -1; }

int main(int argc, char **argv)
{
    init_command_line(argc, argv);
    CHECK(sizeof(vorn_record) == 24);
    CHECK(offsetof(vorn_record, length) == 16 && offsetof(vorn_record, base) == 20);
    CHECK(vorn_is_integer(0x7FFFFFFFu) && !vorn_is_integer(0xBFFFFFFFu));

    vorn_handle d = vorn_double_handle(new_double(-0.25));
    CHECK(vorn_is_double(d) && vorn_double_value(d) == -0.25);
    vorn_handle s = 0, first;
    assign(&s, build_sequence(3, d, 65, d));
    CHECK(vorn_is_sequence(s) && vorn_record_of(s)->length == 3 && refcount(d) == 2);
    first = s;
    assign(&s, 0); /* the library's release destroys it: the record is free again */
    assign(&s, build_string("xyz"));
    CHECK(s == first && vorn_record_of(s)->count == 1 && refcount(s) == 1);
    assign(&s, 0);
    CHECK(vorn_record_of(command_line())->length == argc);
    CHECK(refcount(null_sequence) == 1 && vorn_record_of(null_sequence)->length == 0);
    CHECK(length(first) == -1 && own_calls == 1);
    return failures != 0;
}
