// low_memory.cpp -- the low region behind raw-memory addresses: pieces of
// memory mapped below 2 GiB (read and write, no execute), each run by
// mimalloc as an exclusive arena with a heap of its own.
//
// mimalloc is loaded with local symbol scope.  The distribution's library
// also defines malloc, free and operator new; linked into the process it
// would take those over for every caller, so only the few calls named below
// are looked up in it and nothing else in the process ever resolves to it.
#include <dlfcn.h>
#include <mimalloc.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>

#include "machine.h"

#ifndef VORN_MIMALLOC_SONAME
#define VORN_MIMALLOC_SONAME "libmimalloc.so.2"
#endif

namespace vorn::machine {
namespace {

constexpr uintptr_t low_limit = uintptr_t{1} << 31;
constexpr unsigned slot_shift = 26;  // arenas are aligned to 64 MiB
constexpr size_t slot_size = size_t{1} << slot_shift;
constexpr size_t piece_size = 4 * slot_size;  // the usual growth step
// What a block needs beside itself in an empty piece: mimalloc keeps a
// block's segment bookkeeping in front of it (measured: 4 MiB).
constexpr size_t block_overhead = size_t{5} << 20;
constexpr int max_pieces = static_cast<int>(low_limit >> slot_shift);

// The calls the region makes into mimalloc.
struct allocator_calls {
    decltype(&mi_manage_os_memory_ex) manage;
    decltype(&mi_heap_new_in_arena) new_heap;
    decltype(&mi_heap_malloc) malloc;
    decltype(&mi_free) free;
};
allocator_calls mi;

// The mapped pieces, each with its heap.  Invariant: a piece starts on a
// 64 MiB boundary, its size is a multiple of 64 MiB and it ends at or below
// 2 GiB; bit k of `owned_slots` is set exactly when the 64 MiB at k * 64 MiB
// belong to a piece.
mi_heap_t *heaps[max_pieces];
int piece_count = 0;
int current = 0;  // the piece that served the last allocation
uint32_t owned_slots = 0;

template <typename F> bool bind(void *lib, F &call, const char *name)
{
    call = reinterpret_cast<F>(dlsym(lib, name));
    return call != nullptr;
}

bool bind_allocator()
{
    void *lib = dlopen(VORN_MIMALLOC_SONAME, RTLD_NOW | RTLD_LOCAL);
    return lib != nullptr && bind(lib, mi.manage, "mi_manage_os_memory_ex") &&
           bind(lib, mi.new_heap, "mi_heap_new_in_arena") && bind(lib, mi.malloc, "mi_heap_malloc") &&
           bind(lib, mi.free, "mi_free");
}

bool allocator_ready()
{
    static const bool ready = bind_allocator();
    return ready;
}

size_t round_to_slots(size_t n) { return (n + slot_size - 1) & ~(slot_size - 1); }

constexpr int map_flags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE;

// `size` bytes where the kernel's 32-bit window has room, trimmed to a
// 64 MiB boundary; 0 when the window is full (or the result lies too high).
uintptr_t map_in_32bit_window(size_t size)
{
    size_t span = size + slot_size;
    void *m = mmap(nullptr, span, PROT_READ | PROT_WRITE, map_flags | MAP_32BIT, -1, 0);
    if (m == MAP_FAILED)
        return 0;
    uintptr_t base = reinterpret_cast<uintptr_t>(m);
    uintptr_t start = round_to_slots(base);
    if (start + size > low_limit) {
        munmap(m, span);
        return 0;
    }
    if (start > base)
        munmap(m, start - base);
    if (base + span > start + size)
        munmap(reinterpret_cast<void *>(start + size), base + span - (start + size));
    return start;
}

// `size` bytes at the highest free 64 MiB boundary below 2 GiB (leaving the
// lowest 64 MiB to the program's own image and data); 0 when none is free.
uintptr_t map_below_window(size_t size)
{
    for (uintptr_t a = (low_limit - size) & ~(slot_size - 1); a >= slot_size; a -= slot_size) {
        void *m = mmap(reinterpret_cast<void *>(a), size, PROT_READ | PROT_WRITE,
                       map_flags | MAP_FIXED_NOREPLACE, -1, 0);
        if (m == reinterpret_cast<void *>(a))
            return a;
        if (m != MAP_FAILED)  // a kernel that took the address as a hint only
            munmap(m, size);
    }
    return 0;
}

uintptr_t map_low(size_t size)
{
    uintptr_t start = map_in_32bit_window(size);
    return start != 0 ? start : map_below_window(size);
}

// Registers [start, start + size) as an exclusive arena with its own heap.
bool register_piece(uintptr_t start, size_t size)
{
    mi_arena_id_t arena;
    if (!mi.manage(reinterpret_cast<void *>(start), size, true, false, true, -1, true, &arena))
        return false;
    mi_heap_t *heap = mi.new_heap(arena);
    if (heap == nullptr)
        return false;
    heaps[piece_count++] = heap;
    for (uintptr_t a = start; a < start + size; a += slot_size)
        owned_slots |= uint32_t{1} << (a >> slot_shift);
    return true;
}

// A new piece with room for a block of n bytes (the usual step, or as much
// as the block needs beside the allocator's own bookkeeping); false when the
// low 2 GiB have no such room.
bool add_piece(size_t n)
{
    if (piece_count == max_pieces || !allocator_ready())
        return false;
    size_t least = round_to_slots(n + block_overhead);
    for (size_t size : {std::max(piece_size, least), least}) {
        uintptr_t start = map_low(size);
        if (start == 0)
            continue;
        if (register_piece(start, size))
            return true;
        munmap(reinterpret_cast<void *>(start), size);
        return false;
    }
    return false;
}

// The block from the first piece, starting at the last one used, that has
// room for it.
void *allocate_in_pieces(size_t n)
{
    for (int k = 0; k < piece_count; ++k) {
        int p = (current + k) % piece_count;
        if (void *block = mi.malloc(heaps[p], n)) {
            current = p;
            return block;
        }
    }
    return nullptr;
}

}  // namespace

void *low_allocate(size_t n)
{
    if (n > low_limit - 2 * slot_size)
        return nullptr;
    if (void *block = allocate_in_pieces(n))
        return block;
    if (!add_piece(n))
        return nullptr;
    current = piece_count - 1;
    return mi.malloc(heaps[current], n);
}

bool in_low_region(const void *p)
{
    uintptr_t a = reinterpret_cast<uintptr_t>(p);
    return a < low_limit && (owned_slots >> (a >> slot_shift) & 1) != 0;
}

void low_free(void *p)
{
    if (in_low_region(p))
        mi.free(p);
    else
        std::free(p);
}

}  // namespace vorn::machine
