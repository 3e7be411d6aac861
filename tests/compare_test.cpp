// Comparison and search beyond the differential run: nesting deeper than the
// C stack, key searches, the key index after changes, find and match on views.
#include <functional>

#include "support.h"

using namespace vorn_test;

using Compare = store_test;
using KeyedTables = store_test;
using FindMatch = store_test;

TEST_F(Compare, WorkersAndNestingDeeperThanTheStack)
{
    // The workers take and release nothing; the same sequence holding a NaN orders as 0 but is unequal.
    vorn_handle nan_seq = seq("{1,nan}"), outer = build_sequence(2, nan_seq, nan_seq);
    EXPECT_EQ(recursive_compare(nan_seq, nan_seq), 0);
    EXPECT_EQ(recursive_equal(outer, outer), 0);
    EXPECT_EQ(counts({outer, nan_seq}), "0,2");
    destroy(outer);

    // Nested 300000 deep, differing only at the bottom: far beyond what the C stack would allow.
    auto chain = [](const char *bottom) {
        vorn_handle s = seq(bottom);
        for (int k = 0; k < 300000; ++k)
            s = build_sequence(2, s, 7);
        return s;
    };
    vorn_handle a = chain("b{1}"), b = chain("b{2}"), c = chain("{1}");
    EXPECT_EQ(recursive_compare(a, b), -1);
    EXPECT_EQ(recursive_equal(a, b), 0);
    EXPECT_EQ(recursive_equal(a, c), 1);
    EXPECT_EQ(compare(a, c), 0);  // releases both
    destroy(b);
}

TEST_F(KeyedTables, SearchCodesAndReports)
{
    // "key code, ...": in a list of handles, of bytes, and a MAP's key list.
    for (const auto &r : rows("20 2, 10 1, 5 -1, 25 -3, 35 -4"))
        for (const char *list : {"{10,20,30}", "b{10,20,30}"}) {
            vorn_handle l = seq(list), key = seq(r[0].c_str());
            EXPECT_EQ(find_bin_is(l, key), std::stoi(r[1])) << list << " " << r[0];
            EXPECT_EQ(counts({l, key}), "0,0");
            drop(l);
            drop(key);
        }
    vorn_handle map = seq("{{'a','c'},b{1,2}}"), k = make_string("c");
    EXPECT_EQ(find_key_is(map, k), 2);
    EXPECT_EQ(cam_key_index(null_sequence, k), -1);
    for (vorn_handle h : {k, map})
        destroy(h);
    expect_fatal({
        // The empty key is reported before the list or MAP is looked at.
        {[] { find_bin_is(5, null_sequence); }, "Search key cann\xC2\xB4t be empty ! "},
        {[] { find_key_is(5, make_string("")); }, "Search key cann\xC2\xB4t be empty ! "},
        {[] { find_bin_is(5, make_string("a")); }, "Search list must be a sequence ! "},
        {[] { find_key_is(make_string("ab"), make_string("a")); }, "No Map construction ! "},
    });
}

TEST_F(KeyedTables, ListsSearchedOftenAnswerAsTheSearchAfterEveryChange)
{
    auto key = [](int k) { return make_string(("k" + std::to_string(100 + k).substr(1)).c_str()); };
    const std::pair<const char *, std::function<void(vorn_handle &)>> changes[] = {
        {"a new key", [&](vorn_handle &m) { subscript_assign(&m, 1, 1, key(40)); }},
        {"keys written by the program",
         [](vorn_handle &m) {
             only_sequence(&static_cast<vorn_handle *>(vorn_record_of(m)->data)[0]);
             std::swap(static_cast<vorn_handle *>(news->data)[2], static_cast<vorn_handle *>(news->data)[9]);
         }},
        {"numbers",
         [](vorn_handle &m) { subscript_assign(&m, seq("{-1,0,1.5,2,3,nan,7,8,9,10,11,12,13}"), 1, 1); }},
    };
    for (const auto &[what, change] : changes) {
        vorn_handle keys = build_sequence(0), values = build_sequence(0), m = 0;
        for (int k = 0; k < 32; ++k) {
            keys = append(keys, key(k));
            values = append(values, k);
        }
        assign(&m, build_sequence(2, keys, values));
        for (int round = 0; round < 4; ++round)  // searched often enough to be indexed
            for (vorn_handle k : elements(keys))
                find_key_is(m, k);
        change(m);
        // Every key and some absent ones; a view of the whole list is searched without an index.
        vorn_handle list = subscript(m, 1), whole = held(slice(list, 1, static_cast<vorn_handle>(-1)));
        std::vector<vorn_handle> probes = elements(list);
        for (const char *absent : {"'k05x'", "'a'", "'z'", "'k1'", "7.0", "{nan}", "{107,48,51}"})
            probes.push_back(seq(absent));
        for (vorn_handle k : probes)
            EXPECT_EQ(find_key_is(m, k), cam_key_index(whole, k)) << what << ": " << text(k);
        for (size_t k = elements(list).size(); k < probes.size(); ++k)
            drop(probes[k]);
        let_go({&whole, &m});
    }
}

TEST_F(FindMatch, ViewsAndTemporariesOnEveryPath)
{
    vorn_handle kept = held(seq("{1,2,3}")), t = seq("{1,2,3}");
    EXPECT_EQ(match(slice(t, 2, 3), t), 2);  // x a view of the temporary s
    t = seq("b{1,2,3}");
    EXPECT_EQ(match(t, t), 1);                           // one temporary passed as both
    EXPECT_EQ(match(seq("{3}"), slice(kept, 2, 3)), 2);  // s a temporary view
    EXPECT_EQ(refcount(kept), 1);
    assign(&kept, 0);

    // With the free list empty, a record read after it was freed would be destroyed twice.
    std::vector<int32_t> spare;
    while (free_tail != 0)
        spare.push_back(new_object());
    t = seq("{1,2,3}");
    EXPECT_EQ(find(slice(t, 1, 2), t), 0);
    for (int32_t i : spare)
        destroy(vorn_double_handle(i));
    expect_fatal({
        {[] { find_from(3, seq("{1,2}"), -1u); }, "find_from : subscript -1 out of range [1 .. 2]\n"},
        {[] { match_from(seq("{1}"), seq("{1}"), seq("{}")); },
         "match_from : subscript error ! should be a integer .\n"},
        {[] { match(seq("{1}"), 1); }, "match() no arg : cann't operate on a Atom .\n"},
    });
}
