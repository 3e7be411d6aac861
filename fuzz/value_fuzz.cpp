// A fuzz target for reading numbers out of text (`wrap_value`): the input
// becomes a string stored as bytes, as handles, or as a view into a longer
// string, or a single character code.  Each status pair is checked against the
// reference model of the differential test, and no record may be left behind.
//
// Input: byte 0 picks the argument's form; the rest is the text.
#include "harness.h"

namespace {

vorn_handle bytes_of(const uint8_t *text, size_t n)
{
    auto *b = static_cast<unsigned char *>(std::malloc(n + 1));
    std::memcpy(b, text, n);
    b[n] = 0;
    return sequence_record(b, -int32_t(n), 0);
}

// Handles: every fourth character becomes a double of the same whole value.
vorn_handle words_of(const uint8_t *text, size_t n)
{
    auto *w = static_cast<vorn_handle *>(std::malloc(n ? n * sizeof(vorn_handle) : 1));
    for (size_t k = 0; k < n; ++k)
        w[k] = k % 4 == 3 ? reference(vorn_double_handle(new_double(text[k]))) : text[k];
    return sequence_record(w, int32_t(n), 0);
}

// A temporary view of the text inside a base with a byte either side.
vorn_handle view_of(const uint8_t *text, size_t n)
{
    auto *b = static_cast<unsigned char *>(std::malloc(n + 3));
    b[0] = '7';
    std::memcpy(b + 1, text, n);
    b[n + 1] = '7';
    b[n + 2] = 0;
    vorn_handle base = sequence_record(b, -int32_t(n + 2), 0);
    return sequence_record(b + 1, -int32_t(n), reference(base));
}

model::Value model_text(const uint8_t *text, size_t n, bool as_words)
{
    std::vector<model::Value> e;
    for (size_t k = 0; k < n; ++k)
        e.push_back(as_words && k % 4 == 3 ? model::dbl(text[k]) : model::integer(text[k]));
    return model::seq(e, as_words ? model::Form::words : model::Form::bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 4096)
        return 0;
    const uint8_t *text = data + 1;
    size_t n = size - 1;
    int before = live_records();
    vorn_handle arg;
    model::Value value;
    switch (data[0] % 4) {
    case 0:
        arg = bytes_of(text, n);
        value = model_text(text, n, false);
        break;
    case 1:
        arg = words_of(text, n);
        value = model_text(text, n, true);
        break;
    case 2:
        arg = view_of(text, n);
        value = model_text(text, n, false);
        break;
    default:
        arg = n ? text[0] : '0';
        value = model::integer(arg);
        break;
    }
    vorn_handle pair = wrap_value(arg);
    try {
        check(holds(pair, model::wrap_value(value)), "the pair the model gives");
    } catch (const model::Undefined &) {
        // An outcome the rules leave open: only the shape is checked.
        check(vorn_is_sequence(pair) && std::abs(objects[vorn_index(pair)].length) == 2, "a pair");
    }
    check(refcount(pair) == 0, "a temporary pair");
    destroy(pair);
    check(live_records() == before, "no record left behind");
    return 0;
}
