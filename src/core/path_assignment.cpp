// path_assignment.cpp -- writing into a sequence held by a variable along a
// path of subscripts of any depth: s[i][j] = x, s[i][j] op= x, s[i][lo..hi] = x
// and s[i][lo..hi] op= x.  Owns the walk down the path (each level made
// private before it is written, MAP keys, new keys inserted in order) and the
// stores into one element or a slice (a bytesequence widens in place, keeping
// its record and handle, when something that is not a byte lands in it).
//
// The call holds its value and its keys.  The value gains a reference on
// entry, each key one at its key step, and all are let go when the call ends
// (in `subscript_assign` the value's reference becomes the slot's).  So a
// value or key that is also one of the sequences on the path makes that
// level shared, and it is copied before it is written; a temporary value
// applied to several slots lives until the last one; and a temporary key
// that was found (and so stored nowhere) is destroyed at the end, once.
#include <cstdarg>

#include "core.h"

using namespace vorn::core;

namespace {

const char not_a_map[] = "No valid MAP construction (indexing)!\n";

// What differs between the four routines.
struct form {
    const char *name;        // the operation name in messages
    bool slice;              // the path ends in a slice: every subscript is a level
    bool arithmetic;         // the store applies the operator in `operand`
    const char *key_absent;  // slice forms: the report for a key not in its MAP
};

constexpr form element_plain{"subscript assign", false, false, nullptr};
constexpr form element_arithmetic{"arth_assign", false, true, nullptr};
constexpr form slice_plain{"slice_assign", true, false, "No Key found in Slice Assign !"};
constexpr form slice_arithmetic{"slice_arith_assign", true, true, "No Key found in Slice_Arthmetic_Assign !"};

// One assignment in progress: the subscripts still to read, and what the
// call holds.  The keys are read again at the end to let go of them; only a
// path that meets one needs that, so the list is copied at the first key.
struct assignment {
    assignment(const form &how, handle value, int32_t path_length, va_list *args)
        : how(how), value(value), rest(args), unread(path_length)
    {
        take_ref(value);
    }
    ~assignment()
    {
        if (first_key != 0)
            va_end(after_first_key);
    }

    handle next()
    {
        --unread;
        return va_arg(*rest, handle);
    }

    // Holds a key subscript just read, until the end of the call.
    void hold_key(handle key)
    {
        take_ref(key);
        if (first_key != 0)
            return;
        first_key = key;
        va_copy(after_first_key, *rest);
        keys_after_first = unread;
    }

    const form &how;
    handle value;
    va_list *rest;            // the subscripts not read yet
    int32_t unread;           // path subscripts not read yet
    handle first_key = 0;     // the first key met (a sequence, never 0)
    va_list after_first_key;  // the subscripts after it
    int32_t keys_after_first = 0;
    bool value_kept = false;  // the value's hold became a slot's, or the value was used up

    bool through_map() const { return first_key != 0; }
};

// Lets go of what the call holds: the value (unless a slot has taken its
// hold over) and every key subscript.
void finish(assignment &a)
{
    if (!a.value_kept)
        drop_ref(a.value);
    if (!a.through_map())
        return;
    drop_ref(a.first_key);
    for (int32_t k = 0; k < a.keys_after_first; ++k) {
        handle key = va_arg(a.after_first_key, handle);
        if (is_sequence(key))
            drop_ref(key);
    }
}

// Copy on write before a level is written: only_sequence, entered only when
// there is something to do (the sequence is shared, or a view, or not a
// sequence at all); a sequence held by its place alone is written as it is.
inline void make_private(handle *place)
{
    handle h = *place;
    if (is_sequence(h) && rec(h).count <= 1 && rec(h).base == 0) {
        before_change(h);
        news = &rec(h);
        return;
    }
    only_sequence(place);
}

// ---- MAP keys --------------------------------------------------------------

// A new MAP with no keys: both lists are the shared empty sequence.
handle empty_map()
{
    handle *lists = alloc_words(2);
    lists[0] = lists[1] = null_sequence;
    take_ref(null_sequence);
    take_ref(null_sequence);
    return make_sequence(lists, 2);
}

// The MAP's list in `slot` replaced by that list with x inserted after its
// first p elements.  A list that the MAP alone holds, in storage of its own,
// is lent to the insertion as a temporary and grows in place (nobody else can
// see it change).  A list held elsewhere too is left as it is, so a variable
// that took it out keeps it unchanged: the insertion makes a new one, which
// the MAP holds instead of the old.
void insert_into_list(handle map, int slot, handle x, int32_t p)
{
    handle old = words(rec(map))[slot];
    if (is_sequence(old) && rec(old).count == 1 && rec(old).base == 0) {
        --rec(old).count;
        handle grown = insert_consuming(old, x, p);  // the same record
        take_ref(grown);
        words(rec(map))[slot] = grown;
        return;
    }
    handle list = insert_consuming(old, x, p);
    take_ref(list);
    words(rec(map))[slot] = list;
    drop_ref(old);
}

// Adds key, with its value, as entry p + 1 of the MAP.
void add_key(handle map, handle key, handle value, int32_t p)
{
    // Both lists take the key's place through insertion, which reports a
    // list that is no sequence, or a value list too short for the place.
    before_change(map);
    const handle *lists = words(rec(map));
    for (int list = 0; list < 2; ++list) {
        if (!is_sequence(lists[list]))
            runtime_error(error_atom_error, "insert");
        int32_t n = count_of(rec(lists[list]));
        if (p > n)
            runtime_error(error_subscript_bound, "insert", p, n);
    }
    insert_into_list(map, 0, key, p);
    insert_into_list(map, 1, value, p);
}

// A key subscript applied to the MAP at `place` (which is never copied: all
// its holders see the change).  A key found selects its value: the place
// returned is the MAP's value list and `index` the key's position there.  An
// absent key ends a slice form; the element forms insert it in order, with a
// new empty MAP as its value when more subscripts follow (the walk goes on
// into it), or with the assigned value itself when it is the last subscript:
// the assignment is then complete and nullptr is returned.
handle *key_step(assignment &a, handle *place, handle key, bool last, int32_t &index)
{
    handle map = *place;
    if (!is_sequence(map) || rec(map).length != 2)
        runtime_error(not_a_map);
    a.hold_key(key);
    int32_t code = key_search(words(rec(map))[0], key);
    if (code < 0) {
        if (a.how.slice)
            runtime_error("%s", a.how.key_absent);
        int32_t p = -code - 1;
        add_key(map, key, last ? a.value : empty_map(), p);
        if (last)
            return nullptr;
        code = p + 1;
    }
    index = code;
    return &words(rec(map))[1];
}

// ---- the walk --------------------------------------------------------------

// Makes the sequence at `place` private and returns the place of its element
// i, checked against the stored length (negative for bytes, so nothing inside
// a bytesequence can be walked into).
handle *step_into(const assignment &a, handle *place, int32_t i)
{
    make_private(place);
    const record &r = rec(*place);
    int32_t len = r.length;
    i = count_from_end(i, len);
    if (i < 1 || i > len)
        runtime_error(a.how.slice ? error_slice_lbound : error_subscript_bound, a.how.name, i, len);
    return &words(r)[i - 1];
}

// Walks `levels` subscripts down from `place`; returns the place reached.
handle *walk(assignment &a, handle *place, int32_t levels)
{
    for (int32_t l = 0; l < levels; ++l) {
        handle k = a.next();
        int32_t i;
        if (is_sequence(k))
            place = key_step(a, place, k, false, i);
        else
            i = position_value(k, a.how.name);
        place = step_into(a, place, i);
    }
    return place;
}

// ---- stores ------------------------------------------------------------------

// Stores an operator result at element i of target: as a byte while the
// target is a bytesequence and the result a byte, else as a handle with a
// reference (the first result that is not a byte widens the target).
void put_result(handle target, int32_t i, handle res)
{
    if (is_bytes(rec(target))) {
        if (is_byte(res)) {
            bytes(rec(target))[i - 1] = static_cast<unsigned char>(res);
            return;
        }
        conv_byte2obj(target);
    }
    words(rec(target))[i - 1] = res;
    take_ref(res);
}

// Element i of target combined with v by the operator in `operand`, the
// result stored in its place.  The old element is lent to the operator: its
// count is lowered without destroying it, so an element this slot alone held
// is a temporary the operator may consume or reuse.  Not when the path went
// through a MAP and the value is a sequence: the MAP is never copied, so such
// a value may reach the old element, which must then outlive the operation.
void combine_at(const assignment &a, handle target, int32_t i, handle v)
{
    const record &r = rec(target);
    handle old = element_at(r, i);
    bool lent = !is_bytes(r) && is_object(old) && !(a.through_map() && is_sequence(a.value));
    if (lent)
        --rec(old).count;
    put_result(target, i, elementwise_consuming(old, v));
    if (!lent)
        drop_ref(old);
}

// subscript_assign's store: the value replaces element i, the call's hold
// becoming the slot's reference; a byte stays a byte in a bytesequence,
// anything else widens it first.
void put_value(assignment &a, handle target, int32_t i)
{
    handle v = a.value;
    if (is_bytes(rec(target))) {
        if (is_byte(v)) {
            bytes(rec(target))[i - 1] = static_cast<unsigned char>(v);
            return;
        }
        conv_byte2obj(target);
    }
    handle *slot = &words(rec(target))[i - 1];
    handle old = *slot;
    *slot = v;
    a.value_kept = true;
    drop_ref(old);
}

// Writes c handles, element k being from(k), over the slots, letting go of
// the elements they replace; with `take`, each new one gains a reference.
template <class From> void overwrite(handle *slots, int32_t c, From from, bool take)
{
    for (int32_t k = 0; k < c; ++k) {
        handle old = slots[k];
        slots[k] = from(k);
        if (take)
            take_ref(slots[k]);
        drop_ref(old);
    }
}

// A sequence value must be as long as the slice.
void check_value_length(const assignment &a, int32_t c)
{
    int32_t n = count_of(rec(a.value));
    if (n != c)
        runtime_error(error_slice_length, a.how.name, c, n);
}

// slice_assign's store over elements lo .. lo + c - 1 of target.  Bytes into
// bytes stay bytes; otherwise the target holds handles (widened first).  A
// value of handles that nothing but this call holds gives its handles up
// (moved, then its storage and record freed); one held elsewhere is copied.
void replace_slice(assignment &a, handle target, int32_t lo, int32_t c)
{
    handle v = a.value;
    bool sequence = is_sequence(v);
    if (sequence)
        check_value_length(a, c);
    if (is_bytes(rec(target))) {
        unsigned char *b = bytes(rec(target)) + lo - 1;
        if (sequence && is_bytes(rec(v))) {
            std::memmove(b, bytes(rec(v)), static_cast<size_t>(c));
            return;
        }
        if (is_byte(v)) {
            std::memset(b, static_cast<int>(v), static_cast<size_t>(c));
            return;
        }
        conv_byte2obj(target);
    }
    handle *slots = words(rec(target)) + lo - 1;
    if (!sequence) {
        overwrite(
            slots, c, [v](int32_t) { return v; }, true);
        return;
    }
    const record &r = rec(v);
    if (is_bytes(r)) {
        const unsigned char *src = bytes(r);
        overwrite(
            slots, c, [src](int32_t k) { return static_cast<handle>(src[k]); }, false);
        return;
    }
    const handle *src = words(r);
    bool give_up = r.count == 1 && r.base == 0;
    overwrite(
        slots, c, [src](int32_t k) { return src[k]; }, !give_up);
    if (give_up) {
        clobber_sequence(v);
        a.value_kept = true;
    }
}

// slice_arithmetic_assign over elements lo .. lo + c - 1: each combined with
// the value, or with the value's element at the same offset when it is a
// sequence.  A bytesequence target meeting a value of handles widens first;
// otherwise it stays bytes until the first result that is not a byte.
void combine_slice(const assignment &a, handle target, int32_t lo, int32_t c)
{
    handle v = a.value;
    bool sequence = is_sequence(v);
    if (sequence) {
        check_value_length(a, c);
        if (!is_bytes(rec(v)) && is_bytes(rec(target)))
            conv_byte2obj(target);
    }
    for (int32_t k = 0; k < c; ++k)
        combine_at(a, target, lo + k, sequence ? element_at(rec(v), k + 1) : v);
}

// ---- the four forms ------------------------------------------------------------

// Element forms: `count` subscripts, the last one naming the element.
void assign_element(handle *place, handle value, int32_t count, va_list *args, const form &how)
{
    assignment a(how, value, count, args);
    place = walk(a, place, count - 1);
    handle k = a.next();
    int32_t i;
    if (is_sequence(k)) {
        place = key_step(a, place, k, true, i);
        if (place == nullptr) {
            finish(a);
            return;
        }
    } else {
        i = position_value(k, how.name);
    }
    make_private(place);
    int32_t n = count_of(rec(*place));
    i = count_from_end(i, n);
    if (i < 1 || i > n)
        runtime_error(error_subscript_bound, how.name, i, n);
    if (how.arithmetic)
        combine_at(a, *place, i, value);
    else
        put_value(a, *place, i);
    finish(a);
}

// Checks the bounds of the slice on the target at `place` (made private
// first): lo, then hi, then the length.  Returns the slice length c, 0 when
// nothing is to change, and the first element in `lo`.
int32_t slice_bounds(assignment &a, handle *place, handle hi, int32_t &lo)
{
    const char *name = a.how.name;
    int32_t first = position_value(a.next(), name);
    make_private(place);
    int32_t m = count_of(rec(*place));
    first = count_from_end(first, m);
    if (first < 1 || first > m)
        runtime_error(error_slice_lbound, name, first, m);
    int32_t last = count_from_end(position_value(hi, name), m);
    if (last < 1 || last > m)
        runtime_error(error_slice_hbound, name, last, m);
    int32_t c = last - first + 1;
    if (c < 0)
        runtime_error(error_slice_neg, name);
    lo = first;
    return c;
}

// Slice forms: `count` - 1 path subscripts, then the lower bound.
void assign_slice(handle *place, handle hi, handle value, int32_t count, va_list *args, const form &how)
{
    assignment a(how, value, count - 1, args);
    place = walk(a, place, count - 1);
    int32_t lo;
    int32_t c = slice_bounds(a, place, hi, lo);
    if (c > 0) {
        if (how.arithmetic)
            combine_slice(a, *place, lo, c);
        else
            replace_slice(a, *place, lo, c);
    }
    finish(a);
}

}  // namespace

extern "C" {

VORN_API void subscript_assign(vorn_handle *place, vorn_handle value, int32_t count, ...)
{
    va_list args;
    va_start(args, count);
    assign_element(place, value, count, &args, element_plain);
    va_end(args);
}

VORN_API void subscript_arithmetic_assign(int32_t code, vorn_handle *place, vorn_handle value, int32_t count,
                                          ...)
{
    operand = code;
    va_list args;
    va_start(args, count);
    assign_element(place, value, count, &args, element_arithmetic);
    va_end(args);
}

VORN_API void slice_assign(vorn_handle *place, vorn_handle hi, vorn_handle value, int32_t count, ...)
{
    va_list args;
    va_start(args, count);
    assign_slice(place, hi, value, count, &args, slice_plain);
    va_end(args);
}

VORN_API void slice_arithmetic_assign(int32_t code, vorn_handle *place, vorn_handle hi, vorn_handle value,
                                      int32_t count, ...)
{
    operand = code;
    va_list args;
    va_start(args, count);
    assign_slice(place, hi, value, count, &args, slice_arithmetic);
    va_end(args);
}

}  // extern "C"
