// The console on a real terminal: a program runs in a detached tmux pane of
// 80 x 25, and the pane's cells, colours and cursor are read back from tmux.
// The pane stays after the program ends and shows "EXIT:<status>" in the
// terminal's colours as the program left them.
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "support.h"

using namespace vorn_test;

namespace {

const std::string probe = VORN_CONSOLE_PROBE;
const std::string examples = VORN_EXAMPLES_DIR;

// Polls until `done` holds, for at most ten seconds.
bool eventually(const std::function<bool()> &done)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    return done();
}

// A line with the colour resets taken out: the text and any colour left.
std::string without_resets(std::string line)
{
    for (const char *reset : {"\x1b[39m", "\x1b[49m", "\x1b[0m"})
        for (size_t at; (at = line.find(reset)) != std::string::npos;)
            line.erase(at, std::strlen(reset));
    return line;
}

class Terminal : public ::testing::Test {
  protected:
    void SetUp() override
    {
        if (run_command("command -v tmux >/dev/null").status != 0)
            GTEST_SKIP() << "tmux is not installed";
        static int started = 0;
        server = "vorn_test_" + std::to_string(getpid()) + "_" + std::to_string(++started);
        std::ofstream(dir.path("run.sh"))
            << "trap '' INT; \"$@\"; printf '\\nEXIT:%d' $?; touch " << dir.path("end; sleep 60");
    }
    void TearDown() override { tmux("kill-server"); }
    std::string tmux(const std::string &args) { return run_command("tmux -L " + server + " " + args).out; }
    void start(const std::string &command)
    {
        tmux("-f /dev/null new-session -d -x 80 -y 25 'sh " + dir.path("run.sh") + " " + command + "'");
    }
    std::string hold(const std::string &name) { return "hold:" + dir.path(name); }
    bool reached(const std::string &name)
    {
        return eventually([&] { return access(dir.path(name).c_str(), F_OK) == 0; });
    }
    std::string screen() { return tmux("capture-pane -p -e"); }
    std::string row(int r)  // 1-based, colours from the row's start
    {
        std::string n = std::to_string(r - 1), line = tmux("capture-pane -p -e -S " + n + " -E " + n);
        return line.substr(0, line.size() - 1);
    }
    // Lets a held program go on; after its end, the text of the status line.
    std::string finish()
    {
        tmux("send-keys Enter");
        reached("end");
        std::string all = screen();
        size_t at = all.find("EXIT:"), from = all.rfind('\n', at) + 1;
        return at == std::string::npos ? all : without_resets(all.substr(from, all.find('\n', at) - from));
    }
    // "column,row,cursor shown,wrap on", 0-based
    std::string cursor() { return tmux("display -p '#{cursor_x},#{cursor_y},#{cursor_flag},#{wrap_flag}'"); }
    std::string shown_and_wrap() { return tmux("display -p '#{cursor_flag},#{wrap_flag}'"); }

    std::string server;
    scratch_dir dir;
};

}  // namespace

TEST_F(Terminal, TextColoursImagesCursorAndResizes)
{
    start(probe + " bg:1 fg:14 clear pos:3,5 puts:Hello fg:12 puts:World pos:10,1 bg:0 fg:10 puts:ABCDEFGH" +
          " save:10,1,10,8 pos:10,1 line show:12,5 pos:14,1 puts:xxxxxxxx pos:14,4 line cursor:0 wrap:0" +
          " pos:7,7 " + hold("a") + " pos:30,100 puts:Z " + hold("b"));
    ASSERT_TRUE(reached("a"));
    EXPECT_EQ(row(3), "\x1b[44m    \x1b[93mHello\x1b[91mWorld");
    EXPECT_EQ(row(10), "");
    EXPECT_EQ(row(12), "\x1b[44m    \x1b[92m\x1b[40mABCDEFGH");  // blanks of the clear, then the image
    EXPECT_EQ(row(14), "\x1b[92m\x1b[40mxxx\x1b[39m");           // still green; the cleared rest not
    EXPECT_EQ(cursor(), "6,6,0,0\n");
    tmux("resize-window -x 120 -y 40");
    tmux("send-keys Enter");
    ASSERT_TRUE(reached("b"));
    EXPECT_EQ(row(30), std::string(99, ' ') + "\x1b[92m\x1b[40mZ");  // past the old size
    EXPECT_EQ(finish(), "EXIT:0");
    EXPECT_EQ(shown_and_wrap(), "1,1\n");
}

TEST_F(Terminal, RunTimeErrorGivesTheTerminalBack)
{
    start(probe + " cursor:0 wrap:0 bg:4 fg:15 pos:2,1 puts:before fail");
    EXPECT_EQ(finish(), "EXIT:1");
    EXPECT_NE(screen().find("RUN_TIME_ERROR : parameter must be a integer"), std::string::npos) << screen();
    EXPECT_EQ(shown_and_wrap(), "1,1\n");
}

// The menu example driven as a user would: arrows, Enter, Ctrl+C (counted,
// breaks being forbidden), a click, and Escape ending it in the ordinary
// colours with the terminal given back.
TEST_F(Terminal, MenuTakesKeysClicksAndCountsCtrlC)
{
    auto shows = [&](int r, const std::string &text) {
        return eventually([&] { return row(r).find(text) != std::string::npos; });
    };
    start(examples + "/screen_menu");
    ASSERT_TRUE(shows(16, "Ctrl+C caught: 0"));
    tmux("send-keys Down Down");
    EXPECT_TRUE(shows(10, "\x1b[97m\x1b[41mSave")) << row(10);  // highlighted
    tmux("send-keys Enter");
    EXPECT_TRUE(shows(12, "You chose: Save")) << screen();
    tmux("send-keys C-c");
    EXPECT_TRUE(shows(16, "Ctrl+C caught: 1")) << screen();
    EXPECT_EQ(row(12).find("You chose"), std::string::npos);  // the pop-up went with it
    tmux("send-keys -l '\x1b[<0;33;9M'");                     // a click on "Open": the press selects,
    EXPECT_TRUE(shows(9, "\x1b[41mOpen")) << row(9);
    tmux("send-keys -l '\x1b[<0;33;9m'");  // the release confirms
    EXPECT_TRUE(shows(12, "You chose: Open")) << screen();
    tmux("send-keys Escape");
    ASSERT_TRUE(reached("end"));
    EXPECT_EQ(finish(), "EXIT:0");
    EXPECT_EQ(screen().substr(0, 32), "chosen: 2 Open\nCtrl+C caught: 1\n");
    EXPECT_EQ(shown_and_wrap(), "1,1\n");
}

TEST(TerminalAbsent, RedirectedOutputCarriesNoEscapes)
{
    auto r = run_command(
        probe + " bg:1 fg:14 clear cursor:0 wrap:0 pos:3,5 puts:Hello save:1,1,2,2 show:5,5 line nl");
    EXPECT_EQ(r.out, "Hello\n");
    EXPECT_EQ(r.status, 0);
    auto menu = run_command(examples + "/screen_menu 3");
    EXPECT_EQ(menu.out.find('\x1b'), std::string::npos);
    EXPECT_NE(menu.out.find("chosen: 3 Save\n"), std::string::npos) << menu.out;
    EXPECT_EQ(menu.status, 0);
}
