// records.h -- what the differential test and the fuzz targets share about
// the object table: counting live records, making a sequence record by hand,
// and reading a handle back as a model value with its storage forms.
#pragma once

#include <vorn.h>

#include <cstdlib>
#include <string>

#include "model.h"

// Records handed out and not on the free list.
inline int live_records()
{
    int free_count = 0;
    for (int32_t i = free_tail; i != 0; i = objects[i].count)
        ++free_count;
    return object_count - free_count;
}

// A temporary sequence over `data` (length negative for bytes), a view when `base` is set.
inline vorn_handle sequence_record(void *data, int32_t length, vorn_handle base)
{
    int32_t index = new_sequence();
    objects[index].data = data;
    objects[index].length = length;
    objects[index].base = base;
    return vorn_sequence_handle(index);
}

// A temporary holding `v` as a translated program makes its literals.
inline vorn_handle build(const model::Value &v)
{
    if (v.is_int())
        return vorn_handle(v.i);
    if (v.is_dbl())
        return vorn_double_handle(new_double(v.d));
    int32_t n = int32_t(v.size());
    if (v.bytes()) {
        auto *b = static_cast<unsigned char *>(std::malloc(size_t(n) + 1));
        for (int32_t k = 0; k < n; ++k)
            b[k] = static_cast<unsigned char>(v.elems[size_t(k)].i);
        b[n] = 0;
        return sequence_record(b, -n, 0);
    }
    auto *w = n ? static_cast<vorn_handle *>(std::malloc(size_t(n) * sizeof(vorn_handle))) : nullptr;
    for (int32_t k = 0; k < n; ++k)
        w[k] = reference(build(v.elems[size_t(k)]));
    return sequence_record(w, n, 0);
}

// A temporary view of `v` inside a new base that only the view holds, `pad`
// elements `fill` either side.
inline vorn_handle build_view(const model::Value &v, int pad, int fill = 'p')
{
    model::Value base = v;
    base.elems.insert(base.elems.begin(), size_t(pad), model::integer(fill));
    base.elems.insert(base.elems.end(), size_t(pad), model::integer(fill));
    vorn_handle b = build(base);
    int32_t n = int32_t(v.size()),
            width = objects[vorn_index(b)].length < 0 ? 1 : int32_t(sizeof(vorn_handle));
    char *data = static_cast<char *>(objects[vorn_index(b)].data) + pad * width;
    return sequence_record(data, width == 1 ? -n : n, reference(b));
}

// vorn's value of h in the model's terms, with its storage forms.
inline model::Value decode(vorn_handle h, std::string &problem, int depth = 0)
{
    if (vorn_is_integer(h))
        return model::integer(int32_t(h));
    if (vorn_is_double(h))
        return model::dbl(vorn_double_value(h));
    if (!vorn_is_sequence(h) || depth > 40) {
        problem = "a handle of no class, or nesting deeper than 40";
        return {};
    }
    const vorn_record &r = objects[vorn_index(h)];
    std::vector<model::Value> e;
    for (int32_t k = 0; k < -r.length; ++k)
        e.push_back(model::integer(static_cast<const unsigned char *>(r.data)[k]));
    for (int32_t k = 0; k < r.length && problem.empty(); ++k)
        e.push_back(decode(static_cast<const vorn_handle *>(r.data)[k], problem, depth + 1));
    return model::seq(std::move(e), r.length < 0 ? model::Form::bytes : model::Form::words);
}

inline bool forms_agree(const model::Value &got, const model::Value &want)
{
    if (want.bytes() != got.bytes() && want.size() > 0 && want.form != model::Form::unknown)
        return false;
    for (size_t k = 0; k < want.size(); ++k)
        if (!forms_agree(got.elems[k], want.elems[k]))
            return false;
    return true;
}

// h holds exactly `want`: the same numbers (doubles bit for bit) in the same storage forms.
inline bool holds(vorn_handle h, const model::Value &want)
{
    std::string problem;
    model::Value got = decode(h, problem);
    return problem.empty() && model::same(got, want) && forms_agree(got, want);
}
