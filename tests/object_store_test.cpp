// The object table: handle classes, record recycling, reference counts,
// destroying nested structures and views, copy on write, widening.
#include <cmath>
#include <sstream>

#include "support.h"

using namespace vorn_test;

using ObjectStore = store_test;

TEST_F(ObjectStore, HandleClassesLengthAndTypeTests)
{
    // Each handle's answers to: integer, object, sequence, double, atom.
    const uint32_t handles[] = {0,          0x7FFFFFFF, 0xC0000000, 0xFFFFFFFF,
                                0x80000005, 0x90000005, 0xBFFFFFFF, 0xA0000000};
    std::istringstream want("10001 10001 10001 10001 01100 01011 00001 00001");
    for (uint32_t h : handles) {
        std::string got, classes;
        for (int is :
             {vorn_is_integer(h), vorn_is_object(h), vorn_is_sequence(h), vorn_is_double(h), vorn_is_atom(h)})
            got += is ? '1' : '0';
        want >> classes;
        EXPECT_EQ(got, classes) << std::hex << h;
    }
    EXPECT_EQ(platform(), 2);
    EXPECT_EQ(sizeof(vorn_record), 24u);

    // The type tests release a temporary and leave a held object alone.
    vorn_handle abc = make_string("abc");
    EXPECT_EQ(length(abc), 3);
    std::vector<int32_t> answers = {wrap_bytesequence(abc),
                                    wrap_integer(1073741824),
                                    wrap_integer(0xBFFFFFFF),
                                    wrap_integer(make_double(2.0)),
                                    wrap_atom(make_double(2.0)),
                                    wrap_sequence(build_sequence(0)),
                                    wrap_bytesequence(build_sequence(0)),
                                    wrap_object(make_string("x"))};
    EXPECT_EQ(answers, (std::vector<int32_t>{1, 1, 0, 0, 1, 1, 0, 1}));
    EXPECT_EQ(leaks.made(), 0);
    vorn_handle kept = reference(make_double(1));
    EXPECT_EQ(wrap_atom(kept), 1);
    EXPECT_EQ(refcount(kept), 1);
    assign(&kept, 0);
    expect_fatal([] { length(5); }, "length of an atom is undefined\n");

    const double doubles[] = {2.0, -7.0, 2.5, 2147483647.0, 2147483648.0, -1e300, NAN, INFINITY};
    const int32_t whole[] = {2, -7, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN};
    for (size_t k = 0; k < std::size(doubles); ++k) {
        vorn_handle h = make_double(doubles[k]);
        EXPECT_EQ(DBL2INT(h), whole[k]) << doubles[k];
        destroy(h);
    }
    EXPECT_EQ(DBL2INT(2), INT32_MIN);
}

TEST_F(ObjectStore, RecordsCountsAssignAndDestroy)
{
    // Freed records are reused last freed first; destroy goes depth first, last element first.
    auto index = [](vorn_handle h) { return static_cast<int32_t>(vorn_index(h)); };
    vorn_handle a = make_double(1.0), b = make_double(2.0);
    destroy(a);
    destroy(b);
    EXPECT_EQ(free_tail, index(b));
    EXPECT_EQ(new_object(), index(b));
    EXPECT_EQ(new_double(3.0), index(a));
    vorn_handle inner = words_of({b}), outer = words_of({a, inner});
    destroy(outer);
    for (vorn_handle h : {outer, a, inner, b})
        EXPECT_EQ(new_object(), index(h));
    for (vorn_handle h : {b, inner, a, outer})
        destroy(vorn_double_handle(index(h)));

    // The table grows by 256 records and handles stay valid.
    std::vector<vorn_handle> made;
    while (free_tail != 0 || object_count < object_limit)
        made.push_back(make_double(static_cast<double>(made.size())));
    int32_t limit = object_limit;
    made.push_back(make_double(static_cast<double>(made.size())));
    EXPECT_EQ(object_limit, limit + 256);
    for (size_t k = 0; k < made.size(); ++k)
        ASSERT_EQ(vorn_double_value(made[k]), static_cast<double>(k));
    for (vorn_handle h : made)
        destroy(h);

    vorn_handle d = make_double(2.5);
    EXPECT_EQ(reference(d), d);
    vorn_handle var = held(d);
    assign(&var, var);  // assigning a variable its own value keeps it alive
    EXPECT_EQ(counts({d, 42}), "2,0");
    assign(&var, 7);
    EXPECT_EQ(refcount(d), 1);
    vorn_handle other = held(d);
    --vorn_record_of(d)->count;
    assign(&other, 0);  // the last holder lets go: the double dies

    // destroy releases nested and repeated elements, once per appearance.
    d = held(make_double(1.5));
    inner = words_of({d, 7});
    outer = words_of({inner, d, d, make_string("abc")});
    EXPECT_EQ(counts({d, inner}), "4,1");
    destroy(outer);
    EXPECT_EQ(refcount(d), 1);
    EXPECT_EQ(leaks.made(), 1);
    assign(&d, 0);

    // Nesting far deeper than the C stack would allow.
    vorn_handle s = words_of({1});
    for (int k = 0; k < 200000; ++k)
        s = words_of({s});
    destroy(s);

    // A view keeps its base alive: destroyed, it lets go of the base, which dies with its last holder.
    destroy(view_of(words_of({1, make_double(9), 3}), 2, 2));
    EXPECT_EQ(leaks.made(), 0);
    vorn_handle base = held(words_of({1, make_double(4), 3}));
    destroy(view_of(base, 1, 3));
    EXPECT_EQ(refcount(base) + leaks.made(), 3);
    EXPECT_EQ(show(base), "{1,4d,3}");
    assign(&base, 0);
    // clobber frees view and base, not the elements.
    d = make_double(3);
    clobber_sequence(view_of(build_sequence(2, d, d), 1, 1));
    EXPECT_EQ(refcount(d), 2);
    EXPECT_EQ(leaks.made(), 1);
    destroy(d);
}

TEST_F(ObjectStore, WideningAndCopyOnWrite)
{
    vorn_handle s = build_sequence(3, 200, 0, 65), t = make_string("xy");
    EXPECT_EQ(conv_byte2obj(s), 3);
    EXPECT_EQ(news, vorn_record_of(s));
    news = vorn_record_of(t);
    explode_sequence();
    EXPECT_EQ(show_drop(s) + show_drop(t), "{200,0,65}{120,121}");  // zero-extended, never -56

    // only_sequence copies only when the variable shares its sequence.
    vorn_handle d = make_double(1), a = held(build_sequence(2, d, 5)), original = a;
    void *storage = vorn_record_of(a)->data;
    only_sequence(&a);
    EXPECT_EQ(a, original);
    EXPECT_EQ(vorn_record_of(a)->data, storage);
    EXPECT_EQ(news, vorn_record_of(a));
    vorn_handle b = held(a);
    only_sequence(&b);
    EXPECT_NE(b, a);
    EXPECT_EQ(counts({a, b, d}), "1,1,2");
    EXPECT_EQ(vorn_record_of(a)->data, storage);
    EXPECT_EQ(news, vorn_record_of(b));

    // A view held only by its variable owns a private copy; the former base dies with its last holder.
    s = held(make_string("hello"));
    vorn_handle v = held(view_of(s, 2, 3)), view_handle = v;
    assign(&s, 0);
    only_sequence(&v);
    EXPECT_EQ(v, view_handle);
    EXPECT_EQ(vorn_record_of(v)->base, 0u);
    EXPECT_EQ(stored_length(v), -3);
    EXPECT_STREQ(chars(v), "ell");
    proc_cleanup(3, a, b, v);
    expect_fatal(
        [] {
            vorn_handle x = 3;
            only_sequence(&x);
        },
        "assign subscript : cann't operate on a Atom .\n");
}
