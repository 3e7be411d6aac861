// The object table: handle classes, record recycling, reference counts,
// destroying nested structures and views, copy on write, widening.
#include <cmath>

#include "support.h"

using namespace vorn_test;

using ObjectStore = store_test;

TEST_F(ObjectStore, HandleClasses)
{
    const struct {
        uint32_t h;
        const char *classes;  // integer, object, sequence, double, atom
    } cases[] = {{0, "10001"},          {0x7FFFFFFF, "10001"}, {0xC0000000, "10001"}, {0xFFFFFFFF, "10001"},
                 {0x80000005, "01100"}, {0x90000005, "01011"}, {0xBFFFFFFF, "00001"}, {0xA0000000, "00001"}};
    for (auto &c : cases) {
        std::string got;
        for (int is : {vorn_is_integer(c.h), vorn_is_object(c.h), vorn_is_sequence(c.h), vorn_is_double(c.h),
                       vorn_is_atom(c.h)})
            got += is ? '1' : '0';
        EXPECT_EQ(got, c.classes) << std::hex << c.h;
    }
    EXPECT_EQ(platform(), 2);
    EXPECT_EQ(sizeof(vorn_record), 24u);
}

TEST_F(ObjectStore, RecordsCountsAssignAndDestroy)
{
    auto index = [](vorn_handle h) { return static_cast<int32_t>(vorn_index(h)); };
    vorn_handle a = make_double(1.0), b = make_double(2.0);
    destroy(a);
    destroy(b);
    EXPECT_EQ(free_tail, index(b));
    EXPECT_EQ(new_object(), index(b));
    EXPECT_EQ(new_double(3.0), index(a));
    EXPECT_EQ(vorn_double_value(a), 3.0);

    // destroy goes depth first, last element first: b, inner, a, outer come back reversed.
    vorn_handle inner = words_of({b}), outer = words_of({a, inner});
    destroy(outer);
    for (vorn_handle h : {outer, a, inner, b})
        EXPECT_EQ(new_object(), index(h));
    for (vorn_handle h : {b, inner, a, outer})
        destroy(vorn_double_handle(index(h)));

    // The table grows by 256 records and handles stay valid: fill the free list and block, then one more.
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

    // Reference counts and assign.
    vorn_handle d = make_double(2.5);
    EXPECT_EQ(counts({d, 42}), "0,0");
    EXPECT_EQ(reference(d), d);
    EXPECT_EQ(refcount(d), 1);
    vorn_handle var = held(d);
    EXPECT_EQ(refcount(d), 2);
    assign(&var, var);  // assigning a variable its own value keeps it alive
    EXPECT_EQ(refcount(d), 2);
    assign(&var, 7);
    EXPECT_EQ(refcount(d), 1);
    vorn_handle other = held(d);
    --vorn_record_of(d)->count;  // the first reference goes
    assign(&other, 0);           // the last holder lets go: the double dies

    // destroy releases nested and repeated elements and view bases.
    d = held(make_double(1.5));
    inner = words_of({d, 7});
    outer = words_of({inner, d, d, make_string("abc")});
    EXPECT_EQ(counts({d, inner}), "4,1");
    destroy(outer);
    EXPECT_EQ(refcount(d), 1);  // decremented once per appearance, still held
    EXPECT_EQ(leaks.made(), 1);
    assign(&d, 0);

    // Nesting far deeper than the C stack would allow.
    vorn_handle s = words_of({1});
    for (int k = 0; k < 200000; ++k)
        s = words_of({s});
    destroy(s);
    EXPECT_EQ(leaks.made(), 0);

    // A view keeps its base alive; clobber frees records, not elements.
    vorn_handle view = view_of(words_of({1, make_double(9), 3}), 2, 2);
    EXPECT_EQ(refcount(vorn_record_of(view)->base), 1);
    destroy(view);  // the view held the base's only reference: both go
    EXPECT_EQ(leaks.made(), 0);

    vorn_handle base = held(words_of({1, make_double(4), 3}));
    destroy(view_of(base, 1, 3));
    EXPECT_EQ(refcount(base), 1);
    EXPECT_EQ(show(base), "{1,4d,3}");
    assign(&base, 0);
    EXPECT_EQ(leaks.made(), 0);

    d = make_double(3);
    clobber_sequence(view_of(build_sequence(2, d, d), 1, 1));  // frees view and base, not the elements
    EXPECT_EQ(refcount(d), 2);
    EXPECT_EQ(leaks.made(), 1);
    destroy(d);
}

TEST_F(ObjectStore, LengthTypeTestsAndDbl2Int)
{
    vorn_handle s = make_string("abc");
    EXPECT_EQ(stored_length(s), -3);
    EXPECT_EQ(length(s), 3);
    EXPECT_EQ(wrap_bytesequence(s), 1);  // a temporary: released
    EXPECT_EQ(leaks.made(), 0);

    std::vector<int32_t> answers = {wrap_integer(1073741824),          wrap_integer(0xBFFFFFFF),
                                    wrap_integer(make_double(2.0)),     wrap_atom(make_double(2.0)),
                                    wrap_sequence(build_sequence(0)),   wrap_bytesequence(build_sequence(0)),
                                    wrap_bytesequence(make_string("x")), wrap_object(make_string("x"))};
    EXPECT_EQ(answers, (std::vector<int32_t>{1, 0, 0, 1, 1, 0, 1, 1}));
    EXPECT_EQ(leaks.made(), 0);

    vorn_handle kept = reference(make_double(1));
    EXPECT_EQ(wrap_atom(kept), 1);  // a held object is left alone
    EXPECT_EQ(refcount(kept), 1);
    assign(&kept, 0);
    EXPECT_EQ(leaks.made(), 0);
    expect_fatal([] { length(5); }, "length of an atom is undefined\n");

    const struct {
        double d;
        int32_t want;
    } cases[] = {{2.0, 2},          {-7.0, -7},         {2.5, INT32_MIN}, {2147483647.0, INT32_MAX},
                 {2147483648.0, INT32_MIN}, {-1e300, INT32_MIN}, {NAN, INT32_MIN}, {INFINITY, INT32_MIN}};
    for (auto &c : cases) {
        vorn_handle h = make_double(c.d);
        EXPECT_EQ(DBL2INT(h), c.want) << c.d;
        destroy(h);
    }
    EXPECT_EQ(DBL2INT(2), INT32_MIN);
}

TEST_F(ObjectStore, WideningAndCopyOnWrite)
{
    vorn_handle s = build_sequence(3, 200, 0, 65);
    ASSERT_EQ(stored_length(s), -3);
    EXPECT_EQ(conv_byte2obj(s), 3);
    EXPECT_EQ(news, vorn_record_of(s));
    EXPECT_EQ(show(s), "{200,0,65}");  // zero-extended, never -56

    vorn_handle t = make_string("xy");
    news = vorn_record_of(t);
    explode_sequence();
    EXPECT_EQ(show(t), "{120,121}");
    destroy(s);
    destroy(t);
    EXPECT_EQ(leaks.made(), 0);

    // only_sequence copies only when the variable shares its sequence.
    vorn_handle d = make_double(1), a = held(build_sequence(2, d, 5));
    vorn_handle original = a;
    void *storage = vorn_record_of(a)->data;
    only_sequence(&a);  // sole holder, own data: nothing happens
    EXPECT_EQ(a, original);
    EXPECT_EQ(vorn_record_of(a)->data, storage);
    EXPECT_EQ(news, vorn_record_of(a));

    vorn_handle b = held(a);
    only_sequence(&b);  // shared: b gets its own copy, a is untouched
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
    expect_fatal([] {
        vorn_handle x = 3;
        only_sequence(&x);
    }, "assign subscript : cann't operate on a Atom .\n");
}
