// wrap_value: the texts it accepts and rejects, the form of its status
// pairs, and what it releases.
#include <gtest/gtest.h>

#include <string>

#include "support.h"

using namespace vorn_test;

// From operators_test.cpp.
namespace ops_test {
std::string show(vorn_handle h);
vorn_handle words_of(std::initializer_list<int64_t> elements);
void drop(vorn_handle h);
}  // namespace ops_test
using namespace ops_test;

TEST(ValueParsing, Texts)
{
    leak_check leaks;
    const struct {
        const char *text, *want;
    } cases[] = {
        {"42", "{0,42}"}, {"+42", "{0,42}"}, {"   42", "{0,42}"}, {"42  \t\r\n", "{0,42}"},
        {"42\xC8\xFF", "{0,42}"}, {"\t42", "{1,0}"}, {"4 2", "{1,0}"}, {"-1073741824", "{0,-1073741824}"},
        {"-1073741825", "{1,0}"}, {"2147483647", "{0,2147483647}"}, {"2147483648", "{1,0}"},
        {"-99999999999999999999", "{1,0}"}, {"007", "{0,7}"}, {"12.", "{0,12}"}, {"12.5", "{0,12.5d}"},
        {".5", "{0,0.5d}"}, {"-.5", "{0,-0.5d}"}, {"1e3", "{0,1000d}"}, {"1e", "{0,1d}"}, {"1e+", "{0,1d}"},
        {"1.5E-2", "{0,0.014999999999999999d}"}, {"2147483648.0", "{0,2147483648d}"}, {"1.2.3", "{1,0}"},
        {".5.", "{1,0}"}, {"12abc", "{1,0}"}, {"0x10", "{1,0}"}, {"-", "{1,0}"}, {".", "{1,0}"},
        {"e5", "{1,0}"}, {"", "{1,0}"}, {"    ", "{1,0}"}, {"#FF", "{0,255}"}, {"#ff", "{0,255}"},
        {"  #10", "{0,16}"}, {"#o17", "{0,15}"}, {"#O19", "{0,17}"}, {"#1G", "{0,1}"}, {"#", "{0,0}"},
        {"#FFFFFFFF", "{0,-1}"}, {"#C0000000", "{0,-1073741824}"}, {"#80000000", "{0,-2147483648d}"},
        {"#BFFFFFFF", "{0,-1073741825d}"}, {"#100000010", "{0,16}"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        vorn_handle r = wrap_value(make_string(c.text));
        EXPECT_GT(vorn_record_of(r)->length, 0);  // a pair of handles
        EXPECT_EQ(show(r), c.want);
        drop(r);
    }
    EXPECT_EQ(leaks.made(), 0);
}

TEST(ValueParsing, SequencesAndAtoms)
{
    leak_check leaks;
    vorn_handle r = wrap_value(words_of({52, 50}));
    EXPECT_EQ(show(r), "{0,42}");
    drop(r);
    r = wrap_value(null_sequence);  // read as a single blank
    EXPECT_EQ(show(r), "{1,0}");
    drop(r);
    EXPECT_EQ(refcount(null_sequence), 1);

    // An atom is one character code; the answer is stored as two bytes.
    const struct {
        vorn_handle x;
        const char *want;
    } atoms[] = {{'7', "b{0,7}"}, {'0', "b{0,0}"}, {7, "b{1,0}"}, {'a', "b{1,0}"}, {256 + '7', "b{1,0}"}};
    for (const auto &a : atoms) {
        r = wrap_value(a.x);
        EXPECT_EQ(show(r), a.want);
        drop(r);
    }
    vorn_handle d = make_double(55.0);
    r = wrap_value(d);
    EXPECT_EQ(show(r), "b{1,0}");
    EXPECT_EQ(refcount(d), 0);  // not released: still a live double
    EXPECT_EQ(vorn_double_value(d), 55.0);
    drop(r);
    destroy(d);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(ValueParsing, OwnershipOfTheTextAndTheValue)
{
    leak_check leaks;
    // The double is held once, by the pair.
    vorn_handle r = wrap_value(make_string("2.5"));
    vorn_handle value = static_cast<vorn_handle *>(vorn_record_of(r)->data)[1];
    ASSERT_TRUE(vorn_is_double(value));
    EXPECT_EQ(refcount(value), 1);
    EXPECT_EQ(leaks.made(), 2);
    drop(r);
    EXPECT_EQ(leaks.made(), 0);

    // A held text is read and left as it was, trailing blanks included.
    vorn_handle s = 0;
    assign(&s, make_string("12.  "));
    r = wrap_value(s);
    EXPECT_EQ(show(r), "{0,12}");
    drop(r);
    EXPECT_EQ(refcount(s), 1);
    EXPECT_STREQ(static_cast<char *>(vorn_record_of(s)->data), "12.  ");
    assign(&s, 0);
    EXPECT_EQ(leaks.made(), 0);
}
