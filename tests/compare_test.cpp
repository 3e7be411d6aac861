// Comparison and search: the order and equality of objects (every case in all
// four storage pairings of bytes and handles, nesting deeper than the C stack),
// sorted key lists and MAPs, find and match, and what each releases or reports.
#include <functional>
#include <sstream>

#include "support.h"

using namespace vorn_test;

using Compare = store_test;
using KeyedTables = store_test;
using FindMatch = store_test;

namespace {

// `written` with each "%{" made a bytesequence ("b{") or a sequence of handles.
vorn_handle stored(bool as_bytes, std::string written)
{
    for (size_t at; (at = written.find("%{")) != std::string::npos;)
        written.replace(at, 1, as_bytes ? "b" : "");
    return seq(written.c_str());
}

}  // namespace

TEST_F(Compare, OrderEqualityDeepNestingAndTheBuiltins)
{
    // Each pair in all four storage pairings; the workers take, release and widen nothing.
    const struct {
        const char *a, *b;
        int order, equal;
    } cases[] = {
        {"%{97,0,98}", "%{97,0}", 1, 0},
        {"%{200}", "%{100}", 1, 0},
        {"%{}", "%{0}", -1, 0},
        {"2147483647", "2147483647.5", -1, 0},
        {"nan", "nan", 0, 0},
        {"%{200}", "{-56}", 1, 0},
        {"{1,{%{97,98},{%{3}}}}", "{1,{%{97,98},{%{4}}}}", -1, 0},
        {"{1,%{2}}", "{1,2}", 1, 0},
        {"%{1,2}", "{1,2.0}", 0, 1},
    };
    for (const auto &c : cases)
        for (int form = 0; form < 4; ++form) {
            SCOPED_TRACE(testing::Message() << c.a << " vs " << c.b << " form " << form);
            vorn_handle a = stored(form & 1, c.a), b = stored(form & 2, c.b);
            std::string was = show(a) + show(b);
            EXPECT_EQ(recursive_compare(a, b), c.order);
            EXPECT_EQ(recursive_compare(b, a), -c.order);
            EXPECT_EQ(recursive_equal(a, b), c.equal);
            EXPECT_EQ(show(a) + show(b) + counts({a, b}), was + "0,0");
            drop(a);
            drop(b);
        }
    // The same sequence on both sides orders as 0; a NaN inside stays unequal.
    vorn_handle nan_seq = seq("{1,nan}"), outer = build_sequence(2, nan_seq, nan_seq);
    EXPECT_EQ(recursive_compare(nan_seq, nan_seq), 0);
    EXPECT_EQ(recursive_equal(outer, outer), 0);
    destroy(outer);

    // Nested 300000 deep, differing only at the bottom: far beyond what the C stack would allow.
    auto chain = [](const char *bottom) {
        vorn_handle s = seq(bottom);
        for (int k = 0; k < 300000; ++k)
            s = build_sequence(2, s, 7);
        return s;
    };
    vorn_handle a = chain("b{1}"), b = chain("b{2}"), c = chain("b{1}");
    EXPECT_EQ(recursive_compare(a, b), -1);
    EXPECT_EQ(recursive_equal(a, b), 0);
    EXPECT_EQ(recursive_equal(a, c), 1);
    EXPECT_EQ(compare(a, c), 0);  // releases both
    destroy(b);

    // The built-ins release temporaries, once when passed twice, and keep held arguments.
    vorn_handle x = held(make_string("x")), t = make_string("t");
    EXPECT_EQ(compare(make_string("ab"), make_string("abc")), -1);
    EXPECT_EQ(equal(x, make_string("x")), 1);
    EXPECT_EQ(compare(make_double(1.0), x), -1);
    EXPECT_EQ(compare(t, t), 0);
    vorn_handle inner = make_string("in");
    EXPECT_EQ(equal(build_sequence(1, inner), inner), 0);
    EXPECT_EQ(refcount(x) + leaks.made(), 2);
    assign(&x, 0);
}

TEST_F(KeyedTables, SearchCodesAndInsertionPoints)
{
    using search = int32_t (*)(vorn_handle, vorn_handle);
    const search cam = cam_key_index;
    const char *mixed = "{-5,2.5,7,{},'a',{97,98},'b',{300},{{}}}";  // ascending; strings stored both ways
    const char *map = "{{'a','c'},b{1,2}}";
    const struct {
        search routine;
        const char *list, *keys;  // "key code, ..."
    } probes[] = {
        {cam, "%{10,20,30}", "20 2, 10 1, 30 3, 5 -1, 25 -3, 35 -4, 'a' -4"},
        {find_bin_is, "%{10,20,30}", "15 -2, 20.0 2"},
        {cam, mixed, "{97} 5, 'ab' 6, {98} 7, 'aa' -6, 'c' -8, -6 -1, 3.0 -3, 8 -4"},
        {find_key_is, map, "'c' 2, {98} -2, 'z' -3"},
    };
    for (const auto &p : probes)
        for (const auto &r : rows(p.keys))
            for (bool bytes : {false, true}) {
                vorn_handle list = stored(bytes, p.list), key = seq(r[0].c_str());
                std::string was = show(list);
                EXPECT_EQ(p.routine(list, key), std::stoi(r[1])) << p.list << " " << r[0];
                EXPECT_EQ(counts({list, key}) + show(list), "0,0" + was);
                drop(list);
                drop(key);
            }
    // Every key of the mixed list is found at its place, in a total order.
    vorn_handle list = seq(mixed);
    std::vector<vorn_handle> keys = elements(list);
    for (int32_t i = 0; i < length(list); ++i) {
        for (int32_t j = 0; j < length(list); ++j)
            EXPECT_EQ(recursive_compare(keys[i], keys[j]), (i > j) - (i < j)) << i << " " << j;
        EXPECT_EQ(cam_key_index(list, keys[i]), i + 1);
    }
    // No keys in the empty sequence, nor in a MAP made of two of them.
    vorn_handle k = make_string("k"), fresh = build_sequence(2, null_sequence, null_sequence);
    EXPECT_EQ(cam_key_index(null_sequence, k), -1);
    EXPECT_EQ(find_key_is(fresh, k), -1);
    for (vorn_handle h : {list, k, fresh})
        destroy(h);
}

namespace {

// The key search as the rules give it, written out over the list's elements.
int32_t searched(vorn_handle list, vorn_handle key)
{
    std::vector<vorn_handle> keys = elements(list);
    int32_t lo = 0, hi = int32_t(keys.size()) - 1, mid = 0, c = 0;
    while (lo <= hi) {
        mid = (lo + hi) / 2;
        if ((c = recursive_compare(key, keys[size_t(mid)])) == 0)
            return mid + 1;
        c < 0 ? hi = mid - 1 : lo = mid + 1;
    }
    return -(lo + 1);
}

}  // namespace

TEST_F(KeyedTables, ListsSearchedOftenAnswerAsTheSearchAfterEveryChange)
{
    auto key = [](int k) { return make_string(("k" + std::to_string(100 + k).substr(1)).c_str()); };
    const std::pair<const char *, std::function<void(vorn_handle &)>> changes[] = {
        {"nothing", [](vorn_handle &) {}},
        {"a new key", [&](vorn_handle &m) { subscript_assign(&m, 1, 1, key(40)); }},
        {"a key removed",
         [&](vorn_handle &m) {
             vorn_handle k = held(key(3));
             assign(&m, removeindex(m, k));
             let_go({&k});
         }},
        {"a key replaced", [](vorn_handle &m) { subscript_assign(&m, make_string("zz"), 2, 1, 4); }},
        {"a key changed inside", [](vorn_handle &m) { subscript_assign(&m, 'z', 3, 1, 6, 1); }},
        {"a slice of keys", [](vorn_handle &m) { slice_assign(&m, 5, seq("{'b','a'}"), 2, 1, 4); }},
        {"keys written by the program",
         [](vorn_handle &m) {
             only_sequence(&static_cast<vorn_handle *>(vorn_record_of(m)->data)[0]);
             std::swap(static_cast<vorn_handle *>(news->data)[2], static_cast<vorn_handle *>(news->data)[9]);
         }},
        {"the list grown by concat_to",
         [&](vorn_handle &m) {
             vorn_handle l = held(subscript(m, 1));
             subscript_assign(&m, 0, 1, 1);
             concat_to(&l, key(1));
             subscript_assign(&m, l, 1, 1);
             let_go({&l});
         }},
        {"the list computed into",
         [](vorn_handle &m) {
             vorn_handle l = held(subscript(m, 1));
             subscript_assign(&m, 0, 1, 1);
             subscript_assign(&m, add(func_cleanup(l, 1, l), 1), 1, 1);
         }},
        {"the list gone, another in its record",
         [&](vorn_handle &m) {
             subscript_assign(&m, 0, 1, 1);
             vorn_handle l = build_sequence(0);
             for (int k = 30; k > 0; --k)
                 l = append(l, key(k % 7));
             subscript_assign(&m, l, 1, 1);
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
        // Every key of the list and some that are not there (between, around, equal as numbers, a NaN).
        vorn_handle list = subscript(m, 1);
        std::vector<vorn_handle> probes = elements(list);
        for (const char *absent : {"'k05x'", "'a'", "'z'", "'k1'", "7.0", "{nan}", "{107,48,51}"})
            probes.push_back(seq(absent));
        for (vorn_handle k : probes)
            EXPECT_EQ(find_key_is(m, k), searched(list, k)) << what << ": " << text(k);
        for (size_t k = elements(list).size(); k < probes.size(); ++k)
            drop(probes[k]);
        let_go({&m});
    }
}

// Results of find and match on generated values are checked against the model
// by the differential test; here the temporaries on every path.
TEST_F(FindMatch, TemporariesOnEveryPath)
{
    // Temporaries are destroyed on every path, views included.
    vorn_handle kept = held(seq("{1,2,3}")), t = seq("{1,2,3}");
    EXPECT_EQ(match(slice(t, 2, 3), t), 2);  // x a view of the temporary s
    t = seq("{1,2,3}");
    EXPECT_EQ(find(slice(t, 1, 2), t), 0);
    t = seq("b{1,2,3}");
    EXPECT_EQ(match(t, t), 1);                                 // one temporary passed as both
    EXPECT_EQ(match(seq("{3}"), slice(kept, 2, 3)), 2);        // s a temporary view
    EXPECT_EQ(match(seq("{1,2,3,4}"), slice(kept, 1, 2)), 0);  // no room
    EXPECT_EQ(find(kept, kept), 0);
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
}

TEST_F(FindMatch, ReportsOfTheSearches)
{
    expect_fatal({
        // The empty key is reported before the list or MAP is looked at.
        {[] { find_bin_is(5, null_sequence); }, "Search key cann\xC2\xB4t be empty ! "},
        {[] { find_key_is(build_sequence(3, 1, 2, 3), make_string("")); },
         "Search key cann\xC2\xB4t be empty ! "},
        {[] { find_bin_is(5, make_string("a")); }, "Search list must be a sequence ! "},
        // Two elements stored as bytes are not a MAP.
        {[] { find_key_is(make_string("ab"), make_string("a")); }, "No Map construction ! "},
        {[] { find_from(3, seq("{1,2}"), -1u); }, "find_from : subscript -1 out of range [1 .. 2]\n"},
        {[] { find_from(3, seq("{1,2}"), seq("1.5")); },
         "find_from : subscript error ! should be a integer .\n"},
        {[] { match(seq("{1}"), 1); }, "match() no arg : cann't operate on a Atom .\n"},
        {[] { match_from(seq("{1}"), seq("b{1,2}"), 3); },
         "match_from : subscript 3 out of range [1 .. 2]\n"},
        {[] { match_from(seq("{1}"), seq("{1}"), seq("{}")); },
         "match_from : subscript error ! should be a integer .\n"},
    });
}
