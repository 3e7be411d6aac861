// The order and equality of objects: atoms, sequences stored as bytes or as
// handles (every ordering case runs in all four storage pairings), nesting far
// deeper than the C stack would allow, and the release rule of the built-ins.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support.h"

using namespace vorn_test;

namespace {

// A bytesequence holding `values` (each 0..255), owning its storage.
vorn_handle bytes_of(const std::vector<int> &values)
{
    size_t n = values.size();
    auto *b = static_cast<unsigned char *>(malloc(n + 1));
    for (size_t k = 0; k < n; ++k)
        b[k] = static_cast<unsigned char>(values[k]);
    b[n] = 0;
    vorn_handle s = vorn_sequence_handle(new_sequence());
    vorn_record_of(s)->data = b;
    vorn_record_of(s)->length = -static_cast<int32_t>(n);
    return s;
}

// The same values stored as handles.
vorn_handle words_of(const std::vector<int> &values)
{
    vorn_handle s = bytes_of(values);
    conv_byte2obj(s);
    return s;
}

vorn_handle stored(bool as_bytes, const std::vector<int> &values)
{
    return as_bytes ? bytes_of(values) : words_of(values);
}

bool stored_as_bytes(vorn_handle s) { return vorn_record_of(s)->length < 0; }

}  // namespace

TEST(Compare, ByteValuedSequencesInEveryStoragePairing)
{
    leak_check leaks;
    const struct {
        std::vector<int> a, b;
        int order;
    } cases[] = {
        {{1, 2}, {1, 2, 3}, -1},
        {{1, 3}, {1, 2, 3}, 1},
        {{'a', 'b'}, {'a', 'b', 'c'}, -1},
        {{'a', 0, 'b'}, {'a', 0}, 1},  // a zero byte inside is an element, not an end
        {{'a', 0}, {'a', 1}, -1},
        {{200}, {100}, 1},  // bytes are unsigned
        {{255, 1}, {0, 2}, 1},
        {{7, 8, 9}, {7, 8, 9}, 0},
        {{}, {0}, -1},
        {{}, {}, 0},
    };
    for (const auto &c : cases) {
        for (int form = 0; form < 4; ++form) {
            bool a_bytes = form & 1, b_bytes = form & 2;
            SCOPED_TRACE(testing::Message() << "case " << (&c - cases) << " form " << form);
            vorn_handle a = stored(a_bytes, c.a), b = stored(b_bytes, c.b);
            ASSERT_EQ(stored_as_bytes(a), a_bytes && !c.a.empty());
            ASSERT_EQ(stored_as_bytes(b), b_bytes && !c.b.empty());
            EXPECT_EQ(recursive_compare(a, b), c.order);
            EXPECT_EQ(recursive_compare(b, a), -c.order);
            EXPECT_EQ(recursive_equal(a, b), c.order == 0);
            EXPECT_EQ(recursive_equal(b, a), c.order == 0);
            // Nothing is released, taken or widened by the workers.
            EXPECT_EQ(refcount(a), 0);
            EXPECT_EQ(stored_as_bytes(a), a_bytes && !c.a.empty());
            destroy(a);
            destroy(b);
        }
    }
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Compare, AtomsIntegersAgainstDoubles)
{
    leak_check leaks;
    vorn_handle two = make_double(2.0), two_half = make_double(2.5), nan = make_double(NAN);
    vorn_handle big = make_double(2147483647.5), minus = static_cast<vorn_handle>(-1073741824);
    EXPECT_EQ(recursive_compare(1, 2), -1);
    EXPECT_EQ(recursive_compare(2, two), 0);
    EXPECT_EQ(recursive_compare(two_half, 2), 1);
    EXPECT_EQ(recursive_compare(minus, 2147483647), -1);  // signed, not as raw handles
    EXPECT_EQ(recursive_compare(static_cast<vorn_handle>(-1), 0), -1);
    EXPECT_EQ(recursive_compare(2147483647, big), -1);  // the integer converts exactly
    EXPECT_EQ(recursive_equal(2, two), 1);
    EXPECT_EQ(recursive_equal(2, two_half), 0);
    EXPECT_EQ(recursive_equal(3, 3), 1);
    EXPECT_EQ(recursive_compare(nan, 1), 0);
    EXPECT_EQ(recursive_compare(1, nan), 0);
    EXPECT_EQ(recursive_equal(nan, nan), 0);
    EXPECT_EQ(recursive_equal(nan, 1), 0);
    for (vorn_handle h : {two, two_half, nan, big})
        destroy(h);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Compare, AtomsBelowSequencesAndMixedElements)
{
    leak_check leaks;
    vorn_handle empty = words_of({}), nested_empty = build_sequence(1, null_sequence);
    EXPECT_EQ(recursive_compare(5, empty), -1);
    EXPECT_EQ(recursive_compare(empty, 5), 1);
    EXPECT_EQ(recursive_equal(empty, null_sequence), 1);
    for (bool as_bytes : {true, false}) {
        vorn_handle five = stored(as_bytes, {5}), one = stored(as_bytes, {1}), pair = stored(as_bytes, {1, 2});
        EXPECT_EQ(recursive_compare(five, nested_empty), -1);
        EXPECT_EQ(recursive_compare(nested_empty, five), 1);
        EXPECT_EQ(recursive_equal(one, 1), 0);
        EXPECT_EQ(recursive_equal(1, one), 0);
        // A double element against a byte read in place.
        vorn_handle with_double = build_sequence(2, 1, make_double(2.0));
        EXPECT_EQ(recursive_equal(pair, with_double), 1);
        EXPECT_EQ(recursive_equal(with_double, pair), 1);
        EXPECT_EQ(recursive_compare(pair, with_double), 0);
        // A byte 200 is never -56, and a byte is below a larger handle value.
        vorn_handle byte200 = stored(as_bytes, {200});
        vorn_handle minus56 = build_sequence(1, static_cast<vorn_handle>(-56));
        vorn_handle three_hundred = build_sequence(1, 300);
        EXPECT_EQ(recursive_compare(byte200, minus56), 1);
        EXPECT_EQ(recursive_compare(byte200, three_hundred), -1);
        EXPECT_EQ(recursive_compare(three_hundred, nested_empty), -1);
        for (vorn_handle h : {five, one, pair, with_double, byte200, minus56, three_hundred})
            destroy(h);
    }
    destroy(empty);
    destroy(nested_empty);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Compare, NestedSequencesAndSharedElements)
{
    leak_check leaks;
    for (int form = 0; form < 4; ++form) {
        // {1, {"ab", {x}}} with the strings stored per `form`.
        auto make = [](bool as_bytes, int last) {
            vorn_handle inner = build_sequence(1, stored(as_bytes, {last}));
            return build_sequence(2, 1, build_sequence(2, stored(as_bytes, {'a', 'b'}), inner));
        };
        vorn_handle a = make(form & 1, 3), b = make(form & 2, 4), c = make(form & 2, 3);
        EXPECT_EQ(recursive_compare(a, b), -1);
        EXPECT_EQ(recursive_compare(b, a), 1);
        EXPECT_EQ(recursive_equal(a, b), 0);
        EXPECT_EQ(recursive_compare(a, c), 0);
        EXPECT_EQ(recursive_equal(a, c), 1);
        destroy(a);
        destroy(b);
        destroy(c);
    }
    // The same sequence on both sides orders as 0; a NaN inside stays unequal.
    vorn_handle nan_seq = build_sequence(2, 1, make_double(NAN));
    vorn_handle outer = build_sequence(2, nan_seq, nan_seq);
    EXPECT_EQ(recursive_compare(nan_seq, nan_seq), 0);
    EXPECT_EQ(recursive_equal(nan_seq, nan_seq), 0);
    EXPECT_EQ(recursive_equal(outer, outer), 0);
    destroy(outer);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Compare, NestingDeeperThanTheMachineStack)
{
    leak_check leaks;
    // {{{...{x}...}}} nested 300000 deep on both sides, differing only at the
    // bottom: a recursive walk would need several times the usual 8 MB stack.
    const int depth = 300000;
    auto chain = [depth](int bottom) {
        vorn_handle s = bytes_of({bottom});
        for (int k = 0; k < depth; ++k)
            s = build_sequence(2, s, 7);
        return s;
    };
    vorn_handle a = chain(1), b = chain(2), c = chain(1);
    EXPECT_EQ(recursive_compare(a, b), -1);
    EXPECT_EQ(recursive_compare(b, a), 1);
    EXPECT_EQ(recursive_equal(a, b), 0);
    EXPECT_EQ(recursive_equal(a, c), 1);
    EXPECT_EQ(compare(a, c), 0);  // releases both
    destroy(b);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Compare, BuiltinsReleaseTemporariesAndKeepHeldArguments)
{
    leak_check leaks;
    EXPECT_EQ(compare(make_string("ab"), make_string("abc")), -1);
    EXPECT_EQ(equal(words_of({1, 2}), build_sequence(2, 1, make_double(2.0))), 1);
    EXPECT_EQ(compare(make_double(2.5), 2), 1);
    EXPECT_EQ(leaks.made(), 0);

    vorn_handle held = 0;
    assign(&held, make_string("x"));
    EXPECT_EQ(equal(held, make_string("x")), 1);
    EXPECT_EQ(compare(make_double(1.0), held), -1);
    EXPECT_EQ(refcount(held), 1);
    EXPECT_EQ(length(held), 1);

    // The same temporary twice, and a temporary with an element of its own,
    // are destroyed once.
    vorn_handle t = make_string("t");
    EXPECT_EQ(compare(t, t), 0);
    vorn_handle inner = make_string("in");
    vorn_handle outer = build_sequence(1, inner);
    EXPECT_EQ(equal(outer, inner), 0);
    EXPECT_EQ(leaks.made(), 1);  // only `held` is left
    assign(&held, 0);
    EXPECT_EQ(leaks.made(), 0);
}
