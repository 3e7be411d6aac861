/* A program that defines routines named like two of the library's own
 * (`destroy`, `length`): its definitions serve its own calls, the library
 * keeps calling its own inside, and the data words stay shared. */
#include <vorn.h>

#include <stdio.h>

static int own_calls;
void destroy(vorn_handle h) { (void)h, ++own_calls; }
int32_t length(vorn_handle h) { return (void)h, ++own_calls, -1; }

int main(int argc, char **argv)
{
    init_command_line(argc, argv);
    vorn_handle s = 0;
    assign(&s, build_string("abc"));
    int shared = vorn_record_of(s)->count == 1 && refcount(s) == 1 && refcount(null_sequence) == 1;
    vorn_handle first = s;
    assign(&s, 0); /* the library's release destroys the string: its record is free again */
    assign(&s, build_string("xyz"));
    int kept = s == first;
    assign(&s, 0);
    int own = length(first) == -1 && own_calls == 1;
    printf("library kept its routines: %s, data shared: %s, program kept its own: %s\n", kept ? "yes" : "no",
           shared ? "yes" : "no", own ? "yes" : "no");
    return !(kept && shared && own);
}
