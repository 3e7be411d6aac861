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
inline handle *alloc_words(size_t n) { return static_cast<handle *>(std::malloc(n ? n * sizeof(handle) : 1)); }
inline unsigned char *alloc_bytes(size_t n) { return static_cast<unsigned char *>(std::malloc(n + 1)); }

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

// ---- comparison and keyed tables -----------------------------------------

// ---- index rules, subscript and slice ----------------------------------------

// ---- concatenation, insertion and removal --------------------------------------

}  // namespace vorn::core
