// Joining, inserting and removing where the differential run cannot look:
// which record a result takes, the inner forms, and MAP removal.
#include "support.h"

using namespace vorn_test;

using Concat = store_test;
using Remove = store_test;

TEST_F(Concat, TheRecordTheResultTakes)
{
    // A temporary gives its record, the left one first; one temporary on both sides is used once.
    vorn_handle d = held(make_double(9.0)), kept = held(words_of({d, 2}));
    vorn_handle a = words_of({1}), b = words_of({3, d});
    EXPECT_EQ(concat(a, kept), a);
    EXPECT_EQ(concat(kept, b), b);
    EXPECT_EQ(show_drop(a) + show_drop(b), "{1,9d,2}{9d,2,3,9d}");
    a = words_of({d, 300});
    EXPECT_EQ(show_drop(concat(a, a)), "{9d,300,9d,300}");
    EXPECT_EQ(counts({d, kept}), "2,1");
    let_go({&kept, &d});
}

TEST_F(Remove, TemporariesKeepTheirRecordAndTheInnerForms)
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
    // The inner forms trust their caller and use only the record index.
    EXPECT_EQ(show_drop(_insert(_removeindex(vorn_index(s), 3, 3, 3), 8, 1)), "{1,8,3.5d}");
    expect_fatal([&] { removeindex(words_of({1, 2, 3}), a); }, "No valid Map construction !");
    let_go({&a, &s, &d});
}
