// slicing.cpp -- reading out of sequences: one element by position or by MAP
// key (`subscript`), and runs of elements as views that share the storage of
// their base (`slice`).  Also owns the exported no-value marker UNDEF.
#include "core.h"

using namespace vorn::core;

extern "C" {
VORN_API extern const vorn_handle UNDEF = 0x80000000u;
}

namespace {

// The value list and position that the key `key` selects in the MAP `map`;
// a map that is not a 2-element sequence or a missing key ends the program.
handle map_value_list(handle map, handle key, int32_t &position)
{
    if (!is_sequence(map) || rec(map).length != 2)
        runtime_error("No valid MAP construction !");
    const handle *lists = words(rec(map));
    int32_t code = key_search(lists[0], key);
    if (code < 0)
        runtime_error("Key (in MAP or CAM structure) not found !");
    position = code;
    return lists[1];
}

// The empty slice: a temporary source dies, the shared empty sequence is
// handed out with a reference of its own.
handle empty_slice(handle s)
{
    release(s);
    take_ref(null_sequence);
    return null_sequence;
}

// subscript beyond its common case: a key, a double or negative position,
// an error.
[[gnu::noinline]] handle subscript_general(handle s, handle i)
{
    int32_t k;
    if (is_sequence(i)) {
        if (s == 0)
            return 0;
        s = map_value_list(s, i, k);
    } else {
        k = position_value(i, "subscript");
    }
    if (!is_sequence(s))
        runtime_error(error_atom_error, "subscript");
    const record &r = rec(s);
    int32_t n = count_of(r);
    k = count_from_end(k, n);
    if (k < 1 || k > n)
        runtime_error(error_subscript_bound, "subscript", k, n);
    return element_at(r, k);
}

}  // namespace

extern "C" {

// Element i of s, borrowed: a position within the sequence here, anything
// else out of line.
VORN_FAST_PATHS_BEGIN
VORN_FAST_PATH VORN_API vorn_handle subscript(vorn_handle s, vorn_handle i)
{
    if (is_sequence(s) && is_integer(i)) {
        const record &r = rec(s);
        uint32_t k = static_cast<uint32_t>(int_value(i)) - 1;
        if (k < static_cast<uint32_t>(count_of(r)))
            return element_at(r, static_cast<int32_t>(k) + 1);
    }
    return subscript_general(s, i);
}
VORN_FAST_PATHS_END

VORN_API vorn_handle slice(vorn_handle s, vorn_handle lo, vorn_handle hi)
{
    if (!is_sequence(s))
        runtime_error(error_atom_error, "slice");
    int32_t first = position_value(lo, "slice");
    int32_t last = position_value(hi, "slice");
    int32_t n = count_of(rec(s));
    first = count_from_end(first, n);
    last = count_from_end(last, n);
    if (last < first) {
        if (last == first - 1)
            return empty_slice(s);
        runtime_error(error_slice_neg, "slice");
    }
    if (first < 1 || first > n)
        runtime_error(error_slice_lbound, "slice", first, n);
    if (last < 1 || last > n)
        runtime_error(error_slice_hbound, "slice", last, n);

    // The new record may move the table: take what it needs from s first.
    const record &src = rec(s);
    handle base = src.base != 0 ? src.base : s;
    int32_t count = last - first + 1;
    void *data = is_bytes(src) ? static_cast<void *>(bytes(src) + first - 1)
                               : static_cast<void *>(words(src) + first - 1);
    int32_t len = is_bytes(src) ? -count : count;
    bool temporary_view = is_temporary(src) && src.base != 0;

    handle view = make_sequence(data, len);
    rec(view).base = base;
    take_ref(base);
    // A temporary view given as the source is used up: the new view holds
    // the base directly, so nothing else would ever free that record.
    if (temporary_view)
        destroy(s);
    return view;
}

}  // extern "C"
