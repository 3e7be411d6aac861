// A fuzz target for `convert_string`: up to eight objects (atoms, texts as bytes, handles or
// views) converted in turn, each text checked against the model's after the last conversion
// (a pool slot reused too early shows); a bytesequence's text is its own storage.
#include "harness.h"

void fuzz_one(const uint8_t *data, size_t size)
{
    reader in{data, size};
    std::vector<model::Value> values;
    std::vector<vorn_handle> objs;
    std::vector<const char *> texts;
    while (in.n > 0 && objs.size() < 8) {
        bool view = in.byte() & 1;
        values.push_back(value_from(in, 1, false));
        objs.push_back(view && values.back().size() ? build_view(values.back(), 1, 'x')
                                                    : build(values.back()));
        texts.push_back(convert_string(objs.back()));
    }
    for (size_t k = 0; k < objs.size(); ++k) {
        std::string want = model::text_of(values[k]);
        check(want.c_str() == std::string(texts[k]), "the model's text (up to its first zero byte)");
        check(!values[k].bytes() || vorn_record_of(objs[k])->base != 0 ||
                  texts[k] == vorn_record_of(objs[k])->data,
              "a bytesequence's text is its own storage");
        if (vorn_is_object(objs[k]))
            destroy(objs[k]);
    }
}
