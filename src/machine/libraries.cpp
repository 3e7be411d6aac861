// libraries.cpp -- loading shared libraries and finding routines in them by
// exact name, for the foreign calls; the start and stop hooks of the
// interface.  Owns the list of libraries this library has loaded.
#include <dlfcn.h>
#include <link.h>

#include <vector>

#include "../core/core.h"
#include "machine.h"

using namespace vorn::core;

namespace vorn::machine {
namespace {

// Every loader handle open_dll (or the program's own module) has given out, once
// each.  Libraries are never unloaded, so an entry stays valid for the run;
// a library argument that is not in the list names no library.
std::vector<void *> loaded;

void *remember(void *library)
{
    for (void *known : loaded)
        if (known == library)
            return library;
    loaded.push_back(library);
    return library;
}

// The loaded library a library argument names (borrowed), or null: 0, any
// word this library did not hand out, and anything that is no word at all.
void *named_library(vorn_handle library)
{
    int64_t word;
    if (!machine_word(library, word) || word == 0)
        return nullptr;
    if (static_cast<uintptr_t>(word) == program_image_base())
        return remember(dlopen(nullptr, RTLD_NOW));
    for (void *known : loaded)
        if (reinterpret_cast<int64_t>(known) == word)
            return known;
    return nullptr;
}

// True when `address` lies in `library` itself and not in one of the
// libraries it depends on (a loader look-up through a library handle also
// searches its dependencies).
bool defined_in(void *library, void *address)
{
    link_map *own = nullptr, *owner = nullptr;
    Dl_info info;
    if (dlinfo(library, RTLD_DI_LINKMAP, &own) != 0)
        return false;
    if (dladdr1(address, &info, reinterpret_cast<void **>(&owner), RTLD_DL_LINKMAP) == 0)
        return false;
    return owner == own;
}

// The address of the routine `name` (borrowed) in `library` as a word, -1
// when the library is not one this library loaded or does not define it.
vorn_handle find_routine(vorn_handle library, vorn_handle name)
{
    void *lib = named_library(library);
    if (lib == nullptr)
        return int_handle(-1);
    void *address = dlsym(lib, convert_string(name));
    if (address == nullptr || !defined_in(lib, address))
        return int_handle(-1);
    return integer_or_double(reinterpret_cast<int64_t>(address));
}

}  // namespace

}  // namespace vorn::machine

using namespace vorn::machine;

extern "C" {

// The library handle as a word (a temporary double when it is wider than an
// integer), 0 when the loader cannot load it.  Bare names are looked for in
// the loader's own search order; the same library gives the same handle.
// The name is borrowed.
VORN_API vorn_handle open_dll(vorn_handle name)
{
    void *library = dlopen(convert_string(name), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return 0;
    return integer_or_double(reinterpret_cast<int64_t>(remember(library)));
}

// One look-up under two names; both arguments are borrowed.
VORN_API vorn_handle define_c_proc(vorn_handle library, vorn_handle name)
{
    return find_routine(library, name);
}
VORN_API vorn_handle define_c_func(vorn_handle library, vorn_handle name)
{
    return find_routine(library, name);
}

VORN_API void define_c_var(vorn_handle, vorn_handle) { runtime_error("FIXME: not supported\n"); }

// The interface keeps nothing to set up or tear down.
VORN_API void init_dll_link(void) {}
VORN_API void fini_dll_link(void) {}

}  // extern "C"
