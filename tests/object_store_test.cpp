// The object table beyond the differential run: type tests, record reuse order,
// deep nesting, clobbering views, widening in place and copy on write.
#include "support.h"

using namespace vorn_test;

using ObjectStore = store_test;

TEST_F(ObjectStore, TypeTestsReleaseTemporariesAndWholeDoubles)
{
    EXPECT_EQ(platform(), 2);
    std::vector<int32_t> answers = {
        wrap_bytesequence(make_string("abc")), wrap_integer(1073741824),     wrap_integer(0xBFFFFFFF),
        wrap_integer(make_double(2.0)),        wrap_atom(make_double(2.0)),  wrap_sequence(build_sequence(0)),
        wrap_bytesequence(build_sequence(0)),  wrap_object(make_string("x"))};
    EXPECT_EQ(answers, (std::vector<int32_t>{1, 1, 0, 0, 1, 1, 0, 1}));
    vorn_handle whole = make_double(-7.0), half = make_double(2.5), big = make_double(2147483648.0);
    EXPECT_EQ(std::vector<int32_t>({DBL2INT(whole), DBL2INT(half), DBL2INT(big), DBL2INT(2)}),
              std::vector<int32_t>({-7, INT32_MIN, INT32_MIN, INT32_MIN}));
    for (vorn_handle h : {whole, half, big})
        destroy(h);
    expect_fatal([] { length(5); }, "length of an atom is undefined\n");
}

TEST_F(ObjectStore, RecordReuseAndDestroying)
{
    // Freed records are reused last freed first; destroy goes depth first, last element first.
    vorn_handle a = make_double(1.0), b = make_double(2.0), inner = words_of({b}),
                outer = words_of({a, inner});
    destroy(outer);
    for (vorn_handle h : {outer, a, inner, b})
        EXPECT_EQ(new_object(), static_cast<int32_t>(vorn_index(h)));
    for (vorn_handle h : {b, inner, a, outer})
        destroy(vorn_double_handle(vorn_index(h)));

    // Nesting far deeper than the C stack would allow.
    vorn_handle s = words_of({1});
    for (int k = 0; k < 200000; ++k)
        s = words_of({s});
    destroy(s);

    // clobber frees view and base, not the elements.
    vorn_handle d = make_double(3);
    clobber_sequence(view_of(build_sequence(2, d, d), 1, 1));
    EXPECT_EQ(refcount(d) + leaks.made(), 3);
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
    vorn_handle d = make_double(1), a = held(build_sequence(2, d, 5)), b = held(a), alone = a;
    only_sequence(&b);
    EXPECT_TRUE(b != a && news == vorn_record_of(b));
    EXPECT_EQ(counts({a, b, d}), "1,1,2");
    only_sequence(&a);
    EXPECT_TRUE(a == alone && news == vorn_record_of(a));

    // A view held only by its variable owns a private copy; the former base dies with its last holder.
    s = held(make_string("hello"));
    vorn_handle v = held(view_of(s, 2, 3)), view_handle = v;
    assign(&s, 0);
    only_sequence(&v);
    EXPECT_EQ(v, view_handle);
    EXPECT_EQ(vorn_record_of(v)->base, 0u);
    EXPECT_STREQ(chars(v), "ell");
    proc_cleanup(3, a, b, v);
    expect_fatal(
        [] {
            vorn_handle x = 3;
            only_sequence(&x);
        },
        "assign subscript : cann't operate on a Atom .\n");
}
