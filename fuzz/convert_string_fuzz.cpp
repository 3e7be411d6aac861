// A fuzz target for the text of an object (`convert_string`): up to eight
// objects from the input (atoms, texts as bytes, as handles or as views) are
// converted one after the other; every text is checked against the model's
// after the last conversion (a pool slot reused too early shows), and a text
// stored as bytes must come back as its own storage.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    reader in{data, size};
    int before = live_records();
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
    check(live_records() == before, "no record left behind");
    return 0;
}
