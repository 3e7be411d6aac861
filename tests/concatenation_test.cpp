// Joining, inserting and removing: storage forms (bytes stay bytes, widening
// when a non-byte joins), temporaries giving their record and handles to the
// result, reference counts of moved and copied elements, MAP key removal,
// and every misuse with its exact report.
#include "support.h"

using namespace vorn_test;

using Concat = store_test;
using Insert = store_test;
using Remove = store_test;

using list = std::vector<vorn_handle>;

TEST_F(Concat, StorageFormsAndTemporariesGivingTheirRecord)
{
    vorn_handle a = make_string("a\xC8"), d = held(make_double(9.0)), widened = concat(a, words_of({1000}));
    EXPECT_EQ(widened, a);
    expect_shown(
        {{widened, "{97,200,1000}"}, {concat(5, d), "{5,9d}"}, {concat(make_string("a"), 300), "{97,300}"}});
    vorn_handle kept = held(words_of({d, 2})), b, v;
    EXPECT_EQ(refcount(d), 2);
    // x & y into `record` (0: a new one, UNDEF: either) owning its storage; counts of d and `kept`.
    auto join = [&](vorn_handle x, vorn_handle y, vorn_handle record, const list &want, const char *d_kept) {
        vorn_handle r = concat(x, y);
        EXPECT_TRUE(record == UNDEF || r == record || (!record && r != x && r != y)) << r;
        EXPECT_EQ(elements(r), want);
        EXPECT_EQ(vorn_record_of(r)->base, 0u);
        EXPECT_EQ(counts({d, kept}), d_kept);
        destroy(r);
    };
    // A temporary gives its record and handles, the left one first; held elements are copied.
    a = words_of({1});
    join(a, kept, a, {1, d, 2}, "3,1");
    EXPECT_EQ(refcount(d), 2);
    b = words_of({3, d});
    join(kept, b, b, {d, 2, 3, d}, "4,1");
    b = make_string("xy");
    join(kept, b, b, {d, 2, 'x', 'y'}, "3,1");
    // Neither temporary: a new record, both left as they were.
    join(kept, kept, 0, {d, 2, d, 2}, "4,1");
    EXPECT_EQ(elements(kept), (list{d, 2}));

    // Two temporaries: the left record stays, the right one's handles move and its record is freed.
    int live = leaks.made();
    a = words_of({1});
    b = words_of({d});
    EXPECT_EQ(refcount(d), 3);
    EXPECT_EQ(concat(a, b), a);
    EXPECT_EQ(refcount(d), 3);
    EXPECT_EQ(leaks.made(), live + 1);
    destroy(a);

    // A temporary view as an operand: its record is reused or it goes, and either way it lets go of its base.
    v = slice(kept, 1, 1);
    EXPECT_EQ(refcount(kept), 2);
    join(v, 7, v, {d, 7}, "3,1");
    join(words_of({0}), slice(kept, 2, 2), UNDEF, {0, 2}, "2,1");
    // One temporary on both sides is joined with itself and then goes.
    v = words_of({d, 300});
    join(v, v, UNDEF, {d, 300, d, 300}, "4,1");  // d: the variable, `kept`, twice in the result

    expect_shown({{wrap_concat(words_of({1}), 2), "{1,2}"}});
    assign(&kept, 0);
    EXPECT_EQ(refcount(d), 1);
    assign(&d, 0);
}

TEST_F(Insert, PositionsStorageFormsAndRepeatedAppends)
{
    vorn_handle s = held(make_string("abcd")), d = make_double(0.5), with_d = append(words_of({1, 2}), d);
    EXPECT_EQ(refcount(d), 1);
    expect_shown({{_insert(s, 'X', 2), "b{97,98,88,99,100}"}, {with_d, "{1,2,0.5d}"}});
    EXPECT_STREQ(chars(s), "abcd");
    assign(&s, 0);

    // Repeated appends keep the temporary: bytes first, widened once by the first non-byte, then handles.
    s = make_string("");
    vorn_handle first = s;
    for (int32_t k = 0; k < 2000; ++k) {
        s = (k % 2) ? append(s, static_cast<vorn_handle>(k)) : concat(s, static_cast<vorn_handle>(k));
        ASSERT_EQ(s, first);
        ASSERT_EQ(stored_length(s), k < 256 ? -(k + 1) : k + 1);
    }
    for (int32_t k = 0; k < 2000; ++k)
        ASSERT_EQ(subscript(s, static_cast<vorn_handle>(k + 1)), static_cast<vorn_handle>(k));

    // The storage grows geometrically: it moves only a few times.
    int moves = 0;
    void *data = vorn_record_of(s)->data;
    for (int32_t k = 2000; k < 50000; ++k) {
        s = append(s, static_cast<vorn_handle>(k));
        moves += vorn_record_of(s)->data != data;
        data = vorn_record_of(s)->data;
    }
    EXPECT_LT(moves, 40);
    EXPECT_EQ(subscript(s, 50000), 49999u);
    for (int32_t k = 50000; k > 2000; --k)
        s = removeindex(s, static_cast<vorn_handle>(-1));
    EXPECT_EQ(s, first);

    // Prepending onto a temporary keeps it too, and so does inserting inside.
    EXPECT_EQ(prepend(s, 7), first);
    EXPECT_EQ(_insert(s, 8, 1), first);
    EXPECT_EQ(length(s), 2002);
    EXPECT_EQ(show(s).substr(0, 7), "{7,8,0,");
    destroy(s);

    expect_fatal({
        {[] { _insert(5, 1, make_double(1.5)); }, "insert : subscript error ! should be a integer .\n"},
        {[] { _insert(words_of({1}), 1, make_string("a")); },
         "insert : subscript error ! should be a integer .\n"},
    });
}

TEST_F(Remove, ByPositionAndMapKeys)
{
    // Held: a new record, the removed element stays with s; a temporary, or a temporary view, keeps its
    // record and lets go of the removed element (and of the view's base); bytes stay bytes.
    vorn_handle d = held(make_double(3.5)), s = held(words_of({1, d, 3})), t = words_of({d, 5});
    EXPECT_EQ(show_drop(removeindex(s, 2)) + show(s) + counts({d}), "{1,3}{1,3.5d,3}3");
    EXPECT_EQ(show_drop(removeindex(s, static_cast<vorn_handle>(-1))), "{1,3.5d}");
    EXPECT_EQ(removeindex(t, 1), t);
    EXPECT_EQ(show(t) + counts({d}), "{5}2");
    EXPECT_EQ(removeindex(t, 1), t);
    expect_shown({{t, "{}"}, {removeindex(make_string("abcd"), 2), "b{97,99,100}"}});
    vorn_handle v = slice(s, 1, 2);
    EXPECT_EQ(removeindex(v, 1), v);
    EXPECT_EQ(vorn_record_of(v)->base, 0u);
    EXPECT_EQ(show(v) + counts({s, d}), "{3.5d}1,3");
    drop(v);
    // The inner form trusts its caller and uses only the record index.
    EXPECT_EQ(show_drop(_removeindex(vorn_index(s), 3, 3, 3)), "{1,3.5d}");
    let_go({&s, &d});

    // MAP keys: an absent key gives UNDEF and nothing released; a held MAP gives a new MAP with shorter
    // lists, every holder of the old one still seeing all three keys.
    vorn_handle a = held(make_string("a")), b = held(make_string("b")), c = held(make_string("c"));
    vorn_handle value = make_double(2.0);
    vorn_handle map = held(words_of({words_of({a, b, c}), words_of({10, value, 30})})), other = held(map);
    vorn_handle probe = make_string("bb");
    EXPECT_EQ(removeindex(map, probe), UNDEF);
    EXPECT_EQ(show_drop(probe), "b{98,98}");
    vorn_handle smaller = removeindex(other, b), keys = subscript(smaller, 1), values = subscript(smaller, 2);
    EXPECT_NE(smaller, map);
    EXPECT_EQ(stored_length(smaller), 2);
    EXPECT_EQ(counts({keys, values, value}), "1,1,1");
    EXPECT_EQ(elements(keys), (list{a, c}));
    EXPECT_EQ(elements(values), (list{10, 30}));
    EXPECT_EQ(subscript(other, b), value);
    destroy(smaller);

    // A temporary MAP keeps its record and lets go of its old lists.
    vorn_handle temp = words_of({words_of({a, c}), words_of({1, 3})}), old_keys = subscript(temp, 1);
    EXPECT_EQ(removeindex(temp, c), temp);
    EXPECT_NE(subscript(temp, 1), old_keys);
    EXPECT_EQ(elements(subscript(temp, 1)), (list{a}));
    EXPECT_EQ(elements(subscript(temp, 2)), (list{1}));
    destroy(temp);
    expect_fatal({{[&] {
                       removeindex(words_of({1, 2, 3}), a);
                   },
                   "No valid Map construction !"},
                  {[&] { removeindex(make_string("xy"), a); }, "No valid Map construction !"}});
    let_go({&other, &map, &a, &b, &c});
}
