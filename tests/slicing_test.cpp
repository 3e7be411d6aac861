// Subscripts and slices beyond the differential run: views sharing their base,
// the shared empty sequence, MAP keys along an assignment's path, reports.
#include "support.h"

using namespace vorn_test;

using Subscript = store_test;
using Slice = store_test;
using PathAssign = store_test;

namespace {

// The variable of a fatal run (in a child), holding the object written as `seq` reads it.
vorn_handle *var(const char *written)
{
    static vorn_handle s;
    s = seq(written);
    return &s;
}

}  // namespace

TEST_F(Slice, ViewsOfViewsNameTheBaseAndEmptySlicesAreShared)
{
    // A view of a temporary view names the base and uses the source up; it outlives the base's variable.
    vorn_handle s = held(words_of({1, 2, 3, 4, 5})),
                vv = slice(slice(s, 2, static_cast<vorn_handle>(-2)), 2, 3);
    EXPECT_EQ(vorn_record_of(vv)->base, s);
    EXPECT_EQ(vorn_record_of(vv)->data, static_cast<vorn_handle *>(vorn_record_of(s)->data) + 2);
    EXPECT_EQ(counts({s}), "2");
    assign(&s, 0);
    EXPECT_EQ(show_drop(vv), "{3,4}");
    // An empty slice is the shared empty sequence with a reference of its own; a temporary source dies.
    int32_t before = refcount(null_sequence);
    EXPECT_EQ(slice(make_string("xy"), 3, 2), null_sequence);
    EXPECT_EQ(refcount(null_sequence), before + 1);
    vorn_record_of(null_sequence)->count = before;
}

TEST_F(PathAssign, MapKeysThroughEveryHolder)
{
    vorn_handle m = held(seq("{{},{}}")), other = held(m);  // a second holder of the same MAP
    const char *order[] = {"b", "a", "c"};
    for (int32_t k = 0; k < 3; ++k)
        subscript_assign(&m, static_cast<vorn_handle>(k + 1), 1, make_string(order[k]));
    vorn_handle keys = held(subscript(m, 1));  // a list taken out of the MAP
    subscript_assign(&m, 10, 1, make_string("b"));
    subscript_assign(&m, 5, 2, make_string("d"), make_string("x"));  // a nested MAP
    subscript_arithmetic_assign(2, &m, 3, 2, make_string("d"), make_string("x"));
    subscript_arithmetic_assign(2, &m, 7, 2, make_string("d"), make_string("y"));  // new: stored as is
    vorn_handle d = held(make_double(2.5));
    subscript_assign(&m, d, 1, make_string("e"));
    subscript_assign(&m, seq("{1,2,3}"), 1, make_string("g"));
    slice_assign(&m, 3, seq("b{8,9}"), 2, make_string("g"), 2);
    EXPECT_EQ(other, m);
    EXPECT_EQ(text(other), "{{b{97},b{98},b{99},b{100},b{101},b{103}},"
                           "{2,10,3,{{b{120},b{121}},b{15,7}},2.5,{1,8,9}}}");
    EXPECT_EQ(text(keys) + counts({d}), "{b{97},b{98},b{99}}2");

    // A held key gains one reference from the key list, none when found.
    vorn_handle f = held(make_string("f"));
    subscript_assign(&m, 1, 1, f);
    subscript_assign(&m, 2, 1, f);
    EXPECT_EQ(refcount(f), 2);

    // The MAP as the value reaches the old element, which must outlive the operation.
    assign(&m, seq("{{b{107}},{{1,2}}}"));
    subscript_arithmetic_assign(0, &m, m, 1, seq("b{107}"));
    EXPECT_EQ(text(m), "{{b{107}},{{{b{108}},{{3,4}}}}}");
    let_go({&m, &other, &keys, &d, &f});
}

TEST_F(Subscript, ReportsOfMapsAndSlices)
{
    vorn_handle key = held(make_string("a"));
    EXPECT_EQ(subscript(0, key), 0u);  // 0 stands for a MAP not made yet
    expect_fatal({
        {[&] { subscript(7, key); }, "No valid MAP construction !"},
        {[&] {
             subscript(words_of({words_of({key}), 5}), key);
         },
         "subscript : cann't operate on a Atom .\n"},
        {[] { slice(seq("{1,2,3}"), 2, 4); }, "slice : .. subscript 4 out of range [1..3]\n"},
        {[] { subscript_assign(var("{1,2,3}"), 1, 1, seq("{1}")); },
         "No valid MAP construction (indexing)!\n"},
        {[] { slice_assign(var("{{},{}}"), 1, 0, 2, seq("{1}"), 1); }, "No Key found in Slice Assign !"},
        // A new key into a MAP whose value list is too short, or no sequence, reports the insertion.
        {[] { subscript_assign(var("{{b{97},b{98}},{10}}"), 5, 1, seq("b{99}")); },
         "insert : subscript 2 out of range [1 .. 1]\n"},
        {[] { subscript_assign(var("{{},7}"), 5, 1, seq("b{99}")); },
         "insert : cann't operate on a Atom .\n"},
    });
    assign(&key, 0);
}
