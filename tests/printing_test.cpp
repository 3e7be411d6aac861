// Printing objects: text forms, bytes written by puts and putc, releases,
// flushing of standard output, sockets, the quick print and misuse.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support.h"

using namespace vorn_test;

namespace {

class Printing : public ::testing::Test {
protected:
    void SetUp() override
    {
        init_files();
        char pattern[] = "/tmp/vorn_print_XXXXXX";
        dir_ = mkdtemp(pattern);
        fn_ = wrap_open(make_string((dir_ + "/out").c_str()), make_string("w"));
        ASSERT_GE(fn_, 3);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Closes the file and gives what was written to it.
    std::string written()
    {
        wrap_close(fn_);
        std::ifstream in(dir_ + "/out", std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }

    std::string dir_;
    int32_t fn_ = -1;
};

// The sequence {72, 105.7}: characters as a sequence of handles.
vorn_handle wide_hi() { return build_sequence(2, 72u, make_double(105.7)); }

}  // namespace

TEST_F(Printing, TextFormsOfObjects)
{
    leak_check leaks;
    vorn_handle held = build_sequence(2, 1u, build_sequence(2, 2u, 3u));
    reference(held);
    vorn_handle hello = make_string("hello");
    reference(hello);
    const vorn_handle objects_to_print[] = {
        7u,
        static_cast<vorn_handle>(-3),
        make_double(0.1),
        make_double(1e20),
        build_sequence(0),
        make_string("AB"),
        build_sequence(1, 200u),
        build_sequence(3, 1u, build_sequence(2, 2u, 3u), make_double(2.5)),
        held,
        slice(hello, 2u, 3u),
    };
    for (vorn_handle x : objects_to_print) {
        wrap_print(fn_, x);
        wrap_puts(fn_, '|');
    }
    EXPECT_EQ(refcount(held), 1);  // a held sequence is kept
    destroy(held);
    destroy(hello);
    EXPECT_EQ(written(), "7|-3|0.1|1e+20|{}|{65,66}|{200}|{1,{2,3},2.5}|{1,{2,3}}|{101,108}|");
    EXPECT_EQ(leaks.made(), 0);
}

TEST_F(Printing, DeepNestingPrints)
{
    constexpr int depth = 100000;
    vorn_handle s = build_sequence(0);
    for (int k = 0; k < depth; ++k)
        s = build_sequence(1, s);
    wrap_print(fn_, s);
    EXPECT_EQ(written(), std::string(depth + 1, '{') + std::string(depth + 1, '}'));
}

TEST_F(Printing, PutsAndPutcWriteBytes)
{
    leak_check leaks;
    wrap_puts(fn_, make_string("AB"));
    wrap_puts(fn_, 65u);
    wrap_puts(fn_, 321u);
    wrap_puts(fn_, make_double(65.9));
    wrap_puts(fn_, build_sequence(0));
    wrap_puts(fn_, wide_hi());
    wrap_puts(fn_, build_sequence(3, 97u, 0u, 98u));
    wrap_putc(fn_, 66u);
    wrap_putc(fn_, 0x143u);
    EXPECT_EQ(written(), std::string("ABAAAHia\0bBC", 12));
    EXPECT_EQ(leaks.made(), 0);
}

TEST_F(Printing, MisuseIsFatal)
{
    const struct {
        std::function<void()> body;
        const char *message;
    } cases[] = {
        {[] { wrap_putc(1, build_sequence(1, 65u)); }, "putc arg must be a integer\n"},
        {[] { wrap_putc(1, make_double(65.0)); }, "putc arg must be a integer\n"},
        {[] { wrap_puts(1, build_sequence(1, build_sequence(1, 65u))); }, "sequence found inside character string"},
        {[] { wrap_print(19, 1u); }, nullptr},
        {[] { wrap_puts(-1, 1u); }, nullptr},
    };
    for (const auto &c : cases) {
        auto r = run_child(c.body);
        EXPECT_EQ(r.status, 1);
        if (c.message)
            EXPECT_EQ(r.out, std::string("RUN_TIME_ERROR : ") + c.message);
        else
            EXPECT_EQ(r.out.rfind("RUN_TIME_ERROR : ", 0), 0u) << r.out;
    }
}

TEST(PrintingStdout, FlushingAndQuickPrint)
{
    // puts and putc flush standard output, print does not: a raw write
    // after each shows the order.  qprint writes a line and releases.
    auto r = run_child([] {
        init_files();
        leak_check leaks;
        wrap_puts(1, make_string("a"));
        (void)!write(1, "b", 1);
        wrap_putc(1, 'c');
        (void)!write(1, "d", 1);
        wrap_print(1, 5u);
        (void)!write(1, "e\n", 2);
        qprint(3u);
        qprint(make_double(2.5));
        qprint(make_string("hi"));
        qprint(static_cast<vorn_handle>(-7));
        qprint(build_sequence(2, make_double(0.5), build_sequence(0)));
        std::printf("%d", leaks.made());
    });
    EXPECT_EQ(r.out, "abcde\n5" "3\n2.5\n{104,105}\n-7\n{0.5,{}}\n0");
}

TEST(PrintingSocket, OutputGoesThroughTheSocketLayer)
{
    init_files();
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    files[21] = reinterpret_cast<void *>(static_cast<intptr_t>(pair[0]));
    leak_check leaks;
    wrap_puts(21, make_string("hi"));
    wrap_puts(21, 0u);  // a zero byte as text: nothing
    wrap_putc(21, 0u);  // one zero byte
    wrap_puts(21, make_double(66.2));
    wrap_print(21, build_sequence(2, 1u, make_double(0.5)));
    wrap_printf(21, make_string("%d!"), 5u);
    EXPECT_EQ(leaks.made(), 0);
    files[21] = nullptr;
    close(pair[0]);
    char got[64];
    ssize_t n = read(pair[1], got, sizeof got);
    close(pair[1]);
    EXPECT_EQ(std::string(got, n > 0 ? static_cast<size_t>(n) : 0), std::string("hi\0B{1,0.5}5!", 13));
}
