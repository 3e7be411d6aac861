// A fuzz target for reading numbers out of text (`wrap_value`): the input text
// is read stored as bytes, as handles (every fourth character a double of the
// same value) and as a view into a longer string; all three must give the same
// temporary pair, and no record may be left behind.  A single character code
// gives {0, its digit} or {1, 0}.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return 0;
    int before = live_records();
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
    int c = size ? data[0] : '0', digit = c >= '0' && c <= '9';
    model::Value want =
        model::seq({model::integer(!digit), model::integer(digit ? c - '0' : 0)}, model::Form::bytes);
    vorn_handle pair = wrap_value(vorn_handle(c));
    check(model::holds(decode(pair), want), "a character code's pair");
    destroy(pair);
    check(live_records() == before, "no record left behind");
    return 0;
}
