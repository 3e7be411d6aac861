// concatenation.cpp -- making sequences longer and shorter: concatenation of
// any two objects, insertion of one element (insert, append, prepend), and
// removal by position or, on a MAP, by key.
//
// Three rules keep building a sequence in a loop cheap.  A result whose
// elements are all bytes is stored as bytes.  A temporary operand gives its
// record to the result, and when it owns its storage, the storage and the
// handles in it too, so nothing already there is copied or re-counted.  And
// storage owned by a temporary grows in place, geometrically, so n appends
// onto one temporary copy its elements only O(log n) times (the spare room
// is never visible: the length word says how many elements there are).
#include <malloc.h>

#include "core.h"

namespace vorn::core {

namespace {

// ---- copying elements between storages ---------------------------------------

// Copies `count` elements of r, from 0-based position `from`, into dst as
// handles: bytes zero-extended, handles with one reference taken on each
// counted one (r keeps its own).
void copy_handles(handle *dst, const record &r, int32_t from, int32_t count)
{
    if (is_bytes(r)) {
        const unsigned char *b = bytes(r) + from;
        for (int32_t i = 0; i < count; ++i)
            dst[i] = b[i];
        return;
    }
    const handle *w = words(r) + from;
    for (int32_t i = 0; i < count; ++i) {
        dst[i] = w[i];
        take_ref(w[i]);
    }
}

// The same for a source that gives its elements up: the handles move into
// dst with the references they already carry.
void move_handles(handle *dst, const record &r, int32_t count)
{
    if (is_bytes(r) || count == 0) {
        copy_handles(dst, r, 0, count);
        return;
    }
    std::memcpy(dst, words(r), static_cast<size_t>(count) * sizeof(handle));
}

// Copies `count` bytes of the bytesequence (or empty sequence) r.
void copy_bytes(unsigned char *dst, const record &r, int32_t from, int32_t count)
{
    if (count > 0)
        std::memcpy(dst, bytes(r) + from, static_cast<size_t>(count));
}

// Makes the storage that r owns hold at least `need` bytes.  When it is
// short it grows to half again the need, so a run of appends reallocates
// only a logarithmic number of times.
void reserve_storage(record &r, size_t need)
{
    if (r.data != nullptr && malloc_usable_size(r.data) >= need)
        return;
    r.data = std::realloc(r.data, need + need / 2);
}

// Gives the temporary s new storage, keeping its record and handle: storage
// it owned is freed (its elements were moved out, or were bytes), a view
// lets go of its base.
void adopt_storage(handle s, void *data, int32_t len)
{
    before_change(s);
    record &r = rec(s);
    void *old = r.data;
    handle former_base = r.base;
    r.data = data;
    r.length = len;
    r.base = 0;
    if (former_base != 0)
        drop_ref(former_base);
    else
        std::free(old);
}

// ---- splicing: what goes into the gap ----------------------------------------

// One object inserted as an element, or all the elements of a sequence
// operand (concatenation of two sequences).
struct piece {
    handle h;
    bool elements;
};

int32_t piece_length(const piece &p) { return p.elements ? count_of(rec(p.h)) : 1; }

// True when the piece adds only bytes (an empty sequence adds nothing).
bool piece_is_bytes(const piece &p) { return p.elements ? rec(p.h).length <= 0 : is_byte(p.h); }

// Writes the piece as handles: one object gains a reference; a sequence's
// elements move when it is an owner temporary and are copied otherwise.
void put_handles(handle *dst, const piece &p)
{
    if (!p.elements) {
        *dst = p.h;
        take_ref(p.h);
        return;
    }
    const record &r = rec(p.h);
    if (is_owner_temporary(r))
        move_handles(dst, r, count_of(r));
    else
        copy_handles(dst, r, 0, count_of(r));
}

void put_bytes(unsigned char *dst, const piece &p)
{
    if (p.elements)
        copy_bytes(dst, rec(p.h), 0, count_of(rec(p.h)));
    else
        *dst = static_cast<unsigned char>(p.h);
}

// A temporary sequence piece has handed its elements to the result and goes:
// an owner's storage and record are freed without touching the elements (they
// moved), a view lets go of its base.
void use_up(const piece &p)
{
    if (!p.elements || !is_temporary(rec(p.h)))
        return;
    before_change(p.h);
    record &r = rec(p.h);
    if (r.base != 0) {
        destroy(p.h);
        return;
    }
    std::free(r.data);
    free_record(index_of(p.h));
}

// Opens a gap of m elements after the first k of the owner temporary r and
// fills it, growing r's own storage in place.
void splice_in_place(record &r, int32_t k, const piece &p, bool as_bytes)
{
    int32_t n = count_of(r), m = piece_length(p);
    size_t tail = static_cast<size_t>(n - k);
    if (as_bytes) {
        reserve_storage(r, static_cast<size_t>(n + m) + 1);
        unsigned char *b = bytes(r);
        std::memmove(b + k + m, b + k, tail);
        put_bytes(b + k, p);
        b[n + m] = 0;
        r.length = -(n + m);
        return;
    }
    reserve_storage(r, static_cast<size_t>(n + m) * sizeof(handle));
    handle *w = words(r);
    std::memmove(w + k + m, w + k, tail * sizeof(handle));
    put_handles(w + k, p);
    r.length = n + m;
}

// New storage holding r's elements with the piece after the first k.  r's
// own elements are copied with references (r is shared or a view) or, when
// r is bytes, zero-extended.
void *spliced_storage(const record &r, int32_t k, const piece &p, bool as_bytes)
{
    int32_t n = count_of(r), m = piece_length(p);
    if (as_bytes) {
        unsigned char *b = alloc_bytes(static_cast<size_t>(n + m));
        copy_bytes(b, r, 0, k);
        put_bytes(b + k, p);
        copy_bytes(b + k + m, r, k, n - k);
        b[n + m] = 0;
        return b;
    }
    handle *w = alloc_words(static_cast<size_t>(n + m));
    copy_handles(w, r, 0, k);
    put_handles(w + k, p);
    copy_handles(w + k + m, r, k, n - k);
    return w;
}

// s with the piece inserted after its first k elements (0 <= k <= n).  s is
// consumed: a temporary s keeps its record for the result (and, when it owns
// storage that can take the result's form, that storage); a held s is
// untouched and the result is a new temporary.  A temporary sequence piece
// is used up.
handle splice(handle s, int32_t k, const piece &p)
{
    record &r = rec(s);
    int32_t total = count_of(r) + piece_length(p);
    bool as_bytes = r.length <= 0 && piece_is_bytes(p);
    if (is_owner_temporary(r) && (as_bytes || r.length >= 0)) {
        before_change(s);
        splice_in_place(r, k, p, as_bytes);
    } else {
        void *data = spliced_storage(r, k, p, as_bytes);
        int32_t len = as_bytes ? -total : total;
        if (is_temporary(r))
            adopt_storage(s, data, len);
        else
            s = make_sequence(data, len);  // may move the table: r is not used after
    }
    use_up(p);
    news = &rec(s);
    return s;
}

// Two atoms side by side: bytes when both are bytes.
handle pair_of(handle a, handle b)
{
    if (is_byte(a) && is_byte(b)) {
        unsigned char *pair = alloc_bytes(2);
        pair[0] = static_cast<unsigned char>(a);
        pair[1] = static_cast<unsigned char>(b);
        pair[2] = 0;
        return make_sequence(pair, -2);
    }
    handle *pair = alloc_words(2);
    pair[0] = a;
    pair[1] = b;
    take_ref(a);
    take_ref(b);
    return make_sequence(pair, 2);
}

// The elements of a then those of b.  The result takes a's record when a is
// a temporary, else b's when b is one; a temporary operand that does not
// give its record gives up its elements and its record.
handle join_sequences(handle a, handle b)
{
    if (a == b && is_temporary(rec(a))) {
        // One temporary on both sides: join it as a held sequence, then let
        // it go, so that its storage is not both reused and used up.
        take_ref(a);
        handle joined = splice(a, count_of(rec(a)), {a, true});
        drop_ref(a);
        return joined;
    }
    if (is_temporary(rec(a)) || !is_temporary(rec(b)))
        return splice(a, count_of(rec(a)), {b, true});
    return splice(b, 0, {a, true});
}

handle concat_objects(handle a, handle b)
{
    bool a_seq = is_sequence(a), b_seq = is_sequence(b);
    if (a_seq && b_seq)
        return join_sequences(a, b);
    if (a_seq)
        return splice(a, count_of(rec(a)), {b, false});
    if (b_seq)
        return splice(b, 0, {a, false});
    return pair_of(a, b);
}

// The exported insertion: the position is converted before s is looked at,
// and may be 0..n (counted from the end when negative, -1 meaning last).
handle insert_checked(handle s, handle x, handle k)
{
    int32_t pos = position_value(k, "insert");
    if (!is_sequence(s))
        runtime_error(error_atom_error, "insert");
    int32_t n = count_of(rec(s));
    pos = count_from_end(pos, n);
    if (pos < 0 || pos > n)
        runtime_error(error_subscript_bound, "insert", pos, n);
    return insert_consuming(s, x, pos);
}

// ---- removal -----------------------------------------------------------------

// The sequence in record `index` (stored length len, n elements) without its
// element k.  An owner temporary shrinks in place and drops the reference it
// held on the removed element; anything else is copied around the gap (the
// removed element stays with s), into s's own record when s is a temporary
// view.
handle remove_element(uint32_t index, int32_t len, int32_t n, int32_t k)
{
    record &r = objects[index];
    handle s = seq_handle(static_cast<int32_t>(index));
    size_t tail = static_cast<size_t>(n - k);
    if (is_owner_temporary(r)) {
        before_change(s);
        if (len < 0) {
            unsigned char *b = bytes(r);
            std::memmove(b + k - 1, b + k, tail);
            b[n - 1] = 0;
            r.length = -(n - 1);
        } else {
            handle *w = words(r);
            handle removed = w[k - 1];
            std::memmove(w + k - 1, w + k, tail * sizeof(handle));
            r.length = n - 1;
            drop_ref(removed);
        }
        news = &rec(s);
        return s;
    }
    void *data;
    if (len < 0) {
        unsigned char *b = alloc_bytes(static_cast<size_t>(n - 1));
        copy_bytes(b, r, 0, k - 1);
        copy_bytes(b + k - 1, r, k, n - k);
        b[n - 1] = 0;
        data = b;
    } else {
        handle *w = alloc_words(static_cast<size_t>(n - 1));
        copy_handles(w, r, 0, k - 1);
        copy_handles(w + k - 1, r, k, n - k);
        data = w;
    }
    int32_t result_len = len < 0 ? -(n - 1) : n - 1;
    if (is_temporary(r))
        adopt_storage(s, data, result_len);
    else
        s = make_sequence(data, result_len);
    news = &rec(s);
    return s;
}

// The MAP `map` without the key `key` and its value, or UNDEF (nothing
// changed, nothing released) when the key is absent.
handle remove_key(handle map, handle key)
{
    if (rec(map).length != 2)
        runtime_error("No valid Map construction !");
    handle keys = words(rec(map))[0];
    handle values = words(rec(map))[1];
    int32_t j = key_search(keys, key);
    if (j < 0)
        return UNDEF;
    // A value list shorter than its keys is no MAP either.
    if (!is_sequence(values) || count_of(rec(values)) < j)
        runtime_error("No valid Map construction !");

    handle *lists = alloc_words(2);
    lists[0] = remove_consuming(keys, j);
    lists[1] = remove_consuming(values, j);
    take_ref(lists[0]);
    take_ref(lists[1]);
    if (!is_temporary(rec(map)))
        return make_sequence(lists, 2);

    // A temporary MAP keeps its record and lets go of what it held.
    before_change(map);
    record &m = rec(map);
    handle *old = words(m);
    handle former_base = m.base;
    m.data = lists;
    m.length = 2;
    m.base = 0;
    if (former_base != 0) {
        drop_ref(former_base);
    } else {
        drop_ref(old[0]);
        drop_ref(old[1]);
        std::free(old);
    }
    news = &rec(map);
    return map;
}

}  // namespace

handle insert_consuming(handle s, handle x, int32_t k) { return splice(s, k, {x, false}); }

handle remove_consuming(handle s, int32_t k)
{
    const record &r = rec(s);
    return remove_element(index_of(s), r.length, count_of(r), k);
}

}  // namespace vorn::core

using namespace vorn::core;

extern "C" {

VORN_API vorn_handle concat(vorn_handle a, vorn_handle b) { return concat_objects(a, b); }

VORN_API vorn_handle wrap_concat(vorn_handle a, vorn_handle b) { return concat_objects(a, b); }

VORN_API vorn_handle _insert(vorn_handle s, vorn_handle x, vorn_handle k) { return insert_checked(s, x, k); }

VORN_API vorn_handle insert(vorn_handle s, vorn_handle x, vorn_handle k) { return insert_checked(s, x, k); }

VORN_API vorn_handle append(vorn_handle s, vorn_handle x) { return insert_checked(s, x, int_handle(-1)); }

VORN_API vorn_handle prepend(vorn_handle s, vorn_handle x) { return insert_checked(s, x, 0); }

VORN_API vorn_handle removeindex(vorn_handle s, vorn_handle k)
{
    if (!is_sequence(s))
        runtime_error(error_atom_error, "remove");
    if (is_sequence(k))
        return remove_key(s, k);
    int32_t n = count_of(rec(s));
    int32_t pos = element_position(k, n, "remove");
    return remove_element(index_of(s), rec(s).length, n, pos);
}

VORN_API vorn_handle _removeindex(vorn_handle s, int32_t len, int32_t n, int32_t k)
{
    return remove_element(index_of(s), len, n, k);
}

}  // extern "C"
