// Joining, inserting and removing where the differential run cannot look:
// which record a result takes, temporaries and views giving up their records,
// geometric growth, the inner forms, and MAP removal through a second holder.
#include "support.h"

using namespace vorn_test;

using Concat = store_test;
using Insert = store_test;
using Remove = store_test;

using list = std::vector<vorn_handle>;

TEST_F(Concat, TheRecordTheResultTakes)
{
    vorn_handle d = held(make_double(9.0)), kept = held(words_of({d, 2}));
    // x & y into `record` (0: a new one, UNDEF: either), owning its storage; counts of d and `kept`.
    auto join = [&](vorn_handle x, vorn_handle y, vorn_handle record, const list &want, const char *d_kept) {
        vorn_handle r = concat(x, y);
        EXPECT_TRUE(record == UNDEF || r == record || (!record && r != x && r != y)) << r;
        EXPECT_EQ(elements(r), want);
        EXPECT_EQ(vorn_record_of(r)->base, 0u);
        EXPECT_EQ(counts({d, kept}), d_kept);
        destroy(r);
    };
    // A temporary gives its record, the left one first; neither: a new record.
    vorn_handle a = words_of({1}), b = words_of({3, d});
    join(a, kept, a, {1, d, 2}, "4,1");
    join(kept, b, b, {d, 2, 3, d}, "4,1");
    join(kept, kept, 0, {d, 2, d, 2}, "4,1");
    // A temporary view is reused or goes, letting go of its base; one temporary on both sides is used once.
    join(slice(kept, 1, 1), 7, UNDEF, {d, 7}, "3,1");
    join(words_of({0}), slice(kept, 2, 2), UNDEF, {0, 2}, "2,1");
    a = words_of({d, 300});
    join(a, a, UNDEF, {d, 300, d, 300}, "4,1");
    let_go({&kept, &d});
}

TEST_F(Insert, RepeatedAppendsKeepTheTemporaryAndGrowGeometrically)
{
    vorn_handle s = make_string(""), first = s;
    int moves = 0;
    void *data = vorn_record_of(s)->data;
    for (int32_t k = 0; k < 50000; ++k) {
        s = (k % 2) ? append(s, static_cast<vorn_handle>(k)) : concat(s, static_cast<vorn_handle>(k));
        ASSERT_EQ(s, first);
        moves += vorn_record_of(s)->data != data;
        data = vorn_record_of(s)->data;
    }
    EXPECT_LT(moves, 40);
    EXPECT_EQ(subscript(s, 50000), 49999u);
    for (int32_t k = 50000; k > 2; --k)
        s = removeindex(s, static_cast<vorn_handle>(-1));
    EXPECT_EQ(prepend(s, 7), first);
    EXPECT_EQ(_insert(s, 8, 1), first);
    EXPECT_EQ(show_drop(s), "{7,8,0,1}");
}

TEST_F(Remove, TemporariesKeepTheirRecordAndTheInnerForm)
{
    // A temporary view keeps its record and lets go of its base; so does a temporary MAP of its lists.
    vorn_handle d = held(make_double(3.5)), s = held(words_of({1, d, 3})), v = slice(s, 1, 2);
    EXPECT_EQ(removeindex(v, 1), v);
    EXPECT_EQ(vorn_record_of(v)->base, 0u);
    EXPECT_EQ(show_drop(v), "{3.5d}");
    EXPECT_EQ(counts({s, d}), "1,2");
    vorn_handle a = held(make_string("a")), map = seq("{{'a','b'},{1,3}}");
    EXPECT_EQ(removeindex(map, a), map);
    EXPECT_EQ(show_drop(map), "{{b{98}},{3}}");
    // The inner form trusts its caller and uses only the record index.
    EXPECT_EQ(show_drop(_removeindex(vorn_index(s), 3, 3, 3)), "{1,3.5d}");
    expect_fatal([&] { removeindex(words_of({1, 2, 3}), a); }, "No valid Map construction !");
    let_go({&a, &s, &d});
}
