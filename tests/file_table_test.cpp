// The file table: slots and their order, write-through of opened files,
// lock files, the name routines, and every misuse of a file number.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support.h"

using namespace vorn_test;

namespace {

class FileTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        init_files();
        char pattern[] = "/tmp/vorn_files_XXXXXX";
        dir_ = mkdtemp(pattern);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string path(const char *n) const { return dir_ + "/" + n; }
    vorn_handle name(const char *n) const { return make_string(path(n).c_str()); }
    std::string contents(const char *n) const
    {
        std::ifstream in(path(n));
        return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "(none)";
    }
    std::string dir_;
};

}  // namespace

TEST_F(FileTable, SlotsOpenInOrderAndWritesReachTheSystemAtOnce)
{
    leak_check leaks;
    EXPECT_EQ(files[0], stdin);
    std::ofstream(path("u")) << "12345";
    EXPECT_EQ(wrap_open(name("missing"), make_string("r")), -1);
    EXPECT_EQ(wrap_open(name("w"), make_string("w")), 3);
    EXPECT_EQ(wrap_open(name("a"), make_string("a")), 4);
    EXPECT_EQ(wrap_open(name("u"), make_string("r+")), 5);
    struct {
        int32_t fn;
        const char *file, *after;
    } writes[] = {{3, "w", "abc"}, {4, "a", "abc"}, {5, "u", "abc45"}};
    for (auto &w : writes) {  // in the file before any flush
        std::fputs("abc", static_cast<FILE *>(FILEDISCRIPTOR(w.fn)));
        EXPECT_EQ(contents(w.file), w.after) << w.fn;
    }
    wrap_close(4);
    EXPECT_EQ(FILEDISCRIPTOR(4), nullptr);
    EXPECT_EQ(wrap_open(name("a"), make_string("r")), 4);  // lowest empty slot again
    EXPECT_EQ(wrap_flush(6), 0);   // an empty slot flushes every stream
    EXPECT_EQ(wrap_flush(25), 0);  // sockets hold nothing back
    for (int32_t fn : {3, 4, 5})
        wrap_close(fn);
    EXPECT_EQ(leaks.made(), 0);  // names and modes released
}

TEST_F(FileTable, LocksAndNameRoutines)
{
    leak_check leaks;
    struct stat st;
    EXPECT_EQ(wrap_lockf(name("d")), 0);
    ASSERT_EQ(stat(path("d.lck").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    EXPECT_EQ(wrap_lockf(name("d")), -1);
    EXPECT_EQ(wrap_unlockf(name("d")), 0);
    EXPECT_EQ(contents("d.lck"), "(none)");
    EXPECT_EQ(wrap_unlockf(name("d")), 0);
    EXPECT_EQ(filelock(name("d"), 7), 0);

    vorn_handle a = name("a"), b = name("b");  // borrowed: destroyed below
    std::ofstream(path("a")) << "x";
    EXPECT_EQ(wrap_renamef(a, b), 0);
    EXPECT_EQ(contents("b"), "x");
    EXPECT_EQ(wrap_removef(b), 0);
    EXPECT_EQ(wrap_removef(b), -1);
    destroy(a);
    destroy(b);
    EXPECT_EQ(leaks.made(), 0);

    std::string c = path("b");
    std::ofstream(c) << "x";
    auto r = run_child([&] {
        std::printf("%d\n", wrap_chmodf(make_string(c.c_str()), 0444));
        std::printf("%d\n", wrap_chmodf(make_string("/no/such"), 0755));
    });
    EXPECT_EQ(r.out, "file is " + c + " mode = 444\n0\nfile is /no/such mode = 755\n-1\n");
    ASSERT_EQ(stat(c.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
}

TEST_F(FileTable, MisusedFileNumbersAreRunTimeErrors)
{
    std::string f = path("f");
    std::ofstream(f) << "x";
    auto open_f = [f] { return wrap_open(make_string(f.c_str()), make_string("r")); };
    struct {
        std::function<void()> body;
        const char *message;
    } cases[] = {
        {[&] { for (;;) open_f(); }, "too many files open\n"},
        {[] { for (;;) wrap_open(make_string("127.0.0.1:0"), make_string("s")); }, "too many sockets open\n"},
        {[&] { wrap_close(open_f()); wrap_close(3); }, "file is already closed\n"},
        {[] { wrap_close(22); }, "file is already closed\n"},
        {[] { wrap_close(31); }, "close : file number 31 is not in 0 .. 30\n"},
        {[] { FILEDISCRIPTOR(2); }, "ill. FILEDISCRITOR\n"},
        {[] { FILEDISCRIPTOR(31); }, "ill. FILEDISCRITOR\n"},
        {[] { FILEDISCRIPTOR(make_double(5)); }, "ill. FILEDISCRITOR\n"},
        {[] { wrap_open(31, make_string("a")); }, "open : file number 31 is not in 0 .. 30\n"},
        {[] { wrap_open(25, make_string("aw")); }, "open : file number 25 is not open\n"},
        {[] { wrap_gets(3); }, "gets : file number 3 is not open\n"},
        {[] { wrap_get_bytes(-1, 0); }, "get_bytes : file number -1 is not in 0 .. 30\n"},
        {[] { wrap_where(21); }, "where : file number 21 is not open\n"},
        {[] { wrap_seek(1, make_double(2.0)); }, "seek arg must be a integer\n"},
        {[] { wrap_seek(1, make_string("x")); }, "seek arg must be a integer\n"},
        {[] { wrap_getc(0); }, "getc : reading a key from the console is not available\n"},
    };
    for (auto &c : cases) {
        auto r = run_child([&] {
            init_files();
            c.body();
        });
        std::string tail = std::string("RUN_TIME_ERROR : ") + c.message;
        ASSERT_GE(r.out.size(), tail.size()) << c.message;
        EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
        EXPECT_EQ(r.status, 1) << c.message;
    }
}
