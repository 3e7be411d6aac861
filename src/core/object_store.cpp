// object_store.cpp -- the object table: handing out and recycling records,
// reference counting, destroying objects (views, nested structures),
// copy on write, widening bytesequences, and the type tests.
#include <cmath>
#include <vector>

#include "core.h"

// ---- exported state --------------------------------------------------------

extern "C" {
VORN_API vorn_record *objects = nullptr;
VORN_API int32_t object_count = 0;
VORN_API int32_t object_limit = 0;
VORN_API int32_t free_tail = 0;
VORN_API int32_t free_head = 0;
VORN_API vorn_record *news = nullptr;
VORN_API vorn_handle null_sequence = 0;
VORN_API int32_t commandline = 0;
VORN_API int32_t operand = 0;
VORN_API int32_t op_subscript = 0;
VORN_API int32_t op_slice = 0;
VORN_API int32_t op_subscript_assign = 0;
VORN_API int32_t op_subscript_arithmetic_assign = 0;
VORN_API int32_t op_slice_assign = 0;
VORN_API int32_t op_slice_arithmetic_assign = 0;
VORN_API int32_t op_build_sequence = 0;
VORN_API int32_t op_length = 0;
}

namespace vorn::core {

namespace {

// The block behind `objects`.  `object_limit` grows 256 records at a time, as
// programs see it; the block itself grows geometrically so that a table of
// millions of records is not copied thousands of times.  If a program ever
// replaces `objects` itself, its block is adopted as it stands.
vorn_record *table_block = nullptr;
size_t table_capacity = 0;

// A sequence whose elements are still being released by `destroy`: `next`
// counts down the positions not yet visited.
struct pending_sequence {
    uint32_t index;
    int32_t next;
};
std::vector<pending_sequence> pending;

void begin_destroy(handle h);

// Releases the elements of the sequence on top of `pending`, last to first,
// freeing doubles at once and descending into sequences that die.
void walk_top()
{
    pending_sequence &top = pending.back();
    const handle *w = words(objects[top.index]);
    // Nothing here makes a record, so the table stays put; the free list's
    // head is kept in a register while doubles are freed.
    record *table = objects;
    int32_t head = free_tail;
    int32_t next = top.next;
    while (next > 0) {
        handle e = w[--next];
        if (!is_object(e))
            continue;
        record &r = table[index_of(e)];
        if (--r.count != 0)
            continue;
        if (is_double(e)) {
            r.count = head;
            head = static_cast<int32_t>(index_of(e));
            continue;
        }
        free_tail = head;
        top.next = next;
        begin_destroy(e);  // may push: `top` is not used after this
        return;
    }
    free_tail = head;
    uint32_t i = top.index;
    pending.pop_back();
    if (objects[i].base == 0)
        std::free(objects[i].data);
    free_record(i);
}

// Frees h outright when it has no elements to walk, else leaves it pending.
void begin_destroy(handle h)
{
    uint32_t i = index_of(h);
    record &r = objects[i];
    if (!is_sequence(h)) {
        free_record(i);
        return;
    }
    before_change(h);
    if (r.base != 0) {
        // A view: its record goes after its base, if the base dies with it.
        pending.push_back({i, 0});
        handle b = r.base;
        if (--rec(b).count == 0)
            begin_destroy(b);
        return;
    }
    if (r.length > 0) {
        pending.push_back({i, r.length});
        return;
    }
    std::free(r.data);
    free_record(i);
}

// Copies the elements of r into fresh storage of its own, taking a reference
// on every counted element; a bytesequence stays a bytesequence.
void *copy_storage(const record &r)
{
    if (is_bytes(r)) {
        size_t n = static_cast<size_t>(-r.length);
        unsigned char *b = alloc_bytes(n);
        std::memcpy(b, r.data, n);
        b[n] = 0;
        return b;
    }
    size_t n = static_cast<size_t>(r.length);
    handle *w = alloc_words(n);
    const handle *src = words(r);
    for (size_t k = 0; k < n; ++k) {
        w[k] = src[k];
        take_ref(src[k]);
    }
    return w;
}

// Turns the bytesequence r (owning its storage) into a sequence of handles.
int32_t widen(record &r)
{
    int32_t n = -r.length;
    unsigned char *b = bytes(r);
    handle *w = alloc_words(static_cast<size_t>(n));
    for (int32_t k = 0; k < n; ++k)
        w[k] = b[k];
    std::free(b);
    r.data = w;
    r.length = n;
    return n;
}

}  // namespace

handle make_double_cold(double d) { return make_double(d); }

int32_t grow_table()
{
    if (objects != table_block) {
        table_block = objects;
        table_capacity = static_cast<size_t>(object_limit);
    }
    object_limit += 256;
    if (static_cast<size_t>(object_limit) > table_capacity) {
        size_t cap = table_capacity < 1024 ? 1024 : table_capacity * 2;
        while (cap < static_cast<size_t>(object_limit))
            cap *= 2;
        table_block = static_cast<vorn_record *>(std::realloc(objects, cap * sizeof(vorn_record)));
        table_capacity = cap;
        objects = table_block;
    }
    return object_limit;
}

}  // namespace vorn::core

using namespace vorn::core;

extern "C" {

VORN_API int32_t new_object(void) { return take_record(); }

VORN_API int32_t new_sequence(void)
{
    int32_t i = take_record();
    record &r = objects[i];
    r.data = nullptr;
    r.length = 0;
    r.base = 0;
    news = &r;
    return i;
}

VORN_API int32_t new_double(double value)
{
    int32_t i = take_record();
    set_dbl(objects[i], value);
    return i;
}

VORN_API vorn_handle build_string(const char *text)
{
    return make_bytes(text, std::strlen(text));
}

VORN_API vorn_handle reference(vorn_handle h)
{
    take_ref(h);
    return h;
}

VORN_API int32_t refcount(vorn_handle h) { return is_object(h) ? rec(h).count : 0; }

VORN_API int32_t length(vorn_handle h)
{
    if (!is_sequence(h))
        runtime_error("length of an atom is undefined\n");
    return count_of(rec(h));
}

VORN_FAST_PATHS_BEGIN
VORN_FAST_PATH VORN_API void assign(vorn_handle *variable, vorn_handle h)
{
    take_ref(h);
    drop_ref(*variable);
    *variable = h;
}
VORN_FAST_PATHS_END

VORN_API void destroy(vorn_handle h)
{
    if (is_double(h)) {
        free_record(index_of(h));
        return;
    }
    size_t bottom = pending.size();
    begin_destroy(h);
    while (pending.size() > bottom)
        walk_top();
}

VORN_API void only_sequence(vorn_handle *variable)
{
    handle h = *variable;
    if (!is_sequence(h))
        runtime_error(error_atom_error, "assign subscript");
    // The caller is about to write into the sequence: an index over it goes.
    before_change(h);
    record *r = &rec(h);
    if (r->count <= 1 && r->base == 0) {
        news = r;
        return;
    }
    if (--r->count > 0) {
        // Other holders remain: the variable gets a record of its own.
        void *data = copy_storage(*r);
        int32_t len = r->length;
        *variable = make_sequence(data, len);
        news->count = 1;
        return;
    }
    // A view held only by this variable becomes the owner of a copy.
    handle former_base = r->base;
    r->data = copy_storage(*r);
    r->base = 0;
    r->count = 1;
    drop_ref(former_base);
    news = &rec(h);
}

VORN_API void clobber_sequence(vorn_handle h)
{
    uint32_t i = index_of(h);
    before_change(h);
    record &r = objects[i];
    if (r.base != 0) {
        handle b = r.base;
        if (--rec(b).count == 0)
            clobber_sequence(b);
    } else {
        std::free(r.data);
    }
    free_record(i);
}

VORN_API void explode_sequence(void)
{
    before_change(seq_handle(static_cast<int32_t>(news - objects)));
    widen(*news);
}

VORN_API int32_t conv_byte2obj(vorn_handle h)
{
    before_change(h);
    news = &rec(h);
    return widen(*news);
}

VORN_API int32_t DBL2INT(vorn_handle h)
{
    if (!is_double(h))
        return INT32_MIN;
    double d = dbl_value(h);
    if (!(d >= -2147483648.0 && d < 2147483648.0))
        return INT32_MIN;
    int32_t i = static_cast<int32_t>(d);
    return static_cast<double>(i) == d ? i : INT32_MIN;
}

VORN_API int32_t platform(void) { return 2; }

VORN_API int32_t wrap_object(vorn_handle h)
{
    release(h);
    return 1;
}

VORN_API int32_t wrap_sequence(vorn_handle h)
{
    release(h);
    return is_sequence(h);
}

VORN_API int32_t wrap_atom(vorn_handle h)
{
    release(h);
    return !is_sequence(h);
}

VORN_API int32_t wrap_integer(vorn_handle h)
{
    release(h);
    return is_integer(h);
}

VORN_API int32_t wrap_bytesequence(vorn_handle h)
{
    int32_t answer = is_sequence(h) && rec(h).length < 0;
    release(h);
    return answer;
}

}  // extern "C"
