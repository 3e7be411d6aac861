// Reading through a file number from real files, read-only (buffered) and
// update mode (unbuffered) alike: lines, bytes, byte runs and positions.
// Misused file numbers are tested with the file table.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support.h"

using namespace vorn_test;

namespace {

class Reading : public ::testing::Test {
protected:
    void SetUp() override
    {
        init_files();
        char pattern[] = "/tmp/vorn_reading_XXXXXX";
        dir_ = mkdtemp(pattern);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    int32_t open_with(const std::string &content, const char *mode)
    {
        std::string p = dir_ + "/f" + std::to_string(++made_);
        std::ofstream(p, std::ios::binary) << content;
        return wrap_open(make_string(p.c_str()), make_string(mode));
    }
    std::string dir_;
    int made_ = 0;
};

const vorn_handle end_of_input = static_cast<vorn_handle>(-1);

// The bytes of a result, after checking its form: a temporary bytesequence
// with a zero byte after its data.  The result is destroyed.
std::string take_bytes(vorn_handle s)
{
    if (!vorn_is_sequence(s))
        return "(atom " + std::to_string(static_cast<int32_t>(s)) + ")";
    vorn_record *r = vorn_record_of(s);
    EXPECT_LE(r->length, 0);
    EXPECT_EQ(r->count, 0);
    std::string out(static_cast<char *>(r->data), static_cast<size_t>(-r->length));
    EXPECT_EQ(static_cast<char *>(r->data)[-r->length], '\0');
    destroy(s);
    return out;
}

}  // namespace

TEST_F(Reading, LinesEndInOneLineFeedAndStopAtAZeroByte)
{
    leak_check leaks;
    struct {
        std::string content;
        std::vector<std::string> lines;
    } cases[] = {
        {"ab\r\ncd", {"ab\n", "cd\n"}},
        {"\n\n", {"\n", "\n"}},
        {"x\r", {"x\n"}},
        {"a\rb\n\r\n", {"a\rb\n", "\n"}},
        {std::string(200, 'z') + "\nq", {std::string(200, 'z') + "\n", "q\n"}},
        {std::string("ab\0cd\nef", 8), {"ab", "ef\n"}},
        {"", {}},
    };
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
    EXPECT_EQ(leaks.made(), 0);
}

TEST_F(Reading, BytesRunsAndPositions)
{
    leak_check leaks;
    std::string big(200000, 'k');
    for (const char *mode : {"rb", "r+b"}) {
        int32_t fn = open_with(std::string("A\xFF" "12\n\0z", 7), mode);
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
    EXPECT_EQ(leaks.made(), 0);
}
