// A fuzz target for `wrap_value`: the text as bytes, as handles (every fourth a double) and
// as a view all give the same temporary pair (character codes: the differential run).
#include "harness.h"

void fuzz_one(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return;
    std::vector<model::Value> bytes, words;
    for (size_t k = 0; k < size; ++k) {
        bytes.push_back(model::integer(data[k]));
        words.push_back(k % 4 == 3 ? model::dbl(data[k]) : bytes.back());
    }
    model::Value text = model::seq(bytes, model::Form::bytes), first;
    vorn_handle args[] = {build(text), build(model::seq(words, model::Form::words)),
                          build_view(text, 1, '7')};
    for (vorn_handle arg : args) {
        vorn_handle pair = wrap_value(arg);
        check(vorn_is_sequence(pair) && refcount(pair) == 0, "a temporary pair");
        model::Value got = decode(pair);
        check(got.size() == 2 && (first.size() == 0 || model::holds(got, first)),
              "the same pair for every form");
        first = got;
        destroy(pair);
    }
}
