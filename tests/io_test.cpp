// Files and text output: the file table (slots, write-through, locks, the
// name routines, misused file numbers), reading lines and bytes, printing
// objects and formatted output, through real files and standard output.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "support.h"

using namespace vorn_test;

namespace {

// File numbers start fresh, with a scratch directory for the files.
class Files : public store_test {
  protected:
    void SetUp() override { init_files(); }
    std::string path(const std::string &n) const { return dir_.path(n); }
    vorn_handle name(const std::string &n) const { return make_string(path(n).c_str()); }
    int32_t open(const std::string &n, const char *mode) { return wrap_open(name(n), make_string(mode)); }
    std::string contents(const std::string &n) const { return file_contents(path(n)); }
    // A new file holding `content`, opened with `mode`.
    int32_t open_with(const std::string &content, const char *mode)
    {
        std::string n = "f" + std::to_string(++made_);
        std::ofstream(path(n), std::ios::binary) << content;
        return open(n, mode);
    }
    scratch_dir dir_;
    int made_ = 0;
};
using FileTable = Files;
using Reading = Files;
using Printing = Files;
using Formatting = Files;

const vorn_handle end_of_input = static_cast<vorn_handle>(-1);

// A format applied to an argument written as `seq` reads it: the text of the temporary result.
std::string format(const char *f, const char *arg)
{
    return take_bytes(wrap_sprintf(make_string(f), seq(arg)));
}

}  // namespace

TEST_F(FileTable, SlotsWriteThroughLocksNamesAndMisuse)
{
    EXPECT_EQ(files[0], stdin);
    std::ofstream(path("u")) << "12345";
    std::vector<int32_t> slots{open("missing", "r"), open("w", "w"), open("a", "a"), open("u", "r+")};
    EXPECT_EQ(slots, (std::vector<int32_t>{-1, 3, 4, 5}));
    const char *written[] = {"w", "a", "u"}, *after[] = {"abc", "abc", "abc45"};
    for (int k = 0; k < 3; ++k) {  // in the file before any flush
        std::fputs("abc", static_cast<FILE *>(FILEDISCRIPTOR(3 + k)));
        EXPECT_EQ(contents(written[k]), after[k]) << k;
    }
    wrap_close(4);
    EXPECT_EQ(FILEDISCRIPTOR(4), nullptr);
    EXPECT_EQ(open("a", "r"), 4);  // lowest empty slot again
    EXPECT_EQ(wrap_flush(6), 0);   // an empty slot flushes every stream
    EXPECT_EQ(wrap_flush(25), 0);  // sockets hold nothing back
    for (int32_t fn : {3, 4, 5})   // names and modes were released, or the fixture fails
        wrap_close(fn);

    struct stat st;
    EXPECT_EQ(wrap_lockf(name("d")), 0);
    ASSERT_EQ(stat(path("d.lck").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    EXPECT_EQ(wrap_lockf(name("d")), -1);
    EXPECT_EQ(wrap_unlockf(name("d")), 0);
    EXPECT_EQ(contents("d.lck"), "(none)");
    EXPECT_EQ(filelock(name("d"), 7), 0);

    vorn_handle a = name("a"), b = name("b");  // borrowed: destroyed below
    std::ofstream(path("a")) << "x";
    EXPECT_EQ(wrap_renamef(a, b), 0);
    EXPECT_EQ(contents("b"), "x");
    EXPECT_EQ(wrap_removef(b), 0);
    EXPECT_EQ(wrap_removef(b), -1);
    destroy(a);
    destroy(b);

    std::string c = path("b");
    std::ofstream(c) << "x";
    expect_child(
        [&] {
            std::printf("%d\n", wrap_chmodf(make_string(c.c_str()), 0444));
            std::printf("%d\n", wrap_chmodf(make_string("/no/such"), 0755));
        },
        "file is " + c + " mode = 444\n0\nfile is /no/such mode = 755\n-1\n", 0);
    ASSERT_EQ(stat(c.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);

    // Every misuse of a file number is a run-time error naming the routine.
    std::string f = path("f");
    std::ofstream(f) << "x";
    expect_fatal({
        {[f] {
             for (;;)
                 wrap_open(make_string(f.c_str()), make_string("r"));
         },
         "too many files open\n"},
        {[] { wrap_close(22); }, "file is already closed\n"},
        {[] { wrap_close(31); }, "close : file number 31 is not in 0 .. 30\n"},
        {[] { FILEDISCRIPTOR(2); }, "ill. FILEDISCRITOR\n"},
        {[] { FILEDISCRIPTOR(make_double(5)); }, "ill. FILEDISCRITOR\n"},
        {[] { wrap_open(25, make_string("aw")); }, "open : file number 25 is not open\n"},
        {[] { wrap_gets(3); }, "gets : file number 3 is not open\n"},
        {[] { wrap_get_bytes(-1, 0); }, "get_bytes : file number -1 is not in 0 .. 30\n"},
        {[] { wrap_seek(1, make_string("x")); }, "seek arg must be a integer\n"},
        {[] { wrap_puts(-1, 1u); }, "puts : file number -1 is not in 0 .. 30\n"},
        {[] { wrap_putc(1, make_double(65.0)); }, "putc arg must be a integer\n"},
        {[] { wrap_puts(1, build_sequence(1, build_sequence(1, 65u))); },
         "sequence found inside character string"},
    });
    // The socket layer prints as it opens: only the end of that output counts.
    auto r = run_child([] {
        for (;;)
            wrap_open(make_string("127.0.0.1:0"), make_string("s"));
    });
    EXPECT_TRUE(r.out.ends_with("RUN_TIME_ERROR : too many sockets open\n") && r.status == 1) << r.out;
}

TEST_F(Reading, LinesBytesRunsAndPositions)
{
    const struct {
        std::string content;
        std::vector<std::string> lines;
    } cases[] = {{"ab\r\ncd", {"ab\n", "cd\n"}},
                 {"\n\n", {"\n", "\n"}},
                 {"x\r", {"x\n"}},
                 {"a\rb\n\r\n", {"a\rb\n", "\n"}},
                 {std::string(200, 'z') + "\nq", {std::string(200, 'z') + "\n", "q\n"}},
                 {std::string("ab\0cd\nef", 8), {"ab", "ef\n"}},
                 {"", {}}};
    for (const char *mode : {"r", "r+"}) {
        for (auto &c : cases) {
            int32_t fn = open_with(c.content, mode);
            for (auto &line : c.lines)
                EXPECT_EQ(take_bytes(wrap_gets(fn)), line) << mode;
            EXPECT_EQ(wrap_gets(fn), end_of_input);
            EXPECT_EQ(wrap_gets(fn), end_of_input);
            wrap_close(fn);
        }
    }

    std::string big(200000, 'k');
    for (const char *mode : {"rb", "r+b"}) {
        int32_t fn = open_with(std::string("A\37712\n\0z", 7), mode);
        EXPECT_EQ(wrap_getc(fn), 65);
        EXPECT_EQ(wrap_getc(fn), 255);
        EXPECT_EQ(take_bytes(wrap_gets(fn)), "12\n");
        EXPECT_EQ(wrap_where(fn), 5);  // exact, whatever was read ahead
        EXPECT_EQ(take_bytes(wrap_get_bytes(fn, 10)), std::string("\0z", 2));
        EXPECT_EQ(wrap_get_bytes(fn, 10), end_of_input);
        EXPECT_EQ(wrap_getc(fn), -1);
        EXPECT_EQ(wrap_seek(fn, static_cast<vorn_handle>(-1)), 0);
        EXPECT_EQ(wrap_where(fn), 7);
        EXPECT_EQ(wrap_seek(fn, static_cast<vorn_handle>(-4)), 0);
        EXPECT_EQ(wrap_getc(fn), '\n');
        EXPECT_EQ(wrap_get_bytes(fn, 0), end_of_input);  // reads nothing
        wrap_close(fn);
        fn = open_with(big, mode);  // a huge count reads what is there
        EXPECT_EQ(take_bytes(wrap_get_bytes(fn, 1000000000)), big);
        wrap_close(fn);
    }
}

TEST_F(Printing, TextFormsBytesAndMisuse)
{
    // Text forms, a held sequence kept.
    int32_t fn = open("forms", "w");
    vorn_handle kept = reference(seq("{1,b{2,3}}")), hello = reference(make_string("hello"));
    for (vorn_handle x : {seq("7"), seq("-3"), seq("0.1"), seq("1e20"), seq("{}"), seq("'AB'"), seq("b{200}"),
                          seq("{1,b{2,3},2.5}"), kept, slice(hello, 2u, 3u)}) {
        wrap_print(fn, x);
        wrap_puts(fn, '|');
    }
    EXPECT_EQ(refcount(kept), 1);
    destroy(kept);
    destroy(hello);
    for (const char *x : {"'AB'", "65", "321", "65.9", "{}", "{72,105.7}", "b{97,0,98}"})
        wrap_puts(fn, seq(x));
    wrap_putc(fn, 66u);
    wrap_putc(fn, 0x143u);
    wrap_close(fn);
    EXPECT_EQ(contents("forms"), "7|-3|0.1|1e+20|{}|{65,66}|{200}|{1,{2,3},2.5}|{1,{2,3}}|{101,108}|" +
                                     std::string("ABAAAHia\0bBC", 12));

    // Nesting far deeper than the C stack would allow.
    fn = open("deep", "w");
    const int depth = 100000;
    vorn_handle s = build_sequence(0);
    for (int k = 0; k < depth; ++k)
        s = build_sequence(1, s);
    wrap_print(fn, s);
    wrap_close(fn);
    EXPECT_EQ(contents("deep"), std::string(depth + 1, '{') + std::string(depth + 1, '}'));

    // puts and putc flush, print does not (a raw write shows the order); qprint writes a line.
    expect_child(
        [] {
            leak_check leaks;
            wrap_puts(1, make_string("a"));
            (void)!write(1, "b", 1);
            wrap_putc(1, 'c');
            (void)!write(1, "d", 1);
            wrap_print(1, 5u);
            (void)!write(1, "e\n", 2);
            for (const char *x : {"3", "2.5", "'hi'", "-7", "{0.5,{}}"})
                qprint(seq(x));
            std::printf("%d", leaks.made());
        },
        "abcde\n53\n2.5\n{104,105}\n-7\n{0.5,{}}\n0", 0);
}

// Each piece takes its value; hostile directives are plain text or read only their one value.
TEST_F(Formatting, PiecesReleasesWarningsAndTheLetterTest)
{
    const std::tuple<const char *, const char *, const char *> cases[] = {
        {"x=%d", "5", "x=5"},     {"%d,%d", "'AB'", "65,66"},
        {"%5.2f", "3", " 3.00"},  {"%5.2f|%g", "'AB'", "   65|66"},
        {"%d", "2.5", "2.5"},     {"50%% off %d", "3", "50%% off 3"},
        {"%s", "{'abc'}", "abc"}, {"%d%%x%d", "5", "5%%x"},
        {"%d", "b{200}", "-56"},  {"%d %f", "{{},{}}", "0 0.000000"},
        {"%s", "{65,66}", "A"},   {"<%s>|%d", "{b{0},4}", "<4"},
        {"[%s]", "{{}}", "[ ]"},  {"%d 5s", "65", "65 5c"},
        {"%%%d!", "7", "7!"},     {"%d%.1f%s", "{7,2.25,'x'}", "72.2x"},
        {"a%%%d", "7", "a%%d"},   {"%.*f|", "1.5", "%.*f|"},
        {"%c|after", "0", ""},    {"%ld|%lld", "{-1,-1}", "-1|-1"},
        {"%n|", "5", "%n|"},      {"%lx", "-1", "ffffffff"},
        {"%*d|", "5", "%*d|"},    {"%-d 5s|", "{'xy'}", "xy 5s|"},
        {"%1$d|", "5", "%1$d|"},  {"%c%c", "{72,105.2}", "Hi"},
        {"%-s|", "66.7", "B|"},   {"%99999999999d", "1", "%99999999999d"},
        {"%5", "5", "%5"},        {"%#0+ 5c|", "65", "    A|"},
        {"%hhd", "300", "44"}};
    for (const auto &[f, arg, want] : cases)
        EXPECT_EQ(format(f, arg), want) << "format «" << f << "» of " << arg;

    // The full text of a huge %f; an empty format sequence is one space.
    char want[400];
    std::snprintf(want, sizeof want, "%f", 1e300);
    EXPECT_EQ(format("%f", "1e300"), want);
    EXPECT_EQ(take_bytes(wrap_sprintf(build_sequence(0), 1u)), " ");

    vorn_handle held_format = reference(make_string("%d-%s")), held_arg = reference(seq("{1.0,'z'}"));
    EXPECT_EQ(take_bytes(wrap_sprintf(held_format, held_arg)), "1-z");
    EXPECT_EQ(counts({held_format, held_arg}), "1,1");
    destroy(held_format);
    destroy(held_arg);

    // One temporary as both format and argument (byte mode) is destroyed once.
    vorn_handle both = make_string("%s");
    EXPECT_EQ(take_bytes(wrap_sprintf(both, both)), "%s");

    // Views as the format text and as the argument's bytes.
    vorn_handle base = reference(make_string("hello%d"));
    EXPECT_EQ(take_bytes(wrap_sprintf(slice(base, 5u, 7u), slice(base, 1u, 2u))), "o104");
    EXPECT_EQ(refcount(base), 1);
    destroy(base);

    char text[] = "%5s %-s 9d";
    EXPECT_EQ(fmtform(text, 's'), text + 2);
    EXPECT_EQ(fmtform(text, 'd'), text + 9);
    EXPECT_EQ(fmtform("%-s 5s", 's'), nullptr);  // only the first s counts
    EXPECT_EQ(fmtform("%x", 'f'), nullptr);
    EXPECT_EQ(fmtform("s5s", 's'), nullptr);  // a letter at the start has nothing before it

    // printf to a file number flushes; a sequence without %s warns.
    expect_child(
        [] {
            wrap_printf(1, make_string("%d/%s|"), seq("{3,'ok'}"));
            (void)!write(1, "after|", 6);  // bypasses the stream: seen first unless flushed
            std::printf("[%s]", format("a %d b%d", "{b{1,2},5}").c_str());
        },
        "3/ok|after|Warning FORMAT on sequence without s but %d b\n[a ]", 0);
}
