// A fuzz target for reading numbers out of text (`wrap_value`): the input
// becomes a string stored as bytes, as handles, or as a view into a longer
// string, or a single character code.  Each status pair is checked against the
// reference model of the differential test, and no record may be left behind.
//
// Input: byte 0 picks the argument's form; the rest is the text.
#include <vorn.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

// The reference model is compiled into the target (one translation unit).
#include "../tests/differential/model.cpp"

namespace {

int live_records()
{
    int free_count = 0;
    for (int32_t i = free_tail; i != 0; i = objects[i].count)
        ++free_count;
    return object_count - free_count;
}

vorn_handle sequence_record(void *data, int32_t length, vorn_handle base)
{
    int32_t index = new_sequence();
    objects[index].data = data;
    objects[index].length = length;
    objects[index].base = base;
    return vorn_sequence_handle(index);
}

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

bool matches(vorn_handle h, const model::Value &v)
{
    if (v.is_int())
        return vorn_is_integer(h) && int32_t(h) == v.i;
    if (v.is_dbl())
        return vorn_is_double(h) && std::memcmp(&objects[vorn_index(h)].length, &v.d, sizeof v.d) == 0;
    if (!vorn_is_sequence(h))
        return false;
    const vorn_record &r = objects[vorn_index(h)];
    if (size_t(std::abs(r.length)) != v.size())
        return false;
    if (v.size() > 0 && v.form != model::Form::unknown && (r.length < 0) != (v.form == model::Form::bytes))
        return false;
    for (size_t k = 0; k < v.size(); ++k) {
        vorn_handle e = r.length < 0 ? static_cast<const unsigned char *>(r.data)[k]
                                     : static_cast<const vorn_handle *>(r.data)[k];
        if (!matches(e, v.elems[k]))
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    init_command_line(*argc, *argv);
    return 0;
}

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
    case 0: arg = bytes_of(text, n); value = model_text(text, n, false); break;
    case 1: arg = words_of(text, n); value = model_text(text, n, true); break;
    case 2: arg = view_of(text, n); value = model_text(text, n, false); break;
    default:
        arg = n ? text[0] : '0';
        value = model::integer(arg);
        break;
    }
    vorn_handle pair = wrap_value(arg);
    try {
        if (!matches(pair, model::wrap_value(value)))
            __builtin_trap();
    } catch (const model::Undefined &) {
        // An outcome the rules leave open: only the shape is checked.
        if (!vorn_is_sequence(pair) || std::abs(objects[vorn_index(pair)].length) != 2)
            __builtin_trap();
    }
    if (refcount(pair) != 0)
        __builtin_trap();
    destroy(pair);
    if (live_records() != before)
        __builtin_trap();
    return 0;
}
