// Sequences beyond the differential run: views sharing their base, MAP keys along an assignment's
// path, the record a join or removal result takes, comparison deeper than the C stack, key searches.
#include "support.h"

using namespace vorn_test;

using Subscript = store_test;
using Slice = store_test;
using PathAssign = store_test;
using Concat = store_test;
using Compare = store_test;
using KeyedTables = store_test;
using FindMatch = store_test;

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
    EXPECT_EQ(show(other), "{{b{97},b{98},b{99},b{100},b{101},b{103}},"
                           "{2,10,3,{{b{120},b{121}},b{15,7}},2.5d,{1,8,9}}}");
    EXPECT_EQ(show(keys) + counts({d}), "{b{97},b{98},b{99}}2");

    // A held key gains one reference from the key list, none when found.
    vorn_handle f = held(make_string("f"));
    subscript_assign(&m, 1, 1, f);
    subscript_assign(&m, 2, 1, f);
    EXPECT_EQ(refcount(f), 2);

    // The MAP as the value reaches the old element, which must outlive the operation.
    assign(&m, seq("{{b{107}},{{1,2}}}"));
    subscript_arithmetic_assign(0, &m, m, 1, seq("b{107}"));
    EXPECT_EQ(show(m), "{{b{107}},{{{b{108}},{{3,4}}}}}");
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

TEST_F(Concat, JoinsAndRemovalsTakeTheRecordOfATemporary)
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

    // Removing from a temporary view keeps its record and lets go of its base; a temporary MAP keeps its
    // lists.
    vorn_handle s = held(words_of({1, d, 3})), v = slice(s, 1, 2);
    EXPECT_EQ(removeindex(v, 1), v);
    EXPECT_EQ(vorn_record_of(v)->base, 0u);
    EXPECT_EQ(show_drop(v), "{9d}");
    EXPECT_EQ(counts({s, d}), "1,3");
    vorn_handle key = held(make_string("a")), map = seq("{{'a','b'},{1,3}}");
    EXPECT_EQ(removeindex(map, key), map);
    EXPECT_EQ(show_drop(map), "{{b{98}},{3}}");
    // The inner forms trust their caller and use only the record index.
    EXPECT_EQ(show_drop(_insert(_removeindex(vorn_index(s), 3, 3, 3), 8, 1)), "{1,8,9d}");
    expect_fatal([&] { removeindex(words_of({1, 2, 3}), key); }, "No valid Map construction !");
    let_go({&key, &s, &kept, &d});
}

TEST_F(Compare, WorkersAndNestingDeeperThanTheStack)
{
    // The workers take and release nothing; the same sequence holding a NaN orders as 0 but is unequal.
    vorn_handle nan_seq = seq("{1,nan}"), outer = build_sequence(2, nan_seq, nan_seq);
    EXPECT_EQ(recursive_compare(nan_seq, nan_seq), 0);
    EXPECT_EQ(recursive_equal(outer, outer), 0);
    EXPECT_EQ(counts({outer, nan_seq}), "0,2");
    destroy(outer);

    // Nested 300000 deep, differing only at the bottom: far beyond what the C stack would allow,
    // for comparing and for destroying.
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
            EXPECT_EQ(find_key_is(m, k), cam_key_index(whole, k)) << what << ": " << show(k);
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

    expect_fatal({
        {[] { find_from(3, seq("{1,2}"), -1u); }, "find_from : subscript -1 out of range [1 .. 2]\n"},
        {[] { match_from(seq("{1}"), seq("{1}"), seq("{}")); },
         "match_from : subscript error ! should be a integer .\n"},
        {[] { match(seq("{1}"), 1); }, "match() no arg : cann't operate on a Atom .\n"},
    });
}
