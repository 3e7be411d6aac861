/* foreign_lib.c -- a shared library for the foreign-routine tests: routines
 * of 0 to 15 64-bit arguments answering a checksum of their arguments in
 * order (so order, sign and width show), and a few 32-bit and wide results. */
#include <stdint.h>

/* Each argument in turn: s = s * 31 + a in wrapping 64-bit arithmetic, then
 * s modulo 1000000007, which fits a 32-bit result. */
static int64_t mix(int n, const int64_t *a)
{
    uint64_t s = 7;
    for (int k = 0; k < n; ++k)
        s = s * 31 + (uint64_t)a[k];
    return (int64_t)(s % 1000000007u);
}

#define A int64_t
int64_t sum0(void) { return mix(0, 0); }
int64_t sum1(A a) { return mix(1, (A[]){a}); }
int64_t sum2(A a, A b) { return mix(2, (A[]){a, b}); }
int64_t sum3(A a, A b, A c) { return mix(3, (A[]){a, b, c}); }
int64_t sum4(A a, A b, A c, A d) { return mix(4, (A[]){a, b, c, d}); }
int64_t sum5(A a, A b, A c, A d, A e) { return mix(5, (A[]){a, b, c, d, e}); }
int64_t sum6(A a, A b, A c, A d, A e, A f) { return mix(6, (A[]){a, b, c, d, e, f}); }
int64_t sum7(A a, A b, A c, A d, A e, A f, A g) { return mix(7, (A[]){a, b, c, d, e, f, g}); }
int64_t sum8(A a, A b, A c, A d, A e, A f, A g, A h) { return mix(8, (A[]){a, b, c, d, e, f, g, h}); }
int64_t sum9(A a, A b, A c, A d, A e, A f, A g, A h, A i) { return mix(9, (A[]){a, b, c, d, e, f, g, h, i}); }
int64_t sum10(A a, A b, A c, A d, A e, A f, A g, A h, A i, A j)
{
    return mix(10, (A[]){a, b, c, d, e, f, g, h, i, j});
}
int64_t sum11(A a, A b, A c, A d, A e, A f, A g, A h, A i, A j, A k)
{
    return mix(11, (A[]){a, b, c, d, e, f, g, h, i, j, k});
}
int64_t sum12(A a, A b, A c, A d, A e, A f, A g, A h, A i, A j, A k, A l)
{
    return mix(12, (A[]){a, b, c, d, e, f, g, h, i, j, k, l});
}
int64_t sum13(A a, A b, A c, A d, A e, A f, A g, A h, A i, A j, A k, A l, A m)
{
    return mix(13, (A[]){a, b, c, d, e, f, g, h, i, j, k, l, m});
}
int64_t sum14(A a, A b, A c, A d, A e, A f, A g, A h, A i, A j, A k, A l, A m, A n)
{
    return mix(14, (A[]){a, b, c, d, e, f, g, h, i, j, k, l, m, n});
}
int64_t sum15(A a, A b, A c, A d, A e, A f, A g, A h, A i, A j, A k, A l, A m, A n, A o)
{
    return mix(15, (A[]){a, b, c, d, e, f, g, h, i, j, k, l, m, n, o});
}

/* 32-bit arguments and results, as most C routines have them. */
int32_t add32(int32_t a, int32_t b) { return a + b; }
uint32_t high_bit32(void) { return 0x80000000u; }

/* A routine called for its effect, and one that tells it. */
static int64_t last_kept;
void keep(int64_t a) { last_kept = a; }
int64_t kept(void) { return last_kept; }

/* Wide results: a pointer-like value above 4 GiB, and -1 in all 64 bits. */
int64_t wide(void) { return INT64_C(0x7f1234567890); }
int64_t minus_one(void) { return -1; }
