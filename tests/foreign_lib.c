/* foreign_lib.c -- a shared library for the foreign-routine tests: checksums of 0 to 15 64-bit arguments
 * in order (so order, sign and width show), 32-bit and wide results. */
#include <stdint.h>

// clang-format off
static int64_t mix(int n, const int64_t *a) { uint64_t s = 7; for (int k = 0; k < n; ++k) s = s * 31 + (uint64_t)a[k]; return (int64_t)(s % 1000000007u); }
#define A int64_t
#define SUM(n, ...) return mix(n, (A[]){__VA_ARGS__})
int64_t sum0(void) { return mix(0, 0); }
int64_t sum1(A a) { SUM(1, a); }
int64_t sum2(A a, A b) { SUM(2, a, b); }
int64_t sum3(A a, A b, A c) { SUM(3, a, b, c); }
int64_t sum4(A a, A b, A c, A d) { SUM(4, a, b, c, d); }
int64_t sum5(A a, A b, A c, A d, A e) { SUM(5, a, b, c, d, e); }
int64_t sum6(A a, A b, A c, A d, A e, A f) { SUM(6, a, b, c, d, e, f); }
int64_t sum7(A a, A b, A c, A d, A e, A f, A g) { SUM(7, a, b, c, d, e, f, g); }
int64_t sum8(A a, A b, A c, A d, A e, A f, A g, A h) { SUM(8, a, b, c, d, e, f, g, h); }
int64_t sum9(A a, A b, A c, A d, A e, A f, A g, A h, A i) { SUM(9, a, b, c, d, e, f, g, h, i); }
int64_t sum10(A a, A b, A c, A d, A e, A f, A g, A h, A i, A j) { SUM(10, a, b, c, d, e, f, g, h, i, j); }
int64_t sum11(A a, A b, A c, A d, A e, A f, A g, A h, A i, A j, A k) { SUM(11, a, b, c, d, e, f, g, h, i, j, k); }
int64_t sum12(A a, A b, A c, A d, A e, A f, A g, A h, A i, A j, A k, A l) { SUM(12, a, b, c, d, e, f, g, h, i, j, k, l); }
int64_t sum13(A a, A b, A c, A d, A e, A f, A g, A h, A i, A j, A k, A l, A m) { SUM(13, a, b, c, d, e, f, g, h, i, j, k, l, m); }
int64_t sum14(A a, A b, A c, A d, A e, A f, A g, A h, A i, A j, A k, A l, A m, A n) { SUM(14, a, b, c, d, e, f, g, h, i, j, k, l, m, n); }
int64_t sum15(A a, A b, A c, A d, A e, A f, A g, A h, A i, A j, A k, A l, A m, A n, A o) { SUM(15, a, b, c, d, e, f, g, h, i, j, k, l, m, n, o); }
// clang-format on

static int64_t last_kept; /* what keep was last called with; kept tells it */
void keep(int64_t a) { last_kept = a; }
int64_t kept(void) { return last_kept; }
int32_t add32(int32_t a, int32_t b) { return a + b; }
uint32_t high_bit32(void) { return 0x80000000u; }
int64_t wide(void) { return INT64_C(0x7f1234567890); } /* pointer-like, above 4 GiB */
int64_t minus_one(void) { return -1; }
