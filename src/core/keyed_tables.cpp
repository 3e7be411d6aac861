// keyed_tables.cpp -- searching sorted key lists: the binary search that every
// keyed read, write and removal of a MAP goes through, the hash index kept
// beside a key list that is searched far more often than it changes, and the
// exported search built-ins with their argument checks.
#include <cmath>
#include <vector>

#include "core.h"

namespace vorn::core {

uint64_t *watched_bits = nullptr;
uint32_t watched_limit = 0;

namespace {

// Shorter lists are searched well enough; an index is built after at least
// this many searches without a change (and a quarter of the list's length).
constexpr int32_t key_index_min_length = 8;
constexpr int32_t key_index_min_lookups = 4;

// Binary search over n keys stored as E (handles, or bytes read as the
// integers 0..255).  When the key is absent, `lo` has ended at the number of
// keys below it: the insertion point.
template <class E> int32_t search_keys(const E *keys, int32_t n, handle key)
{
    int32_t lo = 0, hi = n - 1;
    while (lo <= hi) {
        int32_t mid = lo + (hi - lo) / 2;
        int32_t c = compare_objects(key, static_cast<handle>(keys[mid]));
        if (c == 0)
            return mid + 1;
        if (c < 0)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return -(lo + 1);
}

int32_t binary_search(handle list, handle key)
{
    if (!is_sequence(list))
        return -1;
    const record &r = rec(list);
    if (is_bytes(r))
        return search_keys(bytes(r), count_of(r), key);
    return search_keys(words(r), r.length, key);
}

// ---- hashing, consistent with the order ------------------------------------------
// Objects that compare equal hash equal: an integer and a double of the same
// value, -0.0 and 0.0, a sequence stored as bytes or as handles.  A NaN
// compares equal to every atom, so nothing holding one has a hash; neither
// has nesting deeper than the walk goes.

constexpr int max_hash_depth = 32;
constexpr uint64_t mix_factor = 0x9E3779B97F4A7C15ull;

inline uint64_t mix(uint64_t h, uint64_t code) { return (h ^ code) * mix_factor; }

bool atom_code(handle h, uint64_t &code)
{
    if (!is_double(h)) {
        code = static_cast<uint64_t>(static_cast<int64_t>(int_value(h)));
        return true;
    }
    double d = dbl_value(h);
    if (std::isnan(d))
        return false;
    if (d == std::trunc(d) && std::fabs(d) < 9.0e18) {
        code = static_cast<uint64_t>(static_cast<int64_t>(d));
        return true;
    }
    std::memcpy(&code, &d, sizeof code);
    return true;
}

// The hash of h; every sequence met is passed to `seen` (the index watches
// them).  False when h has none.
template <class Seen> bool hash_of(handle h, uint64_t &out, Seen seen, int depth = 0)
{
    if (!is_sequence(h))
        return atom_code(h, out);
    if (depth == max_hash_depth)
        return false;
    seen(index_of(h));
    const record &r = rec(h);
    int32_t n = count_of(r);
    uint64_t acc = 0x5851F42D4C957F2Dull ^ static_cast<uint64_t>(n);
    if (is_bytes(r)) {
        const unsigned char *b = bytes(r);
        for (int32_t k = 0; k < n; ++k)
            acc = mix(acc, b[k]);
    } else {
        const handle *w = words(r);
        for (int32_t k = 0; k < n; ++k) {
            uint64_t code;
            if (!hash_of(w[k], code, seen, depth + 1))
                return false;
            acc = mix(acc, code);
        }
    }
    out = acc ^ (acc >> 29);
    return true;
}

// ---- the index -------------------------------------------------------------------
// A few key lists are followed at a time.  Each counts the searches made in
// it since its storage or length last changed; once they reach a quarter of
// its length the list is checked (strictly ascending, every key hashable) and
// indexed: an open-addressed table of (hash, position) pairs.  The list and
// every sequence inside its keys are then watched, so any change to them, or
// the end of any of them, forgets the index before it happens.  While an
// index stands, a key that hashes to a stored key's slot and compares equal
// to it is at that position, which is what the binary search finds in a
// strictly ascending list; every other search is the binary search itself.

struct followed_list {
    uint32_t list = UINT32_MAX;  // record index
    const void *data = nullptr;  // its storage and length when last seen
    int32_t length = -1;
    int32_t searches = 0;  // since data or length last changed
    bool indexed = false;
    bool unindexable = false;  // not ascending, or a key without a hash
    uint32_t mask = 0;
    std::vector<uint64_t> slots;  // hash in the high word, position + 1 in the low; 0 empty
    std::vector<uint32_t> marked;
};

constexpr int followed_count = 8;
followed_list followed[followed_count];
int next_replaced = 0;
std::vector<uint64_t> watched_storage;

void watch(followed_list &f, uint32_t index)
{
    if (index >= watched_limit) {
        watched_storage.resize((index >> 6) + 1 + watched_storage.size());
        watched_bits = watched_storage.data();
        watched_limit = static_cast<uint32_t>(watched_storage.size() * 64);
    }
    uint64_t bit = 1ull << (index & 63);
    if ((watched_bits[index >> 6] & bit) != 0)
        return;
    watched_bits[index >> 6] |= bit;
    f.marked.push_back(index);
}

// Starts counting again for f.  A record that two indexes watch is marked
// once, so an index standing alone is never dropped: all go together.
void restart(followed_list &f)
{
    if (f.indexed || !f.marked.empty())
        forget_key_indexes();
    f.unindexable = false;
    f.searches = 0;
}

void drop_index(followed_list &f)
{
    for (uint32_t index : f.marked)
        watched_bits[index >> 6] &= ~(1ull << (index & 63));
    f.marked.clear();
    f.slots.clear();
    f.indexed = false;
    f.unindexable = false;
    f.searches = 0;
}

inline uint32_t slot_hash(uint64_t slot) { return static_cast<uint32_t>(slot >> 32); }

// Builds the index of the list in record `index` (handles, owning its
// storage), or marks it unindexable.
void build_index(followed_list &f, const record &r)
{
    const handle *keys = words(r);
    int32_t n = r.length;
    for (int32_t k = 1; k < n; ++k) {
        if (compare_objects(keys[k - 1], keys[k]) >= 0) {
            f.unindexable = true;
            return;
        }
    }
    uint32_t capacity = 16;
    while (capacity < static_cast<uint32_t>(n) * 2)
        capacity *= 2;
    f.mask = capacity - 1;
    f.slots.assign(capacity, 0);
    auto seen = [&](uint32_t i) { watch(f, i); };
    watch(f, f.list);
    for (int32_t k = 0; k < n; ++k) {
        uint64_t h;
        if (!hash_of(keys[k], h, seen)) {
            restart(f);
            f.unindexable = true;
            return;
        }
        uint32_t h32 = static_cast<uint32_t>(h);
        uint32_t at = h32 & f.mask;
        while (f.slots[at] != 0)
            at = (at + 1) & f.mask;
        f.slots[at] = (static_cast<uint64_t>(h32) << 32) | static_cast<uint32_t>(k + 1);
    }
    f.indexed = true;
}

// Whether key compares equal to a stored key; two bytesequences (the usual
// string keys) are compared directly.
inline bool same_key(handle key, handle stored)
{
    if (is_sequence(key) && is_sequence(stored)) {
        const record &a = rec(key), &b = rec(stored);
        if (a.length < 0 && b.length < 0)
            return a.length == b.length && std::memcmp(a.data, b.data, static_cast<size_t>(-a.length)) == 0;
    }
    return compare_objects(key, stored) == 0;
}

// The search code of key from the index: the position when a stored key
// compares equal, else the binary search's answer.
int32_t indexed_search(const followed_list &f, handle list, handle key)
{
    uint64_t h;
    if (!hash_of(key, h, [](uint32_t) {}))
        return binary_search(list, key);
    uint32_t h32 = static_cast<uint32_t>(h);
    const handle *keys = words(rec(list));
    for (uint32_t at = h32 & f.mask;; at = (at + 1) & f.mask) {
        uint64_t slot = f.slots[at];
        if (slot == 0)
            return binary_search(list, key);
        int32_t position = static_cast<int32_t>(static_cast<uint32_t>(slot));
        if (slot_hash(slot) == h32 && same_key(key, keys[position - 1]))
            return position;
    }
}

// The list followed for record `index`, taking over the least recently
// started one when it is new.
followed_list &follow(uint32_t index)
{
    for (followed_list &f : followed)
        if (f.list == index)
            return f;
    followed_list &f = followed[next_replaced];
    next_replaced = (next_replaced + 1) % followed_count;
    restart(f);
    f.list = index;
    f.data = nullptr;
    f.length = -1;
    return f;
}

// The search in a list of handles that owns its storage and is long enough
// to be worth an index.
int32_t followed_search(handle list, handle key)
{
    const record &r = rec(list);
    followed_list &f = follow(index_of(list));
    if (f.data != r.data || f.length != r.length) {
        // Changed where nothing watched it (the index only stands on watched lists).
        restart(f);
        f.data = r.data;
        f.length = r.length;
    }
    if (f.indexed)
        return indexed_search(f, list, key);
    if (!f.unindexable && ++f.searches >= key_index_min_lookups && f.searches >= r.length / 4)
        build_index(f, r);
    return binary_search(list, key);
}

// A sequence of length 0 cannot be searched for.
void check_key_not_empty(handle key)
{
    if (is_sequence(key) && count_of(rec(key)) == 0)
        runtime_error("Search key cann\xC2\xB4"
                      "t be empty ! ");
}

}  // namespace

void forget_key_indexes()
{
    // Declared in core.h; runs rarely: an indexed list or key is about to change.
    for (followed_list &f : followed)
        drop_index(f);
}

int32_t key_search(handle list, handle key)
{
    if (is_sequence(list)) {
        const record &r = rec(list);
        if (r.length >= key_index_min_length && r.base == 0)
            return followed_search(list, key);
    }
    return binary_search(list, key);
}

}  // namespace vorn::core

using namespace vorn::core;

extern "C" {

VORN_API int32_t cam_key_index(vorn_handle list, vorn_handle key) { return key_search(list, key); }

VORN_API int32_t find_bin_is(vorn_handle list, vorn_handle key)
{
    check_key_not_empty(key);
    if (!is_sequence(list))
        runtime_error("Search list must be a sequence ! ");
    return key_search(list, key);
}

VORN_API int32_t find_key_is(vorn_handle map, vorn_handle key)
{
    check_key_not_empty(key);
    if (!is_sequence(map) || rec(map).length != 2)
        runtime_error("No Map construction ! ");
    return key_search(words(rec(map))[0], key);
}

}  // extern "C"
