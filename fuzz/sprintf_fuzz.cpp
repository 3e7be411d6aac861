// A fuzz target for the formatter: format text and argument object both come
// from the input, so every directive a program could build meets every kind
// of argument.  Beyond the sanitizers it checks that the result is a string
// whose length word matches its text, and that no record is left behind.
//
// Input: byte 0 picks the argument's kind (and whether the format is stored
// as bytes or as handles); the format text follows up to the first zero byte;
// the bytes after it describe the argument.
#define VORN_FUZZ_QUIET
#include "harness.h"

namespace {

vorn_handle integer(uint32_t v) { return vorn_handle(integer_of(v)); }
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
    check(vorn_is_sequence(result) && r->length <= 0 && r->count == 0 &&
              std::strlen(static_cast<const char *>(r->data)) == static_cast<size_t>(-r->length),
          "a temporary string whose length word matches its text");
    destroy(result);
    check(live_records() == before, "no record left behind");
    return 0;
}
