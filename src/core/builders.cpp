// builders.cpp -- building sequences: the start-up objects (command line and
// the shared empty sequence), sequence literals with byte packing,
// repetitions, and the clean-up that ends every procedure and function.
#include <cstdarg>

#include "core.h"

using namespace vorn::core;

namespace {

// Drops one reference from each of the n handles in the argument list.
void drop_refs(int32_t n, va_list ap)
{
    for (int32_t k = 0; k < n; ++k)
        drop_ref(va_arg(ap, handle));
}

}  // namespace

extern "C" {

VORN_API void init_command_line(int argc, char **argv)
{
    handle line = make_sequence(alloc_words(static_cast<size_t>(argc)), argc);
    news->count = 1;
    commandline = static_cast<int32_t>(index_of(line));
    for (int k = 0; k < argc; ++k) {
        handle arg = make_bytes(argv[k], std::strlen(argv[k]));
        rec(arg).count = 1;
        words(rec(line))[k] = arg;
    }
    null_sequence = make_sequence(nullptr, 0);
    news->count = 1;
    note_start_up();
}

VORN_API vorn_handle command_line(void) { return seq_handle(commandline); }

VORN_API vorn_handle build_sequence(int32_t count, ...)
{
    size_t n = static_cast<size_t>(count);
    handle *w = alloc_words(n);
    bool all_bytes = true;
    va_list ap;
    va_start(ap, count);
    for (size_t k = 0; k < n; ++k) {
        handle e = va_arg(ap, handle);
        w[k] = e;
        take_ref(e);
        all_bytes = all_bytes && is_byte(e);
    }
    va_end(ap);
    if (!all_bytes || n == 0)
        return make_sequence(w, count);
    // Every element is a byte: pack them at the start of the same block.
    unsigned char *b = reinterpret_cast<unsigned char *>(w);
    for (size_t k = 0; k < n; ++k)
        b[k] = static_cast<unsigned char>(w[k]);
    b[n] = 0;
    return make_sequence(b, -count);
}

VORN_API vorn_handle repeat(vorn_handle x, vorn_handle n)
{
    if (!is_integer(n))
        runtime_error("sec. arg of repeat must be a integer\n");
    int32_t count = int_value(n);
    if (count <= 0) {
        // A negative count has no meaning; it repeats nothing, like 0.
        release(x);
        return null_sequence;
    }
    size_t len = static_cast<size_t>(count);
    if (x <= 255) {
        unsigned char *b = alloc_bytes(len);
        std::memset(b, static_cast<int>(x), len);
        b[len] = 0;
        return make_sequence(b, -count);
    }
    handle *w = alloc_words(len);
    for (size_t k = 0; k < len; ++k)
        w[k] = x;
    if (is_object(x))
        rec(x).count += count;
    return make_sequence(w, count);
}

VORN_API void proc_cleanup(int32_t count, ...)
{
    va_list ap;
    va_start(ap, count);
    drop_refs(count, ap);
    va_end(ap);
}

VORN_API vorn_handle func_cleanup(vorn_handle result, int32_t count, ...)
{
    if (is_object(result)) {
        ++rec(result).count;
        if (is_sequence(result) && rec(result).base != 0)
            only_sequence(&result);
    }
    va_list ap;
    va_start(ap, count);
    drop_refs(count, ap);
    va_end(ap);
    if (is_object(result) && rec(result).count != 0)
        --rec(result).count;
    return result;
}

}  // extern "C"
