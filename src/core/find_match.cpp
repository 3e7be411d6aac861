// find_match.cpp -- searching a sequence: `find` for the first element equal
// to an object, `match` for the first run of consecutive elements equal to a
// sequence, each after skipping a number of leading elements.  Both consume
// their temporary arguments on every path that returns.
#include <algorithm>
#include <cstring>

#include "core.h"

using namespace vorn::core;

namespace {

// A start skips 0..n elements; anything else ends the program.
void check_start(int32_t k, int32_t n, const char *operation)
{
    if (k < 0 || k > n)
        runtime_error(error_subscript_bound, operation, k, n);
}

// ---- find --------------------------------------------------------------------

// 1-based position of the first of the handles w[k .. n-1] that is x: the
// same integer (never a double of that value), a double of the same value,
// or a sequence of the same length that is equal (atoms never match it).
int32_t find_in_handles(const handle *w, int32_t k, int32_t n, handle x)
{
    if (k >= n)
        return 0;
    const handle *end = w + n;
    const handle *hit;
    if (is_sequence(x)) {
        int32_t m = count_of(rec(x));
        hit = std::find_if(w + k, end, [x, m](handle e) {
            return is_sequence(e) && count_of(rec(e)) == m && equal_objects(x, e);
        });
    } else if (is_double(x)) {
        double d = dbl_value(x);
        hit = std::find_if(w + k, end, [d](handle e) { return is_double(e) && dbl_value(e) == d; });
    } else {
        hit = std::find(w + k, end, x);
    }
    return hit == end ? 0 : static_cast<int32_t>(hit - w) + 1;
}

// The same over bytes: only an integer 0..255 can be there; a plain scan.
int32_t find_in_bytes(const unsigned char *b, int32_t k, int32_t n, handle x)
{
    if (!is_byte(x) || k >= n)
        return 0;
    const void *hit = std::memchr(b + k, static_cast<int>(x), static_cast<size_t>(n - k));
    return hit == nullptr ? 0 : static_cast<int32_t>(static_cast<const unsigned char *>(hit) - b) + 1;
}

int32_t find_after(handle x, handle s, int32_t k)
{
    if (!is_sequence(s))
        runtime_error(error_atom_error, "find's second argument");
    const record &r = rec(s);
    int32_t n = count_of(r);
    check_start(k, n, "find_from");
    int32_t at = is_bytes(r) ? find_in_bytes(bytes(r), k, n, x) : find_in_handles(words(r), k, n, x);
    release_pair(x, s);
    return at;
}

// ---- match -------------------------------------------------------------------

// The window: one view of m elements of s from element k + 1, holding the
// owner of the storage (s, or the base of s when s is itself a view).
handle open_window(handle s, int32_t k, int32_t m)
{
    const record &r = rec(s);
    handle owner = r.base != 0 ? r.base : s;
    size_t width = is_bytes(r) ? 1 : sizeof(handle);
    void *data = k == 0 ? r.data : static_cast<char *>(r.data) + static_cast<size_t>(k) * width;
    int32_t len = is_bytes(r) ? -m : m;
    handle window = make_sequence(data, len);  // may move the table: r is not used after
    rec(window).base = owner;
    take_ref(owner);
    return window;
}

// The first position k + 1 .. last at which the window orders equal to x,
// else 0.  The window advances one element per step, compared in place; a
// run of bytes looked for in bytes is found in one scan of the storage.
// Nothing here makes objects, so the table stays where it is.
int32_t slide(handle x, handle window, int32_t k, int32_t last)
{
    record &w = rec(window);
    const record &p = rec(x);
    if (is_bytes(w) && is_bytes(p)) {
        size_t m = static_cast<size_t>(count_of(p));
        size_t span = static_cast<size_t>(last - k) + m - 1;
        const unsigned char *from = bytes(w);
        const void *hit = memmem(from, span, bytes(p), m);
        return hit == nullptr ? 0
                              : k + 1 + static_cast<int32_t>(static_cast<const unsigned char *>(hit) - from);
    }
    size_t width = is_bytes(w) ? 1 : sizeof(handle);
    for (int32_t i = k + 1;; ++i) {
        if (compare_objects(x, window) == 0)
            return i;
        if (i == last)
            return 0;
        w.data = static_cast<char *>(w.data) + width;
    }
}

int32_t match_after(handle x, handle s, int32_t k)
{
    if (!is_sequence(x) || !is_sequence(s))
        runtime_error(error_atom_error, "match() no arg");
    int32_t m = count_of(rec(x)), n = count_of(rec(s));
    check_start(k, n, "match_from");
    if (m > n - k) {
        release_pair(x, s);
        return 0;
    }
    handle window = open_window(s, k, m);
    int32_t at = slide(x, window, k, n - m + 1);
    // Decided while the window still holds the storage's owner: a temporary
    // s that owns its storage dies with the window, a temporary view s (not
    // held by the window) is destroyed by itself, x once even when it is s.
    bool drop_x = rec(x).count < 1;
    bool drop_s = s != x && rec(s).base != 0 && rec(s).count < 1;
    if (drop_x)
        destroy(x);
    destroy(window);
    if (drop_s)
        destroy(s);
    return at;
}

}  // namespace

extern "C" {

VORN_API int32_t find(vorn_handle x, vorn_handle s) { return find_after(x, s, 0); }

VORN_API int32_t find_from(vorn_handle x, vorn_handle s, vorn_handle k)
{
    return find_after(x, s, position_value(k, "find_from"));
}

VORN_API int32_t _findfrom(vorn_handle x, vorn_handle s, int32_t k) { return find_after(x, s, k); }

VORN_API int32_t match(vorn_handle x, vorn_handle s) { return match_after(x, s, 0); }

VORN_API int32_t match_from(vorn_handle x, vorn_handle s, vorn_handle k)
{
    return match_after(x, s, position_value(k, "match_from"));
}

VORN_API int32_t _matchfrom(vorn_handle x, vorn_handle s, int32_t k) { return match_after(x, s, k); }

}  // extern "C"
