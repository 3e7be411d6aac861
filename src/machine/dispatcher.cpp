// dispatcher.cpp -- `machine`, the one entry to the low-level services a
// program reaches by number (cursor, raw memory, current directory, keys,
// break state, flushing), and the DOS interrupt entry, which is not offered.
#include <link.h>
#include <unistd.h>

#include <cstdio>

#include "../core/core.h"
#include "../io/io.h"
#include "machine.h"

using namespace vorn::core;

namespace {

// Id 23: the working directory as a new bytesequence owning its 81-byte
// buffer; an empty sequence when the directory cannot be read within it.
handle current_directory()
{
    unsigned char *buffer = alloc_bytes(80);
    if (getcwd(reinterpret_cast<char *>(buffer), 80) == nullptr) {
        std::free(buffer);
        return make_sequence(alloc_bytes(0), 0);
    }
    size_t n = std::strlen(reinterpret_cast<char *>(buffer));
    return make_sequence(buffer, -static_cast<int32_t>(n));
}

// Id 25: {row, column} of the cursor, 1-based.
handle cursor_position()
{
    vorn::io::screen_state s = vorn::io::console().state();
    handle *data = alloc_words(2);
    data[0] = int_handle(s.y + 1);
    data[1] = int_handle(s.x + 1);
    return make_sequence(data, 2);
}

// Id 55: where the program's image begins (its ELF header), as an integer
// when the integer class holds it, else as a double of the exact address.
int first_object_header(dl_phdr_info *info, size_t, void *out)
{
    for (int k = 0; k < info->dlpi_phnum; ++k) {
        const ElfW(Phdr) &p = info->dlpi_phdr[k];
        if (p.p_type == PT_LOAD && p.p_offset == 0) {
            *static_cast<uintptr_t *>(out) = info->dlpi_addr + p.p_vaddr;
            break;
        }
    }
    return 1;  // the first object is the program itself
}
handle program_image() { return integer_or_double(static_cast<int64_t>(vorn::machine::program_image_base())); }

// Id 63: 0 when the directory changed, -1 otherwise (an empty sequence or an
// atom changes nothing).  Releases x.
handle change_directory(handle x)
{
    int32_t result = -1;
    if (is_sequence(x) && count_of(rec(x)) > 0)
        result = chdir(convert_string(x)) == 0 ? 0 : -1;
    release(x);
    return int_handle(result);
}

// Id 6: cursor size 1, visible when x's value is not 0.  Releases x.
handle cursor_visibility(handle x)
{
    vorn::io::console().set_cursor_shape(1, x != 0);
    release(x);
    return 0;
}

handle not_implemented(int32_t id)
{
    std::printf("warning: machine id %d has not been implemented\n", id);
    return 0;
}

}  // namespace

uintptr_t vorn::machine::program_image_base()
{
    uintptr_t address = 0;
    dl_iterate_phdr(first_object_header, &address);
    return address;
}

extern "C" {

// The service `id` applied to x; ids without a service warn and give 0.
VORN_API vorn_handle machine(int32_t id, vorn_handle x)
{
    switch (id) {
    case 6:
        return cursor_visibility(x);
    case 16:
        return wrap_allocate(x);
    case 17:
        wrap_free(x);
        return 0;
    case 23:
        return current_directory();
    case 25:
        return cursor_position();
    case 26:
        return int_handle(vorn::io::wait_key());
    case 32:
        return wrap_allocate_low(x);
    case 33:
        wrap_free_low(x);  // does not return
    case 42:
        vorn::io::allow_break(static_cast<int32_t>(x));
        return 0;
    case 43:
        return int_handle(vorn::io::take_breakcount());
    case 55:
        return program_image();
    case 60:
        return int_handle(wrap_flush(static_cast<int32_t>(x)));
    case 63:
        return change_directory(x);
    default:
        return not_implemented(id);
    }
}

VORN_API vorn_handle wrap_dos_interrupt(vorn_handle) { runtime_error("Dos_int not implemented ! (sorry)\n"); }

}  // extern "C"
