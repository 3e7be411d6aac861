// Assigning along a path of subscripts: what changes in place and what is
// copied, bytesequences widening in place, MAP keys on the path, slices with
// every kind of value, the operator forms, and every report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "support.h"

namespace vorn_test {

// An object from its written form, as a temporary: 12, -3, 2.5 (a '.' makes
// a double), {a,b} (a sequence of handles, whatever the elements), b{1,2} (a
// bytesequence).  Also used by the find and match suite.
vorn_handle seq(const char *written);
// The written form of an object.
std::string text(vorn_handle h);

static vorn_handle parse(const char *&p)
{
    if (*p != '{' && *p != 'b') {
        char *end;
        double d = std::strtod(p, &end);
        bool whole = std::find(p, static_cast<const char *>(end), '.') == end;
        p = end;
        return whole ? static_cast<vorn_handle>(static_cast<int32_t>(d)) : make_double(d);
    }
    bool packed = *p == 'b';
    std::vector<vorn_handle> items;
    for (p += packed ? 2 : 1; *p != '}'; p += *p == ',')
        items.push_back(parse(p));
    ++p;
    int32_t n = static_cast<int32_t>(items.size());
    void *data = malloc(items.size() * sizeof(vorn_handle) + 1);
    if (packed)
        std::copy(items.begin(), items.end(), static_cast<unsigned char *>(data))[0] = 0;
    else
        std::transform(items.begin(), items.end(), static_cast<vorn_handle *>(data), reference);
    vorn_handle s = vorn_sequence_handle(new_sequence());
    vorn_record_of(s)->data = data;
    vorn_record_of(s)->length = packed ? -n : n;
    return s;
}

vorn_handle seq(const char *written) { return parse(written); }

std::string text(vorn_handle h)
{
    if (vorn_is_double(h)) {
        char b[32];
        snprintf(b, sizeof b, "%g", vorn_double_value(h));
        return std::strchr(b, '.') ? b : std::string(b) + ".0";
    }
    if (!vorn_is_sequence(h))
        return std::to_string(static_cast<int32_t>(h));
    std::string out = vorn_record_of(h)->length < 0 ? "b{" : "{";
    for (int32_t k = 1; k <= length(h); ++k)
        out += (k > 1 ? "," : "") + text(subscript(h, static_cast<vorn_handle>(k)));
    return out + "}";
}

}  // namespace vorn_test

using namespace vorn_test;

// Rows give the target, the operator code (-1: the plain form), the value
// ("" for the target itself), the path and the outcome.  Unused trailing
// subscripts are passed but never read.
TEST(PathAssign, ElementForms)
{
    leak_check leaks;
    struct row {
        const char *target;
        int32_t code;
        const char *value;
        int32_t n, a, b, c;
        const char *expected;
    } const rows[] = {
        {"{1,{2,{3,4}},5}", -1, "9", 3, 2, 2, -1, "{1,{2,{3,9}},5}"},
        {"{1,{2,3}}", -1, "{7}", 2, -1, 1, 0, "{1,{{7},3}}"},
        {"b{65,66,67}", -1, "90", 1, 2, 0, 0, "b{65,90,67}"},
        {"b{65,66,67}", -1, "1.5", 1, 3, 0, 0, "{65,66,1.5}"},
        {"b{65,66,67}", 0, "300", 1, 2, 0, 0, "{65,366,67}"},
        {"b{65,66,67}", 0, "1", 1, 1, 0, 0, "b{66,66,67}"},
        {"{1,b{65,66}}", 0, "1000", 2, 2, 2, 0, "{1,{65,1066}}"},  // bytes as the last level
        {"{{1,2},3}", 2, "{2,3}", 2, 1, 2, 0, "{{1,{4,6}},3}"},
        {"{{1,2},3}", -1, "", 1, 1, 0, 0, "{{{1,2},3},3}"},  // the target itself: copied first
        {"{{1,2},3}", 0, "", 1, 1, 0, 0, "{{{2,3},5},3}"},
    };
    for (const row &r : rows) {
        vorn_handle s = 0;
        assign(&s, seq(r.target));
        const vorn_handle first = s;
        vorn_handle v = *r.value ? seq(r.value) : s;
        if (r.code < 0)
            subscript_assign(&s, v, r.n, r.a, r.b, r.c);
        else
            subscript_arithmetic_assign(r.code, &s, v, r.n, r.a, r.b, r.c);
        EXPECT_EQ(text(s), r.expected) << r.target;
        EXPECT_EQ(s == first, *r.value != 0) << r.target;  // held alone: same record, widened or not
        assign(&s, 0);
    }
    EXPECT_EQ(leaks.made(), 0);
}

TEST(PathAssign, OnlySharedOrSlicedLevelsAreCopied)
{
    leak_check leaks;
    vorn_handle s = 0, t = 0;
    assign(&s, seq("{9,{8,{3,4}},5}"));
    void *const storage = vorn_record_of(s)->data;
    assign(&t, subscript(s, 2));  // t shares level 2
    vorn_handle deep = subscript(t, 2);
    subscript_assign(&s, 0, 3, 2, 2, 1);
    EXPECT_EQ(text(s), "{9,{8,{0,4}},5}");
    EXPECT_EQ(text(t), "{8,{3,4}}");
    EXPECT_EQ(vorn_record_of(s)->data, storage);
    EXPECT_EQ(refcount(t), 1);
    EXPECT_EQ(refcount(deep), 1);

    // A view at level 2 turns, in its own record, into the owner of a copy.
    subscript_assign(&s, slice(t, 1, 2), 1, 2);
    vorn_handle view = subscript(s, 2);
    EXPECT_EQ(refcount(t), 2);
    subscript_assign(&s, 6, 2, 2, 1);
    EXPECT_EQ(subscript(s, 2), view);
    EXPECT_EQ(vorn_record_of(view)->base, 0u);
    EXPECT_EQ(refcount(t), 1);
    EXPECT_EQ(text(s), "{9,{6,{3,4}},5}");
    assign(&s, 0);
    assign(&t, 0);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(PathAssign, MapKeysOnThePath)
{
    leak_check leaks;
    vorn_handle m = 0, other = 0, keys = 0, d = 0, f = 0;
    assign(&m, seq("{{},{}}"));
    assign(&other, m);  // a second holder of the same MAP
    const char *order[] = {"b", "a", "c"};
    for (int32_t k = 0; k < 3; ++k)
        subscript_assign(&m, static_cast<vorn_handle>(k + 1), 1, make_string(order[k]));
    assign(&keys, subscript(m, 1));  // a list taken out of the MAP
    subscript_assign(&m, 10, 1, make_string("b"));
    subscript_assign(&m, 5, 2, make_string("d"), make_string("x"));  // a nested MAP
    subscript_arithmetic_assign(2, &m, 3, 2, make_string("d"), make_string("x"));
    subscript_arithmetic_assign(2, &m, 7, 2, make_string("d"), make_string("y"));  // new: stored as is
    assign(&d, make_double(2.5));
    subscript_assign(&m, d, 1, make_string("e"));
    subscript_assign(&m, seq("{1,2,3}"), 1, make_string("g"));
    slice_assign(&m, 3, seq("b{8,9}"), 2, make_string("g"), 2);
    EXPECT_EQ(other, m);
    EXPECT_EQ(text(other), "{{b{97},b{98},b{99},b{100},b{101},b{103}},"
                           "{2,10,3,{{b{120},b{121}},b{15,7}},2.5,{1,8,9}}}");
    EXPECT_EQ(text(keys), "{b{97},b{98},b{99}}");
    EXPECT_EQ(refcount(d), 2);  // the variable and the value list

    // A held key gains one reference from the key list, none when found.
    assign(&f, make_string("f"));
    subscript_assign(&m, 1, 1, f);
    subscript_assign(&m, 2, 1, f);
    EXPECT_EQ(refcount(f), 2);

    // The MAP as the value reaches the old element, which must outlive the
    // operation (the MAP is never copied).
    assign(&m, seq("{{b{107}},{{1,2}}}"));
    subscript_arithmetic_assign(0, &m, m, 1, seq("b{107}"));
    EXPECT_EQ(text(m), "{{b{107}},{{{b{108}},{{3,4}}}}}");
    for (vorn_handle *v : {&m, &other, &keys, &d, &f})
        assign(v, 0);
    EXPECT_EQ(leaks.made(), 0);  // found temporary keys were destroyed
}

TEST(PathAssign, SliceForms)
{
    leak_check leaks;
    struct row {
        const char *target;
        int32_t code, lo, hi;
        const char *value, *expected;
    } const rows[] = {
        {"{1,2,3}", -1, 2, 3, "{7,{8}}", "{1,7,{8}}"},
        {"{1,2,3}", -1, 1, 2, "b{200,8}", "{200,8,3}"},
        {"{1,2,3}", -1, -2, -1, "2.5", "{1,2.5,2.5}"},
        {"b{1,2,3}", -1, 2, 3, "b{200,8}", "b{1,200,8}"},
        {"b{1,2,3}", -1, 1, 3, "9", "b{9,9,9}"},
        {"b{1,2,3}", -1, 2, 3, "{7,{8}}", "{1,7,{8}}"},
        {"b{1,2,3}", -1, 1, 2, "-1", "{-1,-1,3}"},
        {"{1,2,3}", -1, 3, 2, "{5}", "{1,2,3}"},            // empty: the value is not examined
        {"b{1,2,250,4}", 0, 1, 4, "10", "{11,12,260,14}"},  // widened at 3, 4 still combined
        {"b{1,2,3}", 0, 1, 3, "b{1,1,1}", "b{2,3,4}"},
        {"b{1,2}", 0, 1, 2, "{1,1000}", "{2,1002}"},
        {"{1,2,3}", 2, 2, 3, "b{10,20}", "{1,20,60}"},
        {"{1,2,3}", 0, 1, 3, "0.5", "{1.5,2.5,3.5}"},  // one temporary for three slots
        {"{1,2,3}", 0, 3, 2, "0.5", "{1,2,3}"},
        {"{{1,2},{3,4}}", 0, 1, 2, "", "{{2,4},{6,8}}"},  // the target itself
    };
    for (const row &r : rows) {
        vorn_handle s = 0;
        assign(&s, seq(r.target));
        vorn_handle v = *r.value ? seq(r.value) : s, hi = static_cast<vorn_handle>(r.hi);
        if (r.code < 0)
            slice_assign(&s, hi, v, 1, r.lo);
        else
            slice_arithmetic_assign(r.code, &s, hi, v, 1, r.lo);
        EXPECT_EQ(text(s), r.expected) << r.target << " <- " << r.value;
        assign(&s, 0);
    }

    vorn_handle s = 0, d = 0, v = 0;
    assign(&d, make_double(2.5));
    assign(&s, seq("{{1,2},3,4,5}"));
    slice_assign(&s, 4, d, 1, 2);
    EXPECT_EQ(refcount(d), 4);  // one per slot
    assign(&v, build_sequence(2, d, 7));
    slice_assign(&s, 3, v, 1, 2);               // held: copied
    slice_assign(&s, 4, slice(v, 1, 2), 1, 3);  // a temporary view: copied, then destroyed
    EXPECT_EQ(text(s), "{{1,2},2.5,2.5,7}");
    EXPECT_EQ(refcount(v), 1);
    EXPECT_EQ(refcount(d), 4);
    assign(&s, seq("{{1,2},3}"));
    slice_assign(&s, 2, s, 2, 1, 1);  // the variable's own sequence, one level down
    EXPECT_EQ(text(s), "{{{1,2},3},3}");
    for (vorn_handle *h : {&s, &d, &v})
        assign(h, 0);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(PathAssign, ReportsWithTheOperationName)
{
    using place = vorn_handle *;
    const struct {
        const char *target;
        void (*body)(place);
        const char *message;
    } rows[] = {
        {"{1}", [](place p) { subscript_assign(p, 1, 1, seq("1.5")); },
         "subscript assign : subscript error ! should be a integer .\n"},
        {"5", [](place p) { subscript_arithmetic_assign(0, p, 1, 1, seq("1.5")); },
         "arth_assign : subscript error ! should be a integer .\n"},
        {"{1}", [](place p) { slice_assign(p, seq("1.5"), 1, 1, 1); },
         "slice_assign : subscript error ! should be a integer .\n"},
        {"{1}", [](place p) { slice_arithmetic_assign(0, p, 1, 1, 1, seq("{}")); },
         "slice_arith_assign : subscript error ! should be a integer .\n"},
        {"5", [](place p) { subscript_assign(p, 1, 1, 1); },
         "assign subscript : cann't operate on a Atom .\n"},
        {"{1,2,3}", [](place p) { subscript_assign(p, 1, 1, -4); },
         "subscript assign : subscript 0 out of range [1 .. 3]\n"},
        {"b{1,2}", [](place p) { subscript_assign(p, 1, 2, 2, 3); },
         "subscript assign : subscript 2 out of range [1 .. -2]\n"},
        {"{1,2,3}", [](place p) { slice_assign(p, 1, 0, 2, 5, 1); },
         "slice_assign : subscript 5 .. out of range [1..3]\n"},
        {"{1,2,3}", [](place p) { slice_assign(p, 0, seq("{}"), 1, 1); },
         "slice_assign : .. subscript 0 out of range [1..3]\n"},
        {"{1,2,3}", [](place p) { slice_assign(p, 1, 0, 1, 3); },
         "slice_assign : slice length cannot be negative\n"},
        {"{1,2,3}", [](place p) { slice_arithmetic_assign(0, p, 3, seq("b{1}"), 1, 2); },
         "slice_arith_assign : sequence lengths are not the same (2 != 1)\n"},
        {"{1,2,3}", [](place p) { subscript_assign(p, 1, 1, seq("{1}")); },
         "No valid MAP construction (indexing)!\n"},
        {"{{},{}}", [](place p) { slice_assign(p, 1, 0, 2, seq("{1}"), 1); },
         "No Key found in Slice Assign !"},
        {"{{},{}}", [](place p) { slice_arithmetic_assign(0, p, 1, 0, 2, seq("{1}"), 1); },
         "No Key found in Slice_Arthmetic_Assign !"},
    };
    for (const auto &r : rows) {
        child_result c = run_child([&] {
            vorn_handle s = seq(r.target);
            r.body(&s);
        });
        EXPECT_EQ(c.out, std::string("RUN_TIME_ERROR : ") + r.message);
        EXPECT_EQ(c.status, 1);
    }
}
