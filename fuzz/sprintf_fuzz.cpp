// A fuzz target for the formatter: every directive meets every kind of argument (no text
// with a sequence inside: fatal by design); the result is a temporary of the right length.
// Input: byte 0 (bit 7: format as handles), the format up to a zero byte, the argument.
#define VORN_FUZZ_QUIET
#include "harness.h"

void fuzz_one(const uint8_t *data, size_t size)
{
    if (size < 1)
        return;
    const uint8_t *text = data + 1, *end = static_cast<const uint8_t *>(std::memchr(text, 0, size - 1));
    size_t n = end ? size_t(end - text) : size - 1;
    std::vector<model::Value> format;
    for (size_t k = 0, run = 0; k < n; ++k) {
        run = text[k] >= '0' && text[k] <= '9' ? run + 1 : 0;
        if (run > 4)
            return;  // widths and precisions of at most four digits keep the output small
        format.push_back(model::integer(text[k]));
    }
    reader in{text + n + (end != nullptr), size - 1 - n - (end != nullptr)};
    model::Form form = data[0] & 0x80 ? model::Form::words : model::Form::bytes;
    vorn_handle result = wrap_sprintf(build(model::seq(format, form)), build(value_from(in, 2, true)));
    const vorn_record *r = vorn_record_of(result);
    check(vorn_is_sequence(result) && r->length <= 0 && r->count == 0 &&
              std::strlen(static_cast<const char *>(r->data)) == size_t(-r->length),
          "a temporary string whose length word matches its text");
    destroy(result);
}
