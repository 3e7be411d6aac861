/* merge_sort -- N integers sorted by a merge sort that slices and joins
 * sequences, then a checksum of the sorted order.
 *
 *     function msort(sequence s)
 *         integer n = length(s), mid, i = 1, j = 1
 *         sequence a, b, r = {}
 *         if n <= 1 then return s end if
 *         mid = floor(n / 2)
 *         a = msort(s[1..mid])
 *         b = msort(s[mid+1..n])
 *         while i <= length(a) and j <= length(b) do
 *             if a[i] <= b[j] then r &= a[i]  i += 1
 *             else r &= b[j]  j += 1 end if
 *         end while
 *         return r & a[i..length(a)] & b[j..length(b)]
 *     end function
 *
 *     sequence s = {}
 *     for i = 1 to arg(1) do s &= rnd() end for
 *     s = msort(s)
 *     atom total = 0
 *     for i = 1 to length(s) do total += s[i] * i end for
 *     printf(1, "merge_sort %d %.0f\n", {length(s), total})
 *
 * A routine holds a reference on each parameter while it runs and hands it
 * back with its private variables.
 */
#include "vorn_common.h"

static vorn_handle n, s, total, fmt;

static vorn_handle msort(vorn_handle s)
{
    vorn_handle n = 0, mid = 0, i = 0, j = 0, a = 0, b = 0, r = 0;
    reference(s);
    assign(&n, length(s));
    assign(&i, 1);
    assign(&j, 1);
    assign(&r, build_sequence(0));
    if (BOOL_relation(12, n, 1))
        return func_cleanup(s, 8, s, n, mid, i, j, a, b, r);
    assign(&mid, wrap_floor(divide(n, 2)));
    assign(&a, msort(slice(s, 1, mid)));
    assign(&b, msort(slice(s, add(mid, 1), n)));
    while (BOOL_relation(12, i, length(a)) && BOOL_relation(12, j, length(b))) {
        if (BOOL_relation(12, subscript(a, i), subscript(b, j))) {
            concat_to(&r, subscript(a, i));
            add_to(&i, 1);
        } else {
            concat_to(&r, subscript(b, j));
            add_to(&j, 1);
        }
    }
    return func_cleanup(concat(concat(r, slice(a, i, length(a))), slice(b, j, length(b))), 8, s, n, mid, i, j, a, b,
                        r);
}

int main(int argc, char **argv)
{
    init_command_line(argc, argv);
    init_files();
    init_system();
    assign(&fmt, build_string("merge_sort %d %.0f\n"));

    assign(&n, arg(1));
    assign(&s, build_sequence(0));
    for (int32_t i = 1; i <= (int32_t)n; i++)
        concat_to(&s, rnd());
    assign(&s, msort(s));
    assign(&total, 0);
    for (int32_t i = 1, len = length(s); i <= len; i++)
        add_to(&total, multiply(subscript(s, i), i));
    wrap_printf(1, fmt, build_sequence(2, length(s), total));

    proc_cleanup(4, n, s, total, fmt);
    close_files();
    return 0;
}
