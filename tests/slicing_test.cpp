// Reading out of sequences: positions (integers, integral doubles, counted
// from the end), MAP keys, slices as views sharing their base, and every
// misuse with its exact report.
#include <gtest/gtest.h>

#include <string>

#include "support.h"

using namespace vorn_test;

namespace {

// A temporary sequence stored as handles (even when every element is a
// byte), holding one reference on each counted element.
vorn_handle words_of(std::initializer_list<vorn_handle> elements)
{
    vorn_handle s = vorn_sequence_handle(new_sequence());
    auto *w = static_cast<vorn_handle *>(malloc(elements.size() * sizeof(vorn_handle) + 1));
    size_t k = 0;
    for (vorn_handle e : elements)
        w[k++] = reference(e);
    vorn_record *r = vorn_record_of(s);
    r->data = w;
    r->length = static_cast<int32_t>(elements.size());
    return s;
}

int32_t stored_length(vorn_handle s) { return vorn_record_of(s)->length; }

// Runs `body` in a child and expects the report `message` and status 1.
void expect_fatal(const std::function<void()> &body, const std::string &message)
{
    child_result r = run_child(body);
    EXPECT_EQ(r.out, "RUN_TIME_ERROR : " + message);
    EXPECT_EQ(r.status, 1);
}

}  // namespace

TEST(Subscript, PositionsIntegralDoublesAndBytes)
{
    leak_check leaks;
    vorn_handle s = 0;
    vorn_handle d = make_double(7.5);
    assign(&s, words_of({10, d, 30}));
    EXPECT_EQ(subscript(s, 1), 10u);
    EXPECT_EQ(subscript(s, 2), d);  // borrowed: no reference taken
    EXPECT_EQ(refcount(d), 1);
    EXPECT_EQ(subscript(s, static_cast<vorn_handle>(-1)), 30u);
    EXPECT_EQ(subscript(s, static_cast<vorn_handle>(-3)), 10u);

    vorn_handle two = make_double(2.0), minus_one = make_double(-1.0);
    EXPECT_EQ(subscript(s, two), d);
    EXPECT_EQ(subscript(s, minus_one), 30u);
    destroy(two);
    destroy(minus_one);

    vorn_handle text = 0;
    assign(&text, make_string("A\xC8z"));  // the byte 200 reads as 200
    EXPECT_EQ(subscript(text, 2), 200u);
    EXPECT_EQ(subscript(text, static_cast<vorn_handle>(-1)), static_cast<vorn_handle>('z'));
    assign(&text, 0);
    assign(&s, 0);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Subscript, ReportsInTheirOrder)
{
    vorn_handle s = 0;
    assign(&s, words_of({1, 2, 3}));
    expect_fatal([&] { subscript(s, 5); }, "subscript : subscript 5 out of range [1 .. 3]\n");
    expect_fatal([&] { subscript(s, 0); }, "subscript : subscript 0 out of range [1 .. 3]\n");
    expect_fatal([&] { subscript(s, static_cast<vorn_handle>(-4)); },
                 "subscript : subscript 0 out of range [1 .. 3]\n");
    expect_fatal([&] { subscript(s, make_double(2.5)); }, "subscript : subscript error ! should be a integer .\n");
    // Out of 32 bits, and -2147483648 itself, are not integers here.
    expect_fatal([&] { subscript(s, make_double(3e9)); }, "subscript : subscript error ! should be a integer .\n");
    expect_fatal([&] { subscript(s, make_double(-2147483648.0)); },
                 "subscript : subscript error ! should be a integer .\n");
    expect_fatal([&] { subscript(s, 0xA0000000u); }, "subscript : subscript error ! should be a integer .\n");
    // The index is converted before the sequence is looked at.
    expect_fatal([] { subscript(5, make_double(0.5)); }, "subscript : subscript error ! should be a integer .\n");
    expect_fatal([] { subscript(5, 1); }, "subscript : cann't operate on a Atom .\n");
    assign(&s, 0);
}

TEST(Subscript, KeysReadMapsThroughEveryHolder)
{
    leak_check leaks;
    vorn_handle key_a = 0, key_b = 0, map = 0, other = 0;
    assign(&key_a, make_string("a"));
    assign(&key_b, make_string("b"));
    vorn_handle value = make_double(2.5);
    assign(&map, words_of({words_of({key_a, key_b}), words_of({10, value})}));
    assign(&other, map);

    vorn_handle probe = make_string("b");  // an equal key, not the same object
    EXPECT_EQ(subscript(map, probe), value);
    EXPECT_EQ(subscript(other, key_a), 10u);
    destroy(probe);
    EXPECT_EQ(subscript(0, key_a), 0u);  // 0 stands for a MAP not made yet

    expect_fatal([&] { subscript(map, make_string("c")); }, "Key (in MAP or CAM structure) not found !");
    expect_fatal([&] { subscript(words_of({1, 2, 3}), key_a); }, "No valid MAP construction !");
    expect_fatal([&] { subscript(make_string("ab"), key_a); }, "No valid MAP construction !");
    expect_fatal([&] { subscript(7, key_a); }, "No valid MAP construction !");
    // A value list that is an atom is reported like any atom.
    expect_fatal([&] { subscript(words_of({words_of({key_a}), 5}), key_a); },
                 "subscript : cann't operate on a Atom .\n");

    assign(&other, 0);
    assign(&map, 0);
    assign(&key_a, 0);
    assign(&key_b, 0);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Slice, ViewsShareTheBaseAndKeepItAlive)
{
    leak_check leaks;
    vorn_handle s = 0;
    assign(&s, words_of({1, 2, 3, 4, 5}));
    vorn_handle v = slice(s, 2, static_cast<vorn_handle>(-2));
    EXPECT_EQ(refcount(v), 0);
    EXPECT_EQ(refcount(s), 2);
    EXPECT_EQ(vorn_record_of(v)->base, s);
    EXPECT_EQ(stored_length(v), 3);
    EXPECT_EQ(vorn_record_of(v)->data, static_cast<vorn_handle *>(vorn_record_of(s)->data) + 1);

    // A view of a view names the base, and a temporary view source is used up.
    vorn_handle two = make_double(2.0);
    vorn_handle vv = slice(v, two, 3);  // indexes are not released
    destroy(two);
    EXPECT_EQ(vorn_record_of(vv)->base, s);
    EXPECT_EQ(refcount(s), 2);
    EXPECT_EQ(subscript(vv, 1), 3u);
    EXPECT_EQ(subscript(vv, 2), 4u);

    // The view outlives the variable that held its base.
    assign(&s, 0);
    EXPECT_EQ(subscript(vv, static_cast<vorn_handle>(-1)), 4u);
    destroy(vv);
    EXPECT_EQ(leaks.made(), 0);

    // A temporary owner is kept alive by its slice alone.
    vorn_handle t = make_string("hello");
    vorn_handle bv = slice(t, 2, 4);
    EXPECT_EQ(stored_length(bv), -3);  // bytes stay bytes
    EXPECT_EQ(refcount(t), 1);
    EXPECT_EQ(static_cast<unsigned char *>(vorn_record_of(bv)->data), static_cast<unsigned char *>(vorn_record_of(t)->data) + 1);
    EXPECT_EQ(subscript(bv, 3), static_cast<vorn_handle>('l'));
    destroy(bv);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Slice, EmptySlicesAreTheSharedEmptySequence)
{
    leak_check leaks;
    vorn_handle s = 0;
    assign(&s, words_of({1, 2, 3}));
    int32_t before = refcount(null_sequence);
    EXPECT_EQ(slice(s, 1, 0), null_sequence);
    EXPECT_EQ(slice(s, 4, 3), null_sequence);  // one past the end, decided before bounds
    EXPECT_EQ(slice(s, static_cast<vorn_handle>(-1), static_cast<vorn_handle>(-2)), null_sequence);
    EXPECT_EQ(refcount(null_sequence), before + 3);
    EXPECT_EQ(refcount(s), 1);
    // A temporary source of an empty slice dies.
    EXPECT_EQ(slice(make_string("xy"), 2, 1), null_sequence);
    vorn_record_of(null_sequence)->count = before;
    assign(&s, 0);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Slice, ReportsInTheirOrder)
{
    vorn_handle s = 0;
    assign(&s, words_of({1, 2, 3}));
    // The sequence is tested first, then lo and hi are converted.
    expect_fatal([] { slice(5, make_double(0.5), 1); }, "slice : cann't operate on a Atom .\n");
    expect_fatal([&] { slice(s, make_double(0.5), 0xA0000000u); }, "slice : subscript error ! should be a integer .\n");
    expect_fatal([&] { slice(s, words_of({1}), 2); }, "slice : subscript error ! should be a integer .\n");
    // The negative length is found before any bound.
    expect_fatal([&] { slice(s, 3, 1); }, "slice : slice length cannot be negative\n");
    expect_fatal([&] { slice(s, 9, 1); }, "slice : slice length cannot be negative\n");
    expect_fatal([&] { slice(s, 0, 2); }, "slice : subscript 0 .. out of range [1..3]\n");
    expect_fatal([&] { slice(s, 5, 5); }, "slice : subscript 5 .. out of range [1..3]\n");
    expect_fatal([&] { slice(s, 2, 4); }, "slice : .. subscript 4 out of range [1..3]\n");
    assign(&s, 0);
}
