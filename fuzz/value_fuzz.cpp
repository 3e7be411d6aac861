// A fuzz target for reading numbers out of text (`wrap_value`): the input
// becomes a string stored as bytes, as handles, or as a view into a longer
// string, or a single character code.  Each status pair is checked against the
// reference model of the differential test, and no record may be left behind.
//
// Input: byte 0 picks the argument's form; the rest is the text.
#include "harness.h"

namespace {

// The text, stored as bytes, or as handles with every fourth character a double of the same whole value.
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
    // Bytes, handles, a view with a digit either side, or one character code.
    model::Value value =
        data[0] % 4 == 3 ? model::integer(n ? text[0] : '0') : model_text(text, n, data[0] % 4 == 1);
    vorn_handle arg = data[0] % 4 == 2 ? build_view(value, 1, '7') : build(value);
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
