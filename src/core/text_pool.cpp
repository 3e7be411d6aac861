// text_pool.cpp -- the text of an object: `convert_string` turns any object
// into zero-terminated text for the routines that hand text to the system.
// A string that owns its storage is handed out as it is; every other text is
// built in one of eight buffers used in rotation, so a text stays valid until
// eight further conversions.
#include <cmath>
#include <cstdio>

#include "core.h"

using namespace vorn::core;

namespace {

constexpr int pool_slots = 8;
char *pool[pool_slots];
size_t pool_size[pool_slots];
int pool_next = 0;

// The next buffer of the rotation, at least `size` bytes (contents discarded).
char *pool_buffer(size_t size)
{
    pool_next = (pool_next + 1) % pool_slots;
    if (pool_size[pool_next] < size) {
        std::free(pool[pool_next]);
        pool[pool_next] = static_cast<char *>(std::malloc(size));
        pool_size[pool_next] = size;
    }
    return pool[pool_next];
}

// The lowest 8 bits of a double truncated toward zero (0 for NaN and
// infinities, which have no integral value).
uint32_t low_byte(double d)
{
    if (!std::isfinite(d))
        return 0;
    return static_cast<uint32_t>(static_cast<int32_t>(std::fmod(std::trunc(d), 256.0))) & 0xFFu;
}

}  // namespace

extern "C" VORN_API char *convert_string(vorn_handle x)
{
    if (!is_sequence(x)) {
        char *text = pool_buffer(40);
        if (is_double(x))
            std::snprintf(text, 40, "%g", dbl_value(x));
        else
            std::snprintf(text, 40, "%d", int_value(x));
        return text;
    }
    record &r = rec(x);
    news = &r;
    if (r.length < 0 && r.base == 0)
        return static_cast<char *>(r.data);
    if (r.length < 0) {
        size_t n = static_cast<size_t>(-r.length);
        char *text = pool_buffer(n + 1);
        std::memcpy(text, r.data, n);
        text[n] = 0;
        return text;
    }
    if (r.length == 0) {
        char *text = pool_buffer(2);
        std::strcpy(text, " ");
        return text;
    }
    size_t n = static_cast<size_t>(r.length);
    char *text = pool_buffer(n + 1);
    const handle *w = words(r);
    for (size_t k = 0; k < n; ++k) {
        handle e = w[k];
        if (is_sequence(e))
            runtime_error("sequence found inside character string");
        text[k] = static_cast<char>(is_double(e) ? low_byte(dbl_value(e)) : e);
    }
    text[n] = 0;
    return text;
}
