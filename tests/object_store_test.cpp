// The object table: handle classes, record recycling, reference counts,
// destroying nested structures and views, copy on write, widening.
#include <gtest/gtest.h>

#include <cmath>

#include "support.h"

using namespace vorn_test;

namespace {

vorn_handle seq_of(std::initializer_list<vorn_handle> elements)
{
    vorn_handle s = vorn_sequence_handle(new_sequence());
    auto *w = static_cast<vorn_handle *>(malloc(elements.size() * sizeof(vorn_handle)));
    size_t k = 0;
    for (vorn_handle e : elements) {
        w[k++] = reference(e);
    }
    vorn_record *r = vorn_record_of(s);
    r->data = w;
    r->length = static_cast<int32_t>(elements.size());
    return s;
}

// A view of s sharing its storage from position `from` (1-based), as a slice makes it.
vorn_handle view_of(vorn_handle s, int32_t from, int32_t count)
{
    int32_t i = new_sequence();
    vorn_record *base = vorn_record_of(s);
    vorn_record *v = &objects[i];
    bool bytes = base->length < 0;
    v->data = bytes ? static_cast<void *>(static_cast<unsigned char *>(base->data) + from - 1)
                    : static_cast<void *>(static_cast<vorn_handle *>(base->data) + from - 1);
    v->length = bytes ? -count : count;
    v->base = s;
    reference(s);
    return vorn_sequence_handle(i);
}

}  // namespace

TEST(ObjectStore, HandleClasses)
{
    struct {
        uint32_t h;
        int integer, object, sequence, dbl;
    } cases[] = {
        {0, 1, 0, 0, 0},          {0x7FFFFFFF, 1, 0, 0, 0}, {0xC0000000, 1, 0, 0, 0},
        {0xFFFFFFFF, 1, 0, 0, 0}, {0x80000005, 0, 1, 1, 0}, {0x90000005, 0, 1, 0, 1},
        {0xBFFFFFFF, 0, 0, 0, 0}, {0xA0000000, 0, 0, 0, 0},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.h);
        EXPECT_EQ(vorn_is_integer(c.h), c.integer);
        EXPECT_EQ(vorn_is_object(c.h), c.object);
        EXPECT_EQ(vorn_is_sequence(c.h), c.sequence);
        EXPECT_EQ(vorn_is_double(c.h), c.dbl);
        EXPECT_EQ(vorn_is_atom(c.h), !c.sequence);
    }
    EXPECT_EQ(platform(), 2);
    EXPECT_EQ(sizeof(vorn_record), 24u);
}

TEST(ObjectStore, FreedRecordsComeBackLastFreedFirst)
{
    leak_check leaks;
    vorn_handle a = make_double(1.0), b = make_double(2.0);
    destroy(a);
    destroy(b);
    EXPECT_EQ(free_tail, static_cast<int32_t>(vorn_index(b)));
    EXPECT_EQ(new_object(), static_cast<int32_t>(vorn_index(b)));
    EXPECT_EQ(new_double(3.0), static_cast<int32_t>(vorn_index(a)));
    EXPECT_EQ(vorn_double_value(a), 3.0);
    destroy(b);
    destroy(a);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(ObjectStore, TableGrowsBy256AndHandlesStayValid)
{
    leak_check leaks;
    // Use up the free list and the rest of the current block, then one more.
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
    EXPECT_EQ(leaks.made(), 0);
}

TEST(ObjectStore, ReferenceCountsAndAssign)
{
    leak_check leaks;
    vorn_handle d = make_double(2.5);
    EXPECT_EQ(refcount(d), 0);
    EXPECT_EQ(refcount(42), 0);
    EXPECT_EQ(reference(d), d);
    EXPECT_EQ(refcount(d), 1);

    vorn_handle var = 0;
    assign(&var, d);
    EXPECT_EQ(refcount(d), 2);
    assign(&var, var);  // assigning a variable its own value keeps it alive
    EXPECT_EQ(refcount(d), 2);
    assign(&var, 7);
    EXPECT_EQ(refcount(d), 1);
    vorn_handle other = 0;
    assign(&other, d);
    --vorn_record_of(d)->count;  // the first reference goes
    assign(&other, 0);           // the last holder lets go: the double dies
    EXPECT_EQ(leaks.made(), 0);
}

TEST(ObjectStore, DestroyReleasesNestedAndRepeatedElements)
{
    leak_check leaks;
    vorn_handle d = make_double(1.5);
    reference(d);  // held by a variable
    vorn_handle inner = seq_of({d, 7});
    vorn_handle outer = seq_of({inner, d, d, make_string("abc")});
    EXPECT_EQ(refcount(d), 4);
    EXPECT_EQ(refcount(inner), 1);
    destroy(outer);
    EXPECT_EQ(refcount(d), 1);  // decremented once per appearance, still held
    EXPECT_EQ(leaks.made(), 1);
    assign(&d, 0);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(ObjectStore, DestroyFreesDepthFirstLastElementFirst)
{
    leak_check leaks;
    vorn_handle a = make_double(1), b = make_double(2);
    vorn_handle inner = seq_of({b});
    vorn_handle outer = seq_of({a, inner});
    destroy(outer);
    // Freed in order: b, inner, a, outer; reuse comes back in reverse.
    EXPECT_EQ(new_object(), static_cast<int32_t>(vorn_index(outer)));
    EXPECT_EQ(new_object(), static_cast<int32_t>(vorn_index(a)));
    EXPECT_EQ(new_object(), static_cast<int32_t>(vorn_index(inner)));
    EXPECT_EQ(new_object(), static_cast<int32_t>(vorn_index(b)));
    for (vorn_handle h : {b, inner, a, outer})
        destroy(vorn_double_handle(static_cast<int32_t>(vorn_index(h))));
    EXPECT_EQ(leaks.made(), 0);
}

TEST(ObjectStore, DeepNestingDoesNotExhaustTheStack)
{
    leak_check leaks;
    vorn_handle s = seq_of({1});
    for (int k = 0; k < 200000; ++k)
        s = seq_of({s});
    destroy(s);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(ObjectStore, ViewsKeepTheirBaseAlive)
{
    leak_check leaks;
    vorn_handle d = make_double(9);
    vorn_handle base = seq_of({1, d, 3});
    vorn_handle view = view_of(base, 2, 2);
    EXPECT_EQ(refcount(base), 1);
    destroy(view);  // the view held the base's only reference: both go
    EXPECT_EQ(leaks.made(), 0);

    vorn_handle var = 0;
    base = seq_of({1, make_double(4), 3});
    assign(&var, base);
    view = view_of(base, 1, 3);
    destroy(view);
    EXPECT_EQ(refcount(base), 1);
    EXPECT_EQ(length(base), 3);
    EXPECT_EQ(vorn_double_value(static_cast<vorn_handle *>(vorn_record_of(base)->data)[1]), 4.0);
    assign(&var, 0);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(ObjectStore, LengthAndTypeTests)
{
    leak_check leaks;
    vorn_handle s = make_string("abc");
    EXPECT_EQ(vorn_record_of(s)->length, -3);
    EXPECT_EQ(length(s), 3);
    EXPECT_EQ(wrap_bytesequence(s), 1);  // a temporary: released
    EXPECT_EQ(leaks.made(), 0);

    EXPECT_EQ(wrap_integer(1073741824), 1);
    EXPECT_EQ(wrap_integer(0xBFFFFFFF), 0);
    EXPECT_EQ(wrap_integer(make_double(2.0)), 0);
    EXPECT_EQ(wrap_atom(make_double(2.0)), 1);
    EXPECT_EQ(wrap_sequence(build_sequence(0)), 1);
    EXPECT_EQ(wrap_bytesequence(build_sequence(0)), 0);
    EXPECT_EQ(wrap_bytesequence(make_string("x")), 1);
    EXPECT_EQ(wrap_object(make_string("x")), 1);
    EXPECT_EQ(leaks.made(), 0);

    vorn_handle held = reference(make_double(1));
    EXPECT_EQ(wrap_atom(held), 1);  // a held object is left alone
    EXPECT_EQ(refcount(held), 1);
    assign(&held, 0);
    EXPECT_EQ(leaks.made(), 0);

    auto r = run_child([] { length(5); });
    EXPECT_EQ(r.out, "RUN_TIME_ERROR : length of an atom is undefined\n");
    EXPECT_EQ(r.status, 1);
}

TEST(ObjectStore, Dbl2Int)
{
    leak_check leaks;
    struct {
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
    EXPECT_EQ(leaks.made(), 0);
}

TEST(ObjectStore, WideningKeepsRecordAndHandle)
{
    leak_check leaks;
    vorn_handle s = build_sequence(3, 200, 0, 65);
    ASSERT_EQ(vorn_record_of(s)->length, -3);
    EXPECT_EQ(conv_byte2obj(s), 3);
    vorn_record *r = vorn_record_of(s);
    EXPECT_EQ(news, r);
    EXPECT_EQ(r->length, 3);
    auto *w = static_cast<vorn_handle *>(r->data);
    EXPECT_EQ(w[0], 200u);  // zero-extended, never -56
    EXPECT_EQ(w[2], 65u);

    vorn_handle t = make_string("xy");
    news = vorn_record_of(t);
    explode_sequence();
    EXPECT_EQ(vorn_record_of(t)->length, 2);
    EXPECT_EQ(static_cast<vorn_handle *>(vorn_record_of(t)->data)[1], static_cast<vorn_handle>('y'));
    destroy(s);
    destroy(t);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(ObjectStore, OnlySequenceCopiesOnlyWhenShared)
{
    leak_check leaks;
    vorn_handle d = make_double(1);
    vorn_handle a = 0, b = 0;
    assign(&a, build_sequence(2, d, 5));
    vorn_handle original = a;
    void *storage = vorn_record_of(a)->data;
    only_sequence(&a);  // sole holder, own data: nothing happens
    EXPECT_EQ(a, original);
    EXPECT_EQ(vorn_record_of(a)->data, storage);
    EXPECT_EQ(news, vorn_record_of(a));

    assign(&b, a);
    only_sequence(&b);  // shared: b gets its own copy, a is untouched
    EXPECT_NE(b, a);
    EXPECT_EQ(refcount(a), 1);
    EXPECT_EQ(refcount(b), 1);
    EXPECT_EQ(refcount(d), 2);
    EXPECT_EQ(vorn_record_of(a)->data, storage);
    EXPECT_EQ(news, vorn_record_of(b));

    // A view held only by its variable becomes the owner of a private copy;
    // the former base dies with its last holder.
    vorn_handle s = 0;
    assign(&s, make_string("hello"));
    vorn_handle v = 0;
    assign(&v, view_of(s, 2, 3));
    vorn_handle view_handle = v;
    assign(&s, 0);
    only_sequence(&v);
    EXPECT_EQ(v, view_handle);
    EXPECT_EQ(vorn_record_of(v)->base, 0u);
    EXPECT_EQ(vorn_record_of(v)->length, -3);
    EXPECT_STREQ(static_cast<char *>(vorn_record_of(v)->data), "ell");

    proc_cleanup(3, a, b, v);
    EXPECT_EQ(leaks.made(), 0);

    auto r = run_child([] {
        vorn_handle x = 3;
        only_sequence(&x);
    });
    EXPECT_EQ(r.out, "RUN_TIME_ERROR : assign subscript : cann't operate on a Atom .\n");
    EXPECT_EQ(r.status, 1);
}

TEST(ObjectStore, ClobberFreesRecordsButNotElements)
{
    leak_check leaks;
    vorn_handle d = make_double(3);
    vorn_handle s = build_sequence(2, d, d);
    vorn_handle v = view_of(s, 1, 1);  // the view holds the base's only reference
    clobber_sequence(v);        // frees view and base, leaves the elements
    EXPECT_EQ(refcount(d), 2);
    EXPECT_EQ(leaks.made(), 1);
    destroy(d);
    EXPECT_EQ(leaks.made(), 0);
}
