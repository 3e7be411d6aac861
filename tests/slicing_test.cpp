// Subscripts and slices, read and assigned: MAP keys, slices as views sharing
// their base, assignment along a path (copying only what is shared), and the
// reports in their order.
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

TEST_F(Subscript, MapKeysThroughEveryHolderAndTheMapNotMadeYet)
{
    vorn_handle key_a = held(make_string("a")), key_b = held(make_string("b")), value = make_double(2.5);
    vorn_handle map = held(words_of({words_of({key_a, key_b}), words_of({10, value})})), other = held(map);
    vorn_handle probe = make_string("b");  // an equal key, not the same object
    EXPECT_EQ(subscript(map, probe), value);
    EXPECT_EQ(subscript(other, key_a), 10u);
    destroy(probe);
    EXPECT_EQ(subscript(0, key_a), 0u);  // 0 stands for a MAP not made yet
    expect_fatal({{[&] { subscript(7, key_a); }, "No valid MAP construction !"},
                  {[&] {
                       subscript(words_of({words_of({key_a}), 5}), key_a);
                   },
                   "subscript : cann't operate on a Atom .\n"}});
    let_go({&other, &map, &key_a, &key_b});
}

TEST_F(Slice, ViewsShareTheBaseAndEmptySlicesAreShared)
{
    vorn_handle s = held(words_of({1, 2, 3, 4, 5})), v = slice(s, 2, static_cast<vorn_handle>(-2));
    EXPECT_EQ(counts({v, s}), "0,2");
    EXPECT_EQ(vorn_record_of(v)->base, s);
    EXPECT_EQ(stored_length(v), 3);
    EXPECT_EQ(vorn_record_of(v)->data, static_cast<vorn_handle *>(vorn_record_of(s)->data) + 1);

    // A view of a view names the base, a temporary view source is used up, indexes are not released.
    vorn_handle two = make_double(2.0), vv = slice(v, two, 3);
    destroy(two);
    EXPECT_EQ(vorn_record_of(vv)->base, s);
    EXPECT_EQ(refcount(s), 2);
    EXPECT_EQ(show(vv), "{3,4}");
    assign(&s, 0);  // the view outlives the variable that held its base
    EXPECT_EQ(subscript(vv, static_cast<vorn_handle>(-1)), 4u);
    destroy(vv);

    // A temporary owner is kept alive by its slice alone; bytes stay bytes.
    vorn_handle t = make_string("hello"), bv = slice(t, 2, 4);
    EXPECT_EQ(stored_length(bv), -3);
    EXPECT_EQ(refcount(t), 1);
    EXPECT_EQ(chars(bv), chars(t) + 1);
    destroy(bv);

    // An empty slice is the shared empty sequence, one past the end decided before bounds.
    s = held(words_of({1, 2, 3}));
    int32_t before = refcount(null_sequence);
    EXPECT_EQ(slice(s, 1, 0), null_sequence);
    EXPECT_EQ(slice(s, 4, 3), null_sequence);
    EXPECT_EQ(slice(s, static_cast<vorn_handle>(-1), static_cast<vorn_handle>(-2)), null_sequence);
    EXPECT_EQ(slice(make_string("xy"), 2, 1), null_sequence);  // the temporary source dies
    EXPECT_EQ(refcount(null_sequence), before + 4);
    EXPECT_EQ(refcount(s), 1);
    vorn_record_of(null_sequence)->count = before;
    assign(&s, 0);
}

TEST_F(PathAssign, ElementFormsCopyOnlySharedOrSlicedLevels)
{
    vorn_handle s = held(seq("{9,{8,{3,4}},5}"));
    void *const storage = vorn_record_of(s)->data;
    vorn_handle t = held(subscript(s, 2));  // t shares level 2
    vorn_handle deep = subscript(t, 2);
    subscript_assign(&s, 0, 3, 2, 2, 1);
    EXPECT_EQ(text(s) + text(t), "{9,{8,{0,4}},5}{8,{3,4}}");
    EXPECT_EQ(vorn_record_of(s)->data, storage);
    EXPECT_EQ(counts({t, deep}), "1,1");

    // A view at level 2 turns, in its own record, into the owner of a copy.
    subscript_assign(&s, slice(t, 1, 2), 1, 2);
    vorn_handle view = subscript(s, 2);
    EXPECT_EQ(refcount(t), 2);
    subscript_assign(&s, 6, 2, 2, 1);
    EXPECT_EQ(subscript(s, 2), view);
    EXPECT_EQ(vorn_record_of(view)->base, 0u);
    EXPECT_EQ(refcount(t), 1);
    EXPECT_EQ(text(s), "{9,{6,{3,4}},5}");

    // A byte into a bytesequence keeps it bytes, at both ends of the byte range; 256 widens it.
    assign(&s, seq("{b{1,2,3}}"));
    subscript_assign(&s, 255, 2, 1, 1);
    subscript_assign(&s, 128, 2, 1, 2);
    EXPECT_EQ(show(s), "{b{255,128,3}}");
    subscript_assign(&s, 256, 2, 1, 3);
    EXPECT_EQ(show(s), "{{255,128,256}}");
    let_go({&s, &t});
}

TEST_F(PathAssign, MapKeysAndSliceForms)
{
    vorn_handle m = held(seq("{{},{}}"));
    vorn_handle other = held(m);  // a second holder of the same MAP
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
    EXPECT_EQ(text(keys), "{b{97},b{98},b{99}}");
    EXPECT_EQ(refcount(d), 2);  // the variable and the value list

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
    EXPECT_EQ(leaks.made(), 0);  // found temporary keys were destroyed

    d = held(make_double(2.5));
    vorn_handle s = held(seq("{{1,2},3,4,5}"));
    slice_assign(&s, 4, d, 1, 2);
    EXPECT_EQ(refcount(d), 4);  // one per slot
    vorn_handle v = held(build_sequence(2, d, 7));
    slice_assign(&s, 3, v, 1, 2);               // held: copied
    slice_assign(&s, 4, slice(v, 1, 2), 1, 3);  // a temporary view: copied, then destroyed
    EXPECT_EQ(text(s), "{{1,2},2.5,2.5,7}");
    EXPECT_EQ(counts({v, d}), "1,4");
    assign(&s, seq("{{1,2},3}"));
    slice_assign(&s, 2, s, 2, 1, 1);  // the variable's own sequence, one level down
    EXPECT_EQ(text(s), "{{{1,2},3},3}");
    let_go({&s, &d, &v});
}

TEST(SubscriptSlice, ReportsInTheirOrderWithTheOperationName)
{
    vorn_handle s = held(words_of({1, 2, 3}));
    static const std::string not_integer = " : subscript error ! should be a integer .\n";
    expect_fatal({
        // Out of 32 bits, and -2147483648 itself, are not integers here.
        {[&] { subscript(s, make_double(3e9)); }, "subscript" + not_integer},
        {[&] { subscript(s, make_double(-2147483648.0)); }, "subscript" + not_integer},
        {[&] { subscript(s, 0xA0000000u); }, "subscript" + not_integer},
        {[&] { slice(s, make_double(0.5), 0xA0000000u); }, "slice" + not_integer},
        {[&] { slice(s, words_of({1}), 2); }, "slice" + not_integer},
        {[&] { slice(s, 2, 4); }, "slice : .. subscript 4 out of range [1..3]\n"},
        {[&] { slice(make_string("abc"), 1, 4); }, "slice : .. subscript 4 out of range [1..3]\n"},
        {[] { slice_arithmetic_assign(0, var("{1}"), 1, 1, 1, seq("{}")); },
         "slice_arith_assign" + not_integer},
        {[] { subscript_assign(var("{1,2,3}"), 1, 1, seq("{1}")); },
         "No valid MAP construction (indexing)!\n"},
        {[] { slice_assign(var("{{},{}}"), 1, 0, 2, seq("{1}"), 1); }, "No Key found in Slice Assign !"},
        {[] { slice_arithmetic_assign(0, var("{{},{}}"), 1, 0, 2, seq("{1}"), 1); },
         "No Key found in Slice_Arthmetic_Assign !"},
        // A new key into a MAP whose value list is too short, or no sequence, reports the insertion.
        {[] { subscript_assign(var("{{b{97},b{98}},{10}}"), 5, 1, seq("b{99}")); },
         "insert : subscript 2 out of range [1 .. 1]\n"},
        {[] { subscript_assign(var("{{},7}"), 5, 1, seq("b{99}")); },
         "insert : cann't operate on a Atom .\n"},
    });
    assign(&s, 0);
}
