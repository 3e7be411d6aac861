// A fuzz target for the formatter: format text and argument object both come
// from the input, so every directive a program could build meets every kind
// of argument.  Beyond the sanitizers it checks that the result is a string
// whose length word matches its text, and that no record is left behind.
//
// Input: byte 0 picks the argument's kind (and whether the format is stored
// as bytes or as handles); the format text follows up to the first zero byte;
// the bytes after it describe the argument.
#include <vorn.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

// Records in use: the table's high mark less the free list.
int live_records()
{
    int free_count = 0;
    for (int32_t i = free_tail; i != 0; i = objects[i].count)
        ++free_count;
    return object_count - free_count;
}

// Reads the argument description from a cursor over the input.
struct reader {
    const uint8_t *p;
    size_t n;
    uint8_t byte() { return n ? (--n, *p++) : 0; }
    uint32_t word()
    {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k)
            v = v << 8 | byte();
        return v;
    }
    double real()
    {
        uint64_t bits = static_cast<uint64_t>(word()) << 32 | word();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
};

// Any 32-bit value made a member of the integer class.
vorn_handle integer(uint32_t v) { return (v & 0xC0000000u) == 0x80000000u ? v & 0x7FFFFFFFu : v; }

vorn_handle real(double d) { return vorn_double_handle(new_double(d)); }

// A string of up to 15 bytes from the input (a zero byte included).
vorn_handle string(reader &in)
{
    uint8_t len = in.byte() & 15;
    vorn_handle s = build_sequence(0);
    for (uint8_t k = 0; k < len; ++k)
        s = append(s, in.byte());
    return s;
}

// One element of a sequence argument: never deeper than a sequence of atoms,
// since a text with a sequence inside is a fatal error by design.
vorn_handle element(reader &in, bool nested)
{
    switch (in.byte() % (nested ? 3 : 6)) {
    case 0:
        return integer(in.word());
    case 1:
        return real(in.real());
    case 2:
        return in.byte();
    case 3:
        return string(in);
    case 4:
        return build_sequence(0);
    default: {
        vorn_handle s = build_sequence(0);
        for (uint8_t k = in.byte() & 7; k > 0; --k)
            s = append(s, element(in, true));
        return s;
    }
    }
}

vorn_handle argument(uint8_t kind, reader &in)
{
    switch (kind % 5) {
    case 0:
        return integer(in.word());
    case 1:
        return real(in.real());
    case 2:
        return string(in);
    case 3: {
        vorn_handle s = build_sequence(0);
        for (uint8_t k = in.byte() & 15; k > 0; --k)
            s = append(s, element(in, false));
        return s;
    }
    default:
        return build_sequence(0);
    }
}

// Field widths and precisions of at most four digits keep one input's
// output small; larger ones only cost memory and time.
bool digits_bounded(const uint8_t *text, size_t n)
{
    size_t run = 0;
    for (size_t k = 0; k < n; ++k) {
        run = text[k] >= '0' && text[k] <= '9' ? run + 1 : 0;
        if (run > 4)
            return false;
    }
    return true;
}

vorn_handle format(const uint8_t *text, size_t n, bool as_handles)
{
    vorn_handle f = build_sequence(0);
    for (size_t k = 0; k < n; ++k)
        f = append(f, text[k]);
    if (as_handles && n > 0)
        conv_byte2obj(f);
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    init_command_line(*argc, *argv);
    init_files();
    // The formatter's warning lines go to standard output; keep them quiet.
    if (std::freopen("/dev/null", "w", stdout) == nullptr)
        return 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    uint8_t kind = data[0];
    const uint8_t *text = data + 1;
    const uint8_t *end = static_cast<const uint8_t *>(std::memchr(text, 0, size - 1));
    size_t text_n = end ? static_cast<size_t>(end - text) : size - 1;
    if (!digits_bounded(text, text_n))
        return 0;
    reader in{text + text_n + (end ? 1 : 0), size - 1 - text_n - (end ? 1 : 0)};

    int before = live_records();
    vorn_handle result = wrap_sprintf(format(text, text_n, kind & 0x80), argument(kind, in));
    const vorn_record *r = vorn_record_of(result);
    if (!vorn_is_sequence(result) || r->length > 0 || r->count != 0 ||
        std::strlen(static_cast<const char *>(r->data)) != static_cast<size_t>(-r->length))
        __builtin_trap();
    destroy(result);
    if (live_records() != before)
        __builtin_trap();
    return 0;
}
