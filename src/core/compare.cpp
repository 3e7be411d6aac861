// compare.cpp -- the one total order and the one equality over all objects:
// sequences are walked element by element whatever their storage (bytes or
// handles), and the built-ins `compare` and `equal` release their arguments.
#include <vector>

#include "core.h"

namespace vorn::core {

namespace {

// A sequence as the walk reads it: its storage in place, element count and
// kind.  Nothing in a comparison creates objects, so the storage stays put.
struct run {
    const void *data;
    int32_t count;
    bool bytes;
};

run run_of(handle s)
{
    const record &r = rec(s);
    return {r.data, count_of(r), is_bytes(r)};
}

// Two sequences walked side by side; `next` is the 0-based position of the
// next pair of elements to look at.
struct pair_walk {
    run a, b;
    int32_t next;
};

// Outer walks suspended while a nested pair of sequences is compared.  Nested
// sequences are walked without recursion, so depth is bounded by memory, not
// by the C stack.  A flat pair never touches this stack, and it keeps its
// capacity, so only nesting deeper than ever before allocates.
std::vector<pair_walk> suspended;

// How a pair of sequences came out: settled (with a result) or waiting for a
// nested pair of sequences to be compared first.
enum class outcome { settled, descend };

// The result that lets the walk go on: "equal so far".
template <bool Order> constexpr int32_t neutral = Order ? 0 : 1;

// Scans the pairs from w.next to the end of the shorter sequence.  A pair of
// sequences suspends the scan (w.next is past it, the pair in x and y); an
// atom against a sequence or two different atoms settle it.  Bytes read as
// integers 0..255, unsigned.
template <bool Order, class A, class B>
outcome scan(pair_walk &w, int32_t &result, handle &x, handle &y)
{
    const A *pa = static_cast<const A *>(w.a.data);
    const B *pb = static_cast<const B *>(w.b.data);
    int32_t n = w.a.count < w.b.count ? w.a.count : w.b.count;
    for (int32_t k = w.next; k < n; ++k) {
        handle ea = pa[k], eb = pb[k];
        // The same handle is the same value; for equality only when it is an
        // integer (a NaN, even nested, is not equal to itself).
        if (ea == eb && (Order || !is_object(ea)))
            continue;
        bool sa = is_sequence(ea), sb = is_sequence(eb);
        if (sa && sb) {
            w.next = k + 1;
            x = ea;
            y = eb;
            return outcome::descend;
        }
        if (sa || sb) {
            result = Order ? (sa ? 1 : -1) : 0;
            return outcome::settled;
        }
        int32_t c = Order ? compare_atoms(ea, eb) : equal_atoms(ea, eb);
        if (c != neutral<Order>) {
            result = c;
            return outcome::settled;
        }
    }
    w.next = n;
    if (Order)
        result = (w.a.count > w.b.count) - (w.a.count < w.b.count);
    else
        result = 1;  // equal lengths were checked before the scan
    return outcome::settled;
}

// Two bytesequences: a plain memory comparison of unsigned bytes.
template <bool Order> int32_t compare_byte_runs(const run &a, const run &b)
{
    int32_t n = a.count < b.count ? a.count : b.count;
    int c = n > 0 ? std::memcmp(a.data, b.data, static_cast<size_t>(n)) : 0;
    if (!Order)
        return c == 0;  // lengths are already known to be equal
    if (c != 0)
        return c < 0 ? -1 : 1;
    return (a.count > b.count) - (a.count < b.count);
}

// Advances the walk of one pair of sequences until it settles or finds a
// nested pair of sequences to compare first.
template <bool Order> outcome step(pair_walk &w, int32_t &result, handle &x, handle &y)
{
    if (w.next == 0) {
        if (!Order && w.a.count != w.b.count) {
            result = 0;
            return outcome::settled;
        }
        if (w.a.bytes && w.b.bytes) {
            result = compare_byte_runs<Order>(w.a, w.b);
            return outcome::settled;
        }
        // Shared storage (the same sequence, or views of one run) orders as 0.
        if (Order && w.a.data == w.b.data && w.a.count == w.b.count && w.a.bytes == w.b.bytes) {
            result = 0;
            return outcome::settled;
        }
    }
    if (w.a.bytes)
        return scan<Order, unsigned char, handle>(w, result, x, y);
    if (w.b.bytes)
        return scan<Order, handle, unsigned char>(w, result, x, y);
    return scan<Order, handle, handle>(w, result, x, y);
}

// Compares two sequences (borrowed): -1/0/1 for the order, 1/0 for equality.
// The walk stops at the first pair that settles the result.
template <bool Order> int32_t walk_sequences(handle a, handle b)
{
    size_t bottom = suspended.size();
    pair_walk w{run_of(a), run_of(b), 0};
    for (;;) {
        int32_t result = neutral<Order>;
        handle x = 0, y = 0;
        if (step<Order>(w, result, x, y) == outcome::descend) {
            suspended.push_back(w);
            w = {run_of(x), run_of(y), 0};
            continue;
        }
        if (result != neutral<Order> || suspended.size() == bottom) {
            suspended.resize(bottom);
            return result;
        }
        w = suspended.back();
        suspended.pop_back();
    }
}

}  // namespace

int32_t compare_objects(handle a, handle b)
{
    bool sa = is_sequence(a), sb = is_sequence(b);
    if (!sa && !sb)
        return compare_atoms(a, b);
    if (sa != sb)
        return sa ? 1 : -1;
    if (a == b)
        return 0;
    return walk_sequences<true>(a, b);
}

bool equal_objects(handle a, handle b)
{
    bool sa = is_sequence(a), sb = is_sequence(b);
    if (!sa && !sb)
        return equal_atoms(a, b);
    if (sa != sb)
        return false;
    return walk_sequences<false>(a, b) != 0;
}

}  // namespace vorn::core

using namespace vorn::core;

extern "C" {

VORN_API int32_t recursive_compare(vorn_handle a, vorn_handle b) { return compare_objects(a, b); }

VORN_API int32_t recursive_equal(vorn_handle a, vorn_handle b) { return equal_objects(a, b); }

VORN_API int32_t compare(vorn_handle a, vorn_handle b)
{
    int32_t result = compare_objects(a, b);
    release_pair(a, b);
    return result;
}

VORN_API int32_t equal(vorn_handle a, vorn_handle b)
{
    int32_t result = equal_objects(a, b);
    release_pair(a, b);
    return result;
}

}  // extern "C"
