// keyed_tables.cpp -- searching sorted key lists: the binary search that every
// keyed read, write and removal of a MAP goes through, and the exported search
// built-ins with their argument checks.
#include "core.h"

namespace vorn::core {

namespace {

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

// A sequence of length 0 cannot be searched for.
void check_key_not_empty(handle key)
{
    if (is_sequence(key) && count_of(rec(key)) == 0)
        runtime_error("Search key cann\xC2\xB4"
                      "t be empty ! ");
}

}  // namespace

int32_t key_search(handle list, handle key)
{
    if (!is_sequence(list))
        return -1;
    const record &r = rec(list);
    if (is_bytes(r))
        return search_keys(bytes(r), count_of(r), key);
    return search_keys(words(r), r.length, key);
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
