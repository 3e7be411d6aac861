// core.h -- the object store's internal interface, shared by everything in
// the library that makes, reads or releases objects.  Not part of the public
// contract: translated programs see only include/vorn.h.
#pragma once
#ifndef VORN_BUILDING
#error "core.h belongs to the library's own build; include <vorn.h> instead"
#endif

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "vorn.h"

// Marks an exported routine whose common case is a few instructions, with
// anything longer out of line: it is always inlined into callers optimised
// together with the library (a translated program linked with the static
// archive and -flto), and stays exported for everyone else.  GCC warns that a
// function not declared inline might not be inlinable; it is, so the warning
// is silenced where such routines are defined (VORN_FAST_PATHS_BEGIN/END).
#define VORN_FAST_PATH [[gnu::always_inline]]
#define VORN_FAST_PATHS_BEGIN                                                                                \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wattributes\"")
#define VORN_FAST_PATHS_END _Pragma("GCC diagnostic pop")

namespace vorn::core {

using handle = vorn_handle;
using record = vorn_record;

// ---- handle classes ------------------------------------------------------

inline bool is_integer(handle h) { return vorn_is_integer(h); }
inline bool is_object(handle h) { return vorn_is_object(h); }
inline bool is_sequence(handle h) { return vorn_is_sequence(h); }
inline bool is_double(handle h) { return vorn_is_double(h); }
inline uint32_t index_of(handle h) { return vorn_index(h); }
inline record &rec(handle h) { return objects[vorn_index(h)]; }
inline handle seq_handle(int32_t i) { return vorn_sequence_handle(i); }
inline handle dbl_handle(int32_t i) { return vorn_double_handle(i); }

// An integer value as a handle; the caller has checked it is in the class.
inline handle int_handle(int32_t v) { return static_cast<handle>(v); }
inline int32_t int_value(handle h) { return static_cast<int32_t>(h); }

// A byte element: an integer 0..255 (no bit set above the lowest eight).
inline bool is_byte(handle h) { return (h & ~0xFFu) == 0; }

// ---- records -------------------------------------------------------------

// Hands out a record index, count 0, other words untouched: the most recently
// freed record first, else the next never-used one (growing the table).
int32_t grow_table();
inline int32_t take_record()
{
    int32_t i = free_tail;
    if (i != 0) {
        free_tail = objects[i].count;
    } else {
        if (object_count >= object_limit)
            grow_table();
        i = object_count++;
    }
    objects[i].count = 0;
    return i;
}

// Puts a record at the head of the free list.
inline void free_record(uint32_t i)
{
    objects[i].count = free_tail;
    free_tail = static_cast<int32_t>(i);
}

inline double dbl_value(const record &r)
{
    double d;
    std::memcpy(&d, &r.length, sizeof d);
    return d;
}
inline double dbl_value(handle h) { return dbl_value(rec(h)); }
inline void set_dbl(record &r, double d) { std::memcpy(&r.length, &d, sizeof d); }

// A new temporary double.
inline handle make_double(double d)
{
    int32_t i = take_record();
    set_dbl(objects[i], d);
    return dbl_handle(i);
}
// The same, out of line: for results that are rarely doubles.
[[gnu::cold]] handle make_double_cold(double d);

// A new temporary sequence record owning `data`; `news` names it.
inline handle make_sequence(void *data, int32_t length)
{
    int32_t i = take_record();
    record &r = objects[i];
    r.data = data;
    r.length = length;
    r.base = 0;
    news = &r;
    return seq_handle(i);
}

// Storage for n handles / n bytes plus the terminating zero.
inline handle *alloc_words(size_t n)
{
    return static_cast<handle *>(std::malloc(n ? n * sizeof(handle) : 1));
}
inline unsigned char *alloc_bytes(size_t n) { return static_cast<unsigned char *>(std::malloc(n + 1)); }

// A new temporary bytesequence holding a copy of n bytes, a zero after them.
inline handle make_bytes(const void *from, size_t n)
{
    unsigned char *b = alloc_bytes(n);
    std::memcpy(b, from, n);
    b[n] = 0;
    return make_sequence(b, -static_cast<int32_t>(n));
}

inline handle *words(const record &r) { return static_cast<handle *>(r.data); }
inline unsigned char *bytes(const record &r) { return static_cast<unsigned char *>(r.data); }
inline bool is_bytes(const record &r) { return r.length < 0; }
inline int32_t count_of(const record &r) { return r.length < 0 ? -r.length : r.length; }

// ---- the release rule ------------------------------------------------------
// take_ref: a new holder keeps h.  drop_ref: a holder lets go of h and the
// object dies with its last holder.  release: a routine consumed h and does
// not keep it, so a temporary (count below 1) is destroyed.

inline void take_ref(handle h)
{
    if (is_object(h))
        ++rec(h).count;
}
inline void drop_ref(handle h)
{
    if (is_object(h) && --rec(h).count == 0)
        destroy(h);
}
inline void release(handle h)
{
    if (is_object(h) && rec(h).count < 1)
        destroy(h);
}

// ---- operators and the element-wise engine -----------------------------------
// The operator code in `operand` selects the operation; the atom workers and
// the engine consume their temporary operands (release them, or give a
// temporary double's record to the result), like the exported operators.

// A whole value as a handle: an integer when the integer class holds it,
// otherwise a new double of the same value (bit patterns whose top two bits
// are 10 included, read as signed).
inline handle integer_or_double(int64_t v)
{
    if (v >= VORN_MIN_INTEGER && v <= VORN_MAX_INTEGER)
        return int_handle(static_cast<int32_t>(v));
    return make_double(static_cast<double>(v));
}

// A double used as a 32-bit integer: truncated toward zero; a NaN or a value
// outside the signed 32-bit range gives the pattern 0x80000000.
inline int32_t truncate_to_bits(double d)
{
    if (!(d > -2147483649.0 && d < 2147483648.0))
        return INT32_MIN;
    return static_cast<int32_t>(d);
}

// The release rule on two consumed arguments, decided for both before either
// is destroyed (a first, then b): an argument held only by the other, or one
// passed as both, is destroyed exactly once.
inline void release_pair(handle a, handle b)
{
    bool temp_a = is_object(a) && rec(a).count < 1;
    bool temp_b = b != a && is_object(b) && rec(b).count < 1;
    if (temp_a)
        destroy(a);
    if (temp_b)
        destroy(b);
}

// Integer arithmetic keeps a result as an integer only above this floor (and
// without a 32-bit overflow); anything else is redone in doubles.
constexpr int32_t arithmetic_floor = -805306368;

inline handle int_add(int32_t a, int32_t b)
{
    int32_t r;
    if (!__builtin_add_overflow(a, b, &r) && r > arithmetic_floor) [[likely]]
        return int_handle(r);
    return make_double_cold(static_cast<double>(a) + static_cast<double>(b));
}

inline handle int_subtract(int32_t a, int32_t b)
{
    int32_t r;
    if (!__builtin_sub_overflow(a, b, &r) && r > arithmetic_floor) [[likely]]
        return int_handle(r);
    return make_double_cold(static_cast<double>(a) - static_cast<double>(b));
}

inline handle int_multiply(int32_t a, int32_t b)
{
    int32_t r;
    if (!__builtin_mul_overflow(a, b, &r) && r > arithmetic_floor) [[likely]]
        return int_handle(r);
    return make_double_cold(static_cast<double>(a) * static_cast<double>(b));
}

// The double v as the result of an arithmetic operation on the atoms a and b:
// in b's record when b is a temporary double, else in a's when a is one, else
// in a new double.  A temporary a whose record is not used is released.
[[gnu::always_inline]] inline handle double_result_consuming(handle a, handle b, double v)
{
    if (is_double(b) && rec(b).count < 1) {
        if (a != b)
            release(a);
        set_dbl(rec(b), v);
        return b;
    }
    if (is_double(a) && rec(a).count < 1) {
        set_dbl(rec(a), v);
        return a;
    }
    return make_double(v);
}

// `operand` applied to two atoms (operators.cpp) and to one atom (unary.cpp).
handle atoms_op_consuming(handle a, handle b);
handle atom_uop_consuming(handle x);

// The engine (elementwise.cpp): `operand` applied through nested sequences.
handle elementwise_consuming(handle a, handle b);
handle elementwise1_consuming(handle x);

// ---- comparison and keyed tables -----------------------------------------
// One total order and one equality over all objects; a sequence compares the
// same whether it is stored as bytes or as handles.  Every helper here borrows
// its arguments: no reference is taken, dropped or released, nothing is made.

// An atom as a number: a double's value, else the integer (converted exactly).
inline double atom_number(handle h)
{
    return is_double(h) ? dbl_value(h) : static_cast<double>(int_value(h));
}

// Order of two atoms: -1, 0 or 1.  Two integers compare as signed numbers; a
// double on either side makes it a comparison of doubles, where a NaN gives 0.
inline int32_t compare_atoms(handle a, handle b)
{
    if (!is_double(a) && !is_double(b)) {
        int32_t x = int_value(a), y = int_value(b);
        return (x > y) - (x < y);
    }
    double x = atom_number(a), y = atom_number(b);
    return (x > y) - (x < y);
}

// Equality of two atoms: integers when identical, otherwise numerically as
// doubles (a NaN equals nothing).
inline bool equal_atoms(handle a, handle b)
{
    if (!is_double(a) && !is_double(b))
        return a == b;
    return atom_number(a) == atom_number(b);
}

// Order and equality of any two objects (atoms below sequences; sequences
// element by element, the shorter one first when one is a prefix of the
// other).  Nesting depth is not limited by the C stack.
int32_t compare_objects(handle a, handle b);
bool equal_objects(handle a, handle b);

// ---- the key index's watch ------------------------------------------------------
// A key list searched often gets a hash index (keyed_tables.cpp), trusted only
// while neither the list nor any key in it has changed.  The records it relies
// on are marked watched; everything that changes a sequence in place, or frees
// its record, calls `before_change` on it first, which forgets every index
// when the record is watched.  A bit test when it is not.
extern uint64_t *watched_bits;
extern uint32_t watched_limit;
void forget_key_indexes();
inline bool is_watched(uint32_t index)
{
    return index < watched_limit && ((watched_bits[index >> 6] >> (index & 63)) & 1) != 0;
}
inline void before_change(handle s)
{
    if (is_watched(index_of(s))) [[unlikely]]
        forget_key_indexes();
}

// Binary search of `key` in the ascending key list `list` (a CAM structure),
// borrowing both: the 1-based position when present, else -(p + 1) where p
// is the number of keys below `key`.  A list stored as bytes is searched as
// the byte values it holds; an atom in place of a list holds no keys (-1).
int32_t key_search(handle list, handle key);

// ---- index rules, subscript and slice ----------------------------------------
// Positions are 1-based; a negative position counts from the end (-1 is the
// last element).  Every routine that takes a position converts it here, with
// its own operation name in the messages.

// The number a position argument stands for: an integer as it is, a double
// only when it holds an integral value inside the 32-bit range (and not
// -2147483648).  Anything else, a sequence included, ends the program with
// error_subscript_error naming `operation`.
int32_t position_value(handle k, const char *operation);

// A converted position counted from the end when negative: k + n + 1.
inline int32_t count_from_end(int32_t k, int32_t n) { return k < 0 ? k + n + 1 : k; }

// Converts k, counts it from the end of n elements and checks 1..n, ending
// the program with error_subscript_bound (operation, position, n) outside.
int32_t element_position(handle k, int32_t n, const char *operation);

// Element k (1-based, checked) of r, borrowed: a byte zero-extended to 0..255.
inline handle element_at(const record &r, int32_t k)
{
    return is_bytes(r) ? static_cast<handle>(bytes(r)[k - 1]) : words(r)[k - 1];
}

// A temporary is a counted object nobody holds; an owner temporary is a
// temporary sequence whose storage is its own (not a view), so its storage
// and its element handles may pass to a result as they are.
inline bool is_temporary(const record &r) { return r.count < 1; }
inline bool is_owner_temporary(const record &r) { return r.count < 1 && r.base == 0; }

// ---- concatenation, insertion and removal --------------------------------------
// Shared by the exported routines and the keyed assignment forms.  Both take
// s by the consuming rule: a temporary s gives its record (and, when it owns
// its storage, the storage and its handles) to the result; a held s is left
// as it was and the result is a new temporary.

// s with x inserted after its first k elements (s a sequence, 0 <= k <= n,
// already checked).  The result takes its own reference on x; it is a
// bytesequence when s is stored as bytes (or empty) and x is a byte.
handle insert_consuming(handle s, handle x, int32_t k);

// s without its element k (s a sequence, 1 <= k <= n, already checked).
handle remove_consuming(handle s, int32_t k);

// ---- start-up ------------------------------------------------------------------
// Records what start-up made (the start-up objects, never reported as leaked)
// and, the first time, installs the leak report when VORN_DEBUG asks for it.
// init_command_line and vorn_start call it as they end (program_kit.cpp).
void note_start_up();

// ---- assignment along a path, find and match -----------------------------------
// Nothing shared: the four assignment forms (path_assignment.cpp) and the
// searches (find_match.cpp) are reached only through their exported routines.

}  // namespace vorn::core
