// Searching sorted key lists and MAPs: search codes and insertion points,
// keys of every kind in one ascending list, lists stored as bytes, the
// argument checks of the search built-ins, and no reference ever touched.
#include <gtest/gtest.h>

#include <vector>

#include "support.h"

using namespace vorn_test;

namespace {

// The values as a sequence of handles (a bytesequence widened in place).
vorn_handle words_of(const std::vector<int> &values)
{
    vorn_handle s = vorn_sequence_handle(new_sequence());
    auto *w = static_cast<vorn_handle *>(malloc(values.size() * sizeof(vorn_handle) + 1));
    for (size_t k = 0; k < values.size(); ++k)
        w[k] = static_cast<vorn_handle>(values[k]);
    vorn_record_of(s)->data = w;
    vorn_record_of(s)->length = static_cast<int32_t>(values.size());
    return s;
}

// A handle-stored copy of a string.
vorn_handle widened(const char *text)
{
    vorn_handle s = make_string(text);
    conv_byte2obj(s);
    return s;
}

}  // namespace

TEST(KeyedTables, SearchCodesAndInsertionPoints)
{
    leak_check leaks;
    vorn_handle k = make_string("k");
    EXPECT_EQ(cam_key_index(null_sequence, k), -1);
    destroy(k);
    vorn_handle words = words_of({10, 20, 30});
    vorn_handle bytes = build_sequence(3, 10, 20, 30);  // a list stored as bytes
    ASSERT_LT(vorn_record_of(bytes)->length, 0);
    for (vorn_handle list : {words, bytes}) {
        EXPECT_EQ(cam_key_index(list, 20), 2);
        EXPECT_EQ(cam_key_index(list, 10), 1);
        EXPECT_EQ(cam_key_index(list, 30), 3);
        EXPECT_EQ(cam_key_index(list, 5), -1);
        EXPECT_EQ(cam_key_index(list, 25), -3);
        EXPECT_EQ(cam_key_index(list, 35), -4);
        EXPECT_EQ(find_bin_is(list, 15), -2);
        vorn_handle twenty = make_double(20.0);
        EXPECT_EQ(find_bin_is(list, twenty), 2);
        destroy(twenty);
        // Every sequence key sorts after every atom.
        vorn_handle key = make_string("a");
        EXPECT_EQ(cam_key_index(list, key), -4);
        destroy(key);
    }
    EXPECT_EQ(vorn_record_of(bytes)->length, -3);  // searched in place, not widened
    destroy(words);
    destroy(bytes);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(KeyedTables, MixedKeysInOneAscendingListWhateverTheStorage)
{
    leak_check leaks;
    // Ascending: atoms by value, then sequences; strings held as handles
    // and looked up as bytes, and the other way round.
    vorn_handle list = build_sequence(9, static_cast<vorn_handle>(-5), make_double(2.5), 7, null_sequence,
                                      make_string("a"), widened("ab"), make_string("b"),
                                      build_sequence(1, 300), build_sequence(1, null_sequence));
    int32_t n = length(list);
    const vorn_handle *keys = static_cast<const vorn_handle *>(vorn_record_of(list)->data);
    for (int32_t i = 0; i < n; ++i) {
        for (int32_t j = 0; j < n; ++j)
            EXPECT_EQ(recursive_compare(keys[i], keys[j]), (i > j) - (i < j)) << i << " " << j;
        EXPECT_EQ(cam_key_index(list, keys[i]), i + 1);
    }
    const struct {
        vorn_handle key;
        int32_t code;
    } probes[] = {
        {widened("a"), 5},     {make_string("ab"), 6}, {widened("b"), 7},
        {make_string("aa"), -6}, {make_string("c"), -8}, {static_cast<vorn_handle>(-6), -1},
        {make_double(3.0), -3},  {8, -4},
    };
    for (const auto &p : probes) {
        EXPECT_EQ(cam_key_index(list, p.key), p.code);
        EXPECT_EQ(refcount(p.key), 0);
        if (vorn_is_object(p.key))
            destroy(p.key);
    }
    EXPECT_EQ(refcount(list), 0);
    destroy(list);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(KeyedTables, MapKeyListSearch)
{
    leak_check leaks;
    vorn_handle map = build_sequence(2, build_sequence(2, make_string("a"), make_string("c")),
                                     build_sequence(2, 1, 2));
    vorn_handle c = make_string("c"), b = widened("b"), z = make_string("z");
    EXPECT_EQ(find_key_is(map, c), 2);
    EXPECT_EQ(find_key_is(map, b), -2);
    EXPECT_EQ(find_key_is(map, z), -3);
    // A MAP built from two empty sequences has no keys yet.
    vorn_handle fresh = build_sequence(2, null_sequence, null_sequence);
    EXPECT_EQ(find_key_is(fresh, c), -1);
    for (vorn_handle h : {map, c, b, z, fresh})
        destroy(h);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(KeyedTables, SearchBuiltinsRejectTheirMisuse)
{
    const std::string prefix = "RUN_TIME_ERROR : ";
    // The empty key is reported before the list or MAP is looked at.
    auto r = run_child([] { find_bin_is(5, null_sequence); });
    EXPECT_EQ(r.out, prefix + "Search key cann\xC2\xB4t be empty ! ");
    EXPECT_EQ(r.status, 1);
    r = run_child([] { find_key_is(build_sequence(3, 1, 2, 3), make_string("")); });
    EXPECT_EQ(r.out, prefix + "Search key cann\xC2\xB4t be empty ! ");
    r = run_child([] { find_bin_is(5, make_string("a")); });
    EXPECT_EQ(r.out, prefix + "Search list must be a sequence ! ");
    EXPECT_EQ(r.status, 1);
    // Two elements stored as bytes are not a MAP.
    r = run_child([] { find_key_is(make_string("ab"), make_string("a")); });
    EXPECT_EQ(r.out, prefix + "No Map construction ! ");
    EXPECT_EQ(r.status, 1);
}
