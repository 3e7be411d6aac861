// A fuzz target for the text of an object (`convert_string`): the input
// describes up to eight objects (integers, doubles, strings stored as bytes or
// as handles, views, empty sequences), all converted one after the other.
// Every text is checked against the reference model of the differential test
// after the last conversion, so a pool slot reused too early shows; a string
// that owns its bytes must come back as its own storage.
//
// Input: a stream of objects, each a kind byte and then its description.
#include "harness.h"

namespace {

// A double from the input, kept within the range a character is cut from.
double double_of(reader &in) { return double(integer_of(in.word())) + (in.byte() % 4) * 0.25; }

struct object {
    vorn_handle h;
    model::Value value;
    bool owns_bytes;  // its text is its own storage
};

object make_object(reader &in)
{
    uint8_t kind = in.byte();
    size_t n = in.byte() % 24;
    switch (kind % 6) {
    case 0: {
        int32_t v = integer_of(in.word());
        return {vorn_handle(v), model::integer(v), false};
    }
    case 1: {
        double d = kind & 0x80 ? double_of(in) : double(integer_of(in.word())) / 7.0;
        return {vorn_double_handle(new_double(d)), model::dbl(d), false};
    }
    case 2:
    case 3: {  // bytes, owning their storage or a view into a longer string
        bool view = kind % 6 == 3;
        auto *b = static_cast<unsigned char *>(std::malloc(n + 3));
        std::vector<model::Value> e;
        for (size_t k = 0; k < n; ++k) {
            b[k + 1] = in.byte();
            e.push_back(model::integer(b[k + 1]));
        }
        b[0] = 'x';
        b[n + 1] = 'y';
        b[n + 2] = 0;
        model::Value v = model::seq(e, model::Form::bytes);
        if (!view) {
            std::memmove(b, b + 1, n);
            b[n] = 0;
            return {sequence_record(b, -int32_t(n), 0), v, n > 0};
        }
        vorn_handle base = sequence_record(b, -int32_t(n + 2), 0);
        return {sequence_record(b + 1, -int32_t(n), reference(base)), v, false};
    }
    default: {  // handles: integers of any size, doubles, bytes
        auto *w = static_cast<vorn_handle *>(std::malloc(n ? n * sizeof(vorn_handle) : 1));
        std::vector<model::Value> e;
        for (size_t k = 0; k < n; ++k) {
            uint8_t how = in.byte();
            if (how % 3 == 0) {
                int32_t v = integer_of(in.word());
                w[k] = vorn_handle(v);
                e.push_back(model::integer(v));
            } else if (how % 3 == 1) {
                double d = double_of(in);
                w[k] = reference(vorn_double_handle(new_double(d)));
                e.push_back(model::dbl(d));
            } else {
                w[k] = in.byte();
                e.push_back(model::integer(w[k]));
            }
        }
        return {sequence_record(w, int32_t(n), 0), model::seq(e, model::Form::words), false};
    }
    }
}

void release(vorn_handle h)
{
    if (vorn_is_object(h) && refcount(h) < 1)
        destroy(h);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    reader in{data, size};
    int before = live_records();
    std::vector<object> objs;
    std::vector<const char *> texts;
    while (!in.done() && objs.size() < 8) {
        objs.push_back(make_object(in));
        texts.push_back(convert_string(objs.back().h));
    }
    for (size_t k = 0; k < objs.size(); ++k) {
        std::string want = model::text_of(objs[k].value);
        // The platform sees the text up to its first zero byte.
        check(std::strcmp(texts[k], std::string(want.c_str()).c_str()) == 0, "the model's text");
        check(!objs[k].owns_bytes || texts[k] == objects[vorn_index(objs[k].h)].data, "its own storage");
    }
    for (const object &o : objs)
        release(o.h);
    check(live_records() == before, "no record left behind");
    return 0;
}
