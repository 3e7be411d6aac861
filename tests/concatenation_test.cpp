// Joining, inserting and removing: storage forms (bytes stay bytes, widening
// when a non-byte joins), temporaries giving their record and handles to the
// result, reference counts of moved and copied elements, MAP key removal,
// and every misuse with its exact report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support.h"

using namespace vorn_test;

namespace {

// A temporary sequence stored as handles, holding one reference on each
// counted element.
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

// The elements of s, bytes zero-extended.
std::vector<vorn_handle> elements(vorn_handle s)
{
    std::vector<vorn_handle> out;
    for (int32_t k = 1; k <= length(s); ++k)
        out.push_back(subscript(s, static_cast<vorn_handle>(k)));
    return out;
}

using list = std::vector<vorn_handle>;

void expect_fatal(const std::function<void()> &body, const std::string &message)
{
    child_result r = run_child(body);
    EXPECT_EQ(r.out, "RUN_TIME_ERROR : " + message);
    EXPECT_EQ(r.status, 1);
}

}  // namespace

TEST(Concat, StorageFormsFollowTheElements)
{
    leak_check leaks;
    vorn_handle r = concat(make_string("ab"), make_string("c"));
    EXPECT_EQ(stored_length(r), -3);
    EXPECT_STREQ(static_cast<char *>(vorn_record_of(r)->data), "abc");  // terminated
    destroy(r);

    vorn_handle a = make_string("a\xC8");
    r = concat(a, words_of({1000}));
    EXPECT_EQ(r, a);  // widened, still the temporary's record
    EXPECT_EQ(stored_length(r), 3);
    EXPECT_EQ(elements(r), (list{'a', 200, 1000}));
    destroy(r);

    r = concat(5, 6);
    EXPECT_EQ(stored_length(r), -2);
    EXPECT_EQ(elements(r), (list{5, 6}));
    destroy(r);

    vorn_handle d = 0;
    assign(&d, make_double(1.5));
    r = concat(5, d);
    EXPECT_EQ(stored_length(r), 2);
    EXPECT_EQ(elements(r), (list{5, d}));
    EXPECT_EQ(refcount(d), 2);
    destroy(r);

    // An atom joins a sequence as one element; bytes only while both are bytes.
    r = concat(make_string("xy"), 'z');
    EXPECT_EQ(stored_length(r), -3);
    destroy(r);
    r = concat(300, make_string("xy"));
    EXPECT_EQ(stored_length(r), 3);
    EXPECT_EQ(elements(r), (list{300, 'x', 'y'}));
    destroy(r);
    r = concat(words_of({}), make_string(""));  // nothing but bytes: bytes (empty)
    EXPECT_EQ(stored_length(r), 0);
    destroy(r);
    EXPECT_EQ(refcount(d), 1);
    assign(&d, 0);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Concat, TemporariesGiveTheirRecordAndHandles)
{
    leak_check leaks;
    vorn_handle d = 0, held = 0;
    assign(&d, make_double(9.0));
    assign(&held, words_of({d, 2}));
    EXPECT_EQ(refcount(d), 2);

    // A temporary left operand keeps its handle; held elements are copied.
    vorn_handle a = words_of({1});
    vorn_handle r = concat(a, held);
    EXPECT_EQ(r, a);
    EXPECT_EQ(elements(r), (list{1, d, 2}));
    EXPECT_EQ(refcount(d), 3);
    EXPECT_EQ(refcount(held), 1);
    destroy(r);
    EXPECT_EQ(refcount(d), 2);

    // A temporary right operand gives its record when the left one is held.
    vorn_handle b = words_of({3, d});
    r = concat(held, b);
    EXPECT_EQ(r, b);
    EXPECT_EQ(elements(r), (list{d, 2, 3, d}));
    EXPECT_EQ(refcount(d), 4);
    destroy(r);

    // Two temporaries: the left record stays, the right one's handles move
    // (no new references) and its record is freed.
    int live = leaks.made();
    a = words_of({1});
    b = words_of({d});
    EXPECT_EQ(refcount(d), 3);
    r = concat(a, b);
    EXPECT_EQ(r, a);
    EXPECT_EQ(refcount(d), 3);
    EXPECT_EQ(leaks.made(), live + 1);
    destroy(r);

    // A temporary bytesequence widened on the right keeps its record too.
    b = make_string("xy");
    r = concat(held, b);
    EXPECT_EQ(r, b);
    EXPECT_EQ(elements(r), (list{d, 2, 'x', 'y'}));
    destroy(r);

    // Neither temporary: a new record, both left as they were.
    r = concat(held, held);
    EXPECT_NE(r, held);
    EXPECT_EQ(elements(r), (list{d, 2, d, 2}));
    EXPECT_EQ(elements(held), (list{d, 2}));
    destroy(r);

    // A temporary view as an operand: its record is reused or it goes, and
    // either way it lets go of its base.
    vorn_handle v = slice(held, 1, 1);
    EXPECT_EQ(refcount(held), 2);
    r = concat(v, 7);
    EXPECT_EQ(r, v);
    EXPECT_EQ(vorn_record_of(r)->base, 0u);
    EXPECT_EQ(refcount(held), 1);
    EXPECT_EQ(elements(r), (list{d, 7}));
    destroy(r);
    r = concat(words_of({0}), slice(held, 2, 2));
    EXPECT_EQ(elements(r), (list{0, 2}));
    EXPECT_EQ(refcount(held), 1);
    destroy(r);

    // One temporary on both sides is joined with itself and then goes.
    vorn_handle t = words_of({d, 300});
    r = concat(t, t);
    EXPECT_EQ(elements(r), (list{d, 300, d, 300}));
    EXPECT_EQ(refcount(d), 4);  // the variable, `held`, twice in r
    destroy(r);

    r = wrap_concat(words_of({1}), 2);  // the built-in's name for the same routine
    EXPECT_EQ(elements(r), (list{1, 2}));
    destroy(r);
    assign(&held, 0);
    EXPECT_EQ(refcount(d), 1);
    assign(&d, 0);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Insert, PositionsAndStorageForms)
{
    leak_check leaks;
    vorn_handle s = 0;
    assign(&s, make_string("abcd"));
    vorn_handle r = _insert(s, 'X', 2);
    EXPECT_STREQ(static_cast<char *>(vorn_record_of(r)->data), "abXcd");
    EXPECT_EQ(stored_length(r), -5);
    destroy(r);
    EXPECT_STREQ(static_cast<char *>(vorn_record_of(s)->data), "abcd");  // held: untouched

    r = insert(s, 'X', 0);
    EXPECT_STREQ(static_cast<char *>(vorn_record_of(r)->data), "Xabcd");
    destroy(r);
    vorn_handle four = make_double(4.0);
    r = insert(s, 'X', four);
    destroy(four);
    EXPECT_STREQ(static_cast<char *>(vorn_record_of(r)->data), "abcdX");
    destroy(r);
    r = prepend(s, 'X');
    EXPECT_STREQ(static_cast<char *>(vorn_record_of(r)->data), "Xabcd");
    destroy(r);

    // A non-byte widens the result; the held bytesequence stays bytes.
    r = append(s, 1000);
    EXPECT_EQ(stored_length(r), 5);
    EXPECT_EQ(elements(r), (list{'a', 'b', 'c', 'd', 1000}));
    EXPECT_EQ(stored_length(s), -4);
    destroy(r);

    // Appending to the empty sequence.
    r = append(words_of({}), 65);
    EXPECT_EQ(stored_length(r), -1);
    destroy(r);
    r = append(words_of({}), 300);
    EXPECT_EQ(stored_length(r), 1);
    destroy(r);

    // The appended object gains a reference of its own.
    vorn_handle d = make_double(0.5);
    r = append(words_of({1, 2}), d);
    EXPECT_EQ(refcount(d), 1);
    EXPECT_EQ(elements(r), (list{1, 2, d}));
    destroy(r);
    assign(&s, 0);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Insert, RepeatedAppendsKeepTheTemporary)
{
    leak_check leaks;
    // Bytes first, widened once by the first non-byte, then handles.
    vorn_handle s = make_string("");
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
    s = prepend(s, 7);
    EXPECT_EQ(s, first);
    s = _insert(s, 8, 1);
    EXPECT_EQ(s, first);
    EXPECT_EQ(subscript(s, 1), 7u);
    EXPECT_EQ(subscript(s, 2), 8u);
    EXPECT_EQ(subscript(s, 3), 0u);
    EXPECT_EQ(length(s), 2002);
    destroy(s);

    // A byte string built by concatenation stays bytes and terminated.
    s = make_string("");
    for (char c = 'a'; c <= 'z'; ++c)
        s = concat(s, make_string(std::string(1, c).c_str()));
    EXPECT_STREQ(static_cast<char *>(vorn_record_of(s)->data), "abcdefghijklmnopqrstuvwxyz");
    destroy(s);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Insert, ReportsInTheirOrder)
{
    vorn_handle s = 0;
    assign(&s, words_of({1, 2, 3}));
    // The position is converted before the sequence is tested.
    expect_fatal([] { _insert(5, 1, make_double(1.5)); }, "insert : subscript error ! should be a integer .\n");
    expect_fatal([&] { _insert(s, 1, make_string("a")); }, "insert : subscript error ! should be a integer .\n");
    expect_fatal([] { _insert(5, 1, 1); }, "insert : cann't operate on a Atom .\n");
    expect_fatal([] { append(5, 1); }, "insert : cann't operate on a Atom .\n");
    expect_fatal([&] { _insert(s, 1, 4); }, "insert : subscript 4 out of range [1 .. 3]\n");
    expect_fatal([&] { _insert(s, 1, static_cast<vorn_handle>(-5)); },
                 "insert : subscript -1 out of range [1 .. 3]\n");
    assign(&s, 0);
}

TEST(Remove, ByPosition)
{
    leak_check leaks;
    vorn_handle d = 0, s = 0;
    assign(&d, make_double(3.5));
    assign(&s, words_of({1, d, 3}));

    // Held: a new record; the removed element stays with s.
    vorn_handle r = removeindex(s, 2);
    EXPECT_NE(r, s);
    EXPECT_EQ(elements(r), (list{1, 3}));
    EXPECT_EQ(elements(s), (list{1, d, 3}));
    EXPECT_EQ(refcount(d), 2);
    destroy(r);
    r = removeindex(s, static_cast<vorn_handle>(-1));
    EXPECT_EQ(elements(r), (list{1, d}));
    destroy(r);

    // A temporary keeps its handle and lets go of the removed element.
    vorn_handle t = words_of({d, 5});
    EXPECT_EQ(refcount(d), 3);
    r = removeindex(t, 1);
    EXPECT_EQ(r, t);
    EXPECT_EQ(refcount(d), 2);
    EXPECT_EQ(elements(r), (list{5}));
    r = removeindex(r, 1);
    EXPECT_EQ(r, t);
    EXPECT_EQ(stored_length(r), 0);
    destroy(r);

    // Bytes stay bytes, terminated.
    r = removeindex(make_string("abcd"), 2);
    EXPECT_EQ(stored_length(r), -3);
    EXPECT_STREQ(static_cast<char *>(vorn_record_of(r)->data), "acd");
    destroy(r);

    // A temporary view keeps its record and lets go of its base.
    vorn_handle v = slice(s, 1, 2);
    EXPECT_EQ(refcount(s), 2);
    r = removeindex(v, 1);
    EXPECT_EQ(r, v);
    EXPECT_EQ(vorn_record_of(r)->base, 0u);
    EXPECT_EQ(refcount(s), 1);
    EXPECT_EQ(elements(r), (list{d}));
    EXPECT_EQ(refcount(d), 3);
    destroy(r);

    // The inner form trusts its caller and uses only the record index.
    r = _removeindex(vorn_index(s), 3, 3, 3);
    EXPECT_EQ(elements(r), (list{1, d}));
    destroy(r);

    assign(&s, 0);
    EXPECT_EQ(refcount(d), 1);
    assign(&d, 0);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Remove, MapKeysThroughEveryHolder)
{
    leak_check leaks;
    vorn_handle a = 0, b = 0, c = 0, map = 0, other = 0;
    assign(&a, make_string("a"));
    assign(&b, make_string("b"));
    assign(&c, make_string("c"));
    vorn_handle value = make_double(2.0);
    assign(&map, words_of({words_of({a, b, c}), words_of({10, value, 30})}));
    assign(&other, map);

    // An absent key: UNDEF, nothing changed or released.
    vorn_handle probe = make_string("bb");
    EXPECT_EQ(removeindex(map, probe), UNDEF);
    EXPECT_EQ(UNDEF, 0x80000000u);
    EXPECT_EQ(refcount(probe), 0);
    destroy(probe);

    // A held MAP gives a new MAP with shorter lists; every holder of the old
    // one still sees all three keys.
    vorn_handle smaller = removeindex(other, b);
    EXPECT_NE(smaller, map);
    EXPECT_EQ(stored_length(smaller), 2);
    vorn_handle keys = subscript(smaller, 1), values = subscript(smaller, 2);
    EXPECT_EQ(refcount(keys), 1);
    EXPECT_EQ(refcount(values), 1);
    EXPECT_EQ(elements(keys), (list{a, c}));
    EXPECT_EQ(elements(values), (list{10, 30}));
    EXPECT_EQ(subscript(map, b), value);
    EXPECT_EQ(subscript(other, b), value);
    EXPECT_EQ(refcount(value), 1);
    destroy(smaller);

    // A temporary MAP keeps its record and lets go of its old lists.
    vorn_handle temp = words_of({words_of({a, c}), words_of({1, 3})});
    vorn_handle old_keys = subscript(temp, 1);
    EXPECT_EQ(removeindex(temp, c), temp);
    EXPECT_NE(subscript(temp, 1), old_keys);
    EXPECT_EQ(elements(subscript(temp, 1)), (list{a}));
    EXPECT_EQ(elements(subscript(temp, 2)), (list{1}));
    destroy(temp);

    expect_fatal([&] { removeindex(words_of({1, 2, 3}), a); }, "No valid Map construction !");
    expect_fatal([&] { removeindex(make_string("xy"), a); }, "No valid Map construction !");

    assign(&other, 0);
    assign(&map, 0);
    assign(&a, 0);
    assign(&b, 0);
    assign(&c, 0);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Remove, ReportsInTheirOrder)
{
    vorn_handle s = 0;
    assign(&s, words_of({1, 2, 3}));
    // Here the sequence is tested before the position.
    expect_fatal([] { removeindex(5, make_double(1.5)); }, "remove : cann't operate on a Atom .\n");
    expect_fatal([&] { removeindex(s, make_double(1.5)); }, "remove : subscript error ! should be a integer .\n");
    expect_fatal([&] { removeindex(s, 0); }, "remove : subscript 0 out of range [1 .. 3]\n");
    expect_fatal([&] { removeindex(s, 4); }, "remove : subscript 4 out of range [1 .. 3]\n");
    expect_fatal([&] { removeindex(s, static_cast<vorn_handle>(-4)); }, "remove : subscript 0 out of range [1 .. 3]\n");
    assign(&s, 0);
}
