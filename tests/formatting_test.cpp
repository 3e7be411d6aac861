// Formatted output: the cutting of formats, the value each piece is given,
// hostile directives, releases, and printf to a file number.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <functional>
#include <string>

#include "support.h"

using namespace vorn_test;

namespace {

// The bytes of a result, checking it is stored as bytes (or empty).
std::string text_of(vorn_handle s)
{
    EXPECT_TRUE(vorn_is_sequence(s));
    const vorn_record *r = vorn_record_of(s);
    EXPECT_LE(r->length, 0) << "result not stored as bytes";
    return std::string(static_cast<const char *>(r->data), static_cast<size_t>(-r->length));
}

// Formats and frees the result; the format and the argument are consumed.
std::string format_with(vorn_handle f, vorn_handle arg)
{
    vorn_handle s = wrap_sprintf(f, arg);
    EXPECT_EQ(refcount(s), 0);
    std::string t = text_of(s);
    destroy(s);
    return t;
}

std::string format(const char *f, vorn_handle arg) { return format_with(make_string(f), arg); }

// The sequence {65, 66} stored as handles, not as bytes.
vorn_handle wide_ab()
{
    vorn_handle s = build_sequence(2, 65, 66);
    conv_byte2obj(s);
    return s;
}

struct format_case {
    const char *format;
    std::function<vorn_handle()> arg;
    std::string want;
};

}  // namespace

TEST(Formatting, PiecesTakeTheirValuesByTheRules)
{
    leak_check leaks;
    const format_case cases[] = {
        {"x=%d", [] { return 5u; }, "x=5"},
        {"%d %d", [] { return 5u; }, "5 "},
        {"x=%d", [] { return build_sequence(0); }, "x="},
        {"%5.2f", [] { return 3u; }, " 3.00"},
        {"%d", [] { return make_double(2.5); }, "2.5"},
        {"%x", [] { return 255u; }, "ff"},
        {"%s", [] { return build_sequence(1, make_string("abc")); }, "abc"},
        {"%s", [] { return 65u; }, "A"},
        {"%s!", [] { return make_string("abc"); }, "abc!"},
        {"%s and %s", [] { return make_string("ab"); }, "ab and ab"},
        {"%d,%d", [] { return make_string("AB"); }, "65,66"},
        {"%d", [] { return build_sequence(1, 200u); }, "-56"},
        {"%x", [] { return build_sequence(1, 200u); }, "c8"},
        {"%5.2f|%g", [] { return make_string("AB"); }, "   65|66"},
        {"%s", wide_ab, "A"},
        {"[%s]", [] { return build_sequence(1, build_sequence(0)); }, "[ ]"},
        {"50%% off %d", [] { return 3u; }, "50%% off 3"},
        {"%%%d!", [] { return 7u; }, "7!"},
        {"a%%%d", [] { return 7u; }, "a%%d"},
        {"%d%%x%d", [] { return 5u; }, "5%%x"},
        {"end%%", [] { return 5u; }, "end"},
        {"%%", [] { return 5u; }, ""},
        {"no pieces", [] { return 5u; }, "no pieces"},
        {"%d %f", [] { return build_sequence(2, build_sequence(0), build_sequence(0)); }, "0 0.000000"},
        {"<%s>|%d", [] { return build_sequence(2, build_sequence(1, 0u), 4u); }, "<4"},
        {"%d 5s", [] { return 65u; }, "65 5c"},
        {"%c|after", [] { return 0u; }, ""},
        {"%10d", [] { return 1u; }, "         1"},
        {"%30d", [] { return 1u; }, std::string(29, ' ') + "1"},
        {"%d %5.1f %s", [] { return build_sequence(3, 7u, make_double(2.25), make_string("hi")); },
         "7   2.2 hi"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(format(c.format, c.arg()), c.want) << "format «" << c.format << "»";

    // The full text of a huge %f; an empty format sequence is one space.
    char want[400];
    std::snprintf(want, sizeof want, "%f", 1e300);
    EXPECT_EQ(format("%f", make_double(1e300)), want);
    EXPECT_EQ(format_with(build_sequence(0), 1u), " ");
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Formatting, HostileDirectivesReadOnlyTheirOneValue)
{
    leak_check leaks;
    const format_case cases[] = {
        {"%n|", [] { return 5u; }, "%n|"},
        {"%*d|", [] { return 5u; }, "%*d|"},
        {"%.*f|", [] { return make_double(1.5); }, "%.*f|"},
        {"%1$d|", [] { return 5u; }, "%1$d|"},
        {"%p|", [] { return 5u; }, "%p|"},
        {"%m|", [] { return 5u; }, "%m|"},
        {"%5", [] { return 5u; }, "%5"},
        {"%ld|%lld", [] { return build_sequence(2, -1u, -1u); }, "-1|-1"},
        {"%lx", [] { return -1u; }, "ffffffff"},
        {"%hhd", [] { return 300u; }, "44"},
        {"%Lf", [] { return make_double(0.5); }, "0.500000"},
        {"%-s|", [] { return 65u; }, "A|"},
        {"%-s|", [] { return make_double(66.7); }, "B|"},
        {"%-d 5s|", [] { return build_sequence(1, make_string("xy")); }, "xy 5s|"},
        {"%e", [] { return 3u; }, "3.000000e+00"},
        {"%x", [] { return make_double(255.9); }, "ff"},
        {"%c%c", [] { return build_sequence(2, 72u, make_double(105.2)); }, "Hi"},
        {"%99999999999d", [] { return 1u; }, "%99999999999d"},
        {"%#0+ 5c|", [] { return 65u; }, "    A|"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(format(c.format, c.arg()), c.want) << "format «" << c.format << "»";
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Formatting, SequenceWithoutSWarnsAndEndsTheResult)
{
    auto r = run_child([] {
        std::string t = format("a %d b%d", build_sequence(2, build_sequence(2, 1u, 2u), 5u));
        std::printf("[%s]", t.c_str());
    });
    EXPECT_EQ(r.out, "Warning FORMAT on sequence without s but %d b\n[a ]");
}

TEST(Formatting, ReleasesFormatAndArgumentByTheRule)
{
    leak_check leaks;
    vorn_handle held_format = make_string("%d-%s");
    vorn_handle held_arg = build_sequence(2, make_double(1.0), make_string("z"));
    reference(held_format);
    reference(held_arg);
    vorn_handle s = wrap_sprintf(held_format, held_arg);
    EXPECT_EQ(text_of(s), "1-z");
    EXPECT_EQ(refcount(held_format), 1);
    EXPECT_EQ(refcount(held_arg), 1);
    destroy(s);
    destroy(held_format);
    destroy(held_arg);

    // One temporary as both format and argument (byte mode) is destroyed once.
    vorn_handle both = make_string("%s");
    EXPECT_EQ(format_with(both, both), "%s");

    // Views as the format text and as the argument's bytes.
    vorn_handle base = make_string("hello%d");
    reference(base);
    EXPECT_EQ(format_with(slice(base, 5u, 7u), slice(base, 1u, 2u)), "o104");
    EXPECT_EQ(refcount(base), 1);
    destroy(base);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Formatting, LetterTest)
{
    char text[] = "%5s %-s 9d";
    EXPECT_EQ(fmtform(text, 's'), text + 2);
    EXPECT_EQ(fmtform(text, 'd'), text + 9);
    EXPECT_EQ(fmtform("%-s 5s", 's'), nullptr);  // only the first s counts
    EXPECT_EQ(fmtform("%x", 'f'), nullptr);
    EXPECT_EQ(fmtform("s5s", 's'), nullptr);     // a letter at the start has nothing before it
}

TEST(Formatting, PrintfWritesToItsFileNumberAndFlushes)
{
    auto r = run_child([] {
        init_files();
        wrap_printf(1, make_string("%d/%s|"), build_sequence(2, 3u, make_string("ok")));
        (void)!write(1, "after|", 6);  // bypasses the stream: seen first unless flushed
        wrap_printf(31, make_string("x"), 1u);
    });
    EXPECT_EQ(r.out.substr(0, 11), "3/ok|after|");
    EXPECT_NE(r.out.find("RUN_TIME_ERROR : "), std::string::npos);
    EXPECT_EQ(r.status, 1);
}
