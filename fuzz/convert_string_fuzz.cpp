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

// One element of a sequence of handles: an integer of any size, a double or a byte.
model::Value element(reader &in)
{
    uint8_t how = in.byte();
    return how % 3 == 0   ? model::integer(integer_of(in.word()))
           : how % 3 == 1 ? model::dbl(double_of(in))
                          : model::integer(in.byte());
}

model::Value make_value(reader &in, uint8_t kind, size_t n)
{
    std::vector<model::Value> e;
    switch (kind % 6) {
    case 0:
        return model::integer(integer_of(in.word()));
    case 1:
        return model::dbl(kind & 0x80 ? double_of(in) : double(integer_of(in.word())) / 7.0);
    case 2:
    case 3:  // bytes, owning their storage or a view into a longer string
        for (size_t k = 0; k < n; ++k)
            e.push_back(model::integer(in.byte()));
        return model::seq(e, model::Form::bytes);
    default:  // handles: integers of any size, doubles, bytes
        for (size_t k = 0; k < n; ++k)
            e.push_back(element(in));
        return model::seq(e, model::Form::words);
    }
}

object make_object(reader &in)
{
    uint8_t kind = in.byte();
    model::Value v = make_value(in, kind, in.byte() % 24);
    bool view = kind % 6 == 3;
    return {view ? build_view(v, 1, 'x') : build(v), v, !view && v.bytes()};
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
