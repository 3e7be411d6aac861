// The console on a real terminal: a program runs in a detached tmux pane of
// 80 x 25, and the pane's cells, colours and cursor are read back from tmux.
// The pane stays after the program ends and shows "EXIT:<status>" in the
// terminal's colours as the program left them.
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
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
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    return true;
}

bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

// A line with the colour resets taken out: what remains is the text and
// any colour still in force.
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
        std::ofstream(dir.path("run.sh")) << "\"$@\"; printf 'EXIT:%d' $?; exec sleep 60\n";
    }
    void TearDown() override
    {
        if (!server.empty())
            tmux("kill-server");
    }
    std::string tmux(const std::string &args) { return run_command("tmux -L " + server + " " + args).out; }
    void start(const std::string &command)
    {
        tmux("-f /dev/null new-session -d -x 80 -y 25 'sh " + dir.path("run.sh") + " " + command + "'");
    }
    std::string hold(const std::string &name) { return "hold:" + dir.path(name); }
    void wait_for(const std::string &name)
    {
        ASSERT_TRUE(eventually([&] { return exists(dir.path(name)); }));
    }
    std::string screen() { return tmux("capture-pane -p -e"); }
    std::string row(int r)  // 1-based
    {
        std::istringstream in(screen());
        std::string line;
        for (int k = 0; k < r; ++k)
            std::getline(in, line);
        return line;
    }
    // Lets a held program go on; after its end, the line with its status.
    std::string finish()
    {
        tmux("send-keys Enter");
        std::string status_line;
        eventually([&] {
            std::istringstream in(screen());
            for (std::string line; std::getline(in, line);)
                if (line.find("EXIT:") != std::string::npos)
                    return (status_line = line), true;
            return false;
        });
        return status_line;
    }
    // "column,row,cursor shown,wrap on", 0-based
    std::string cursor() { return tmux("display -p '#{cursor_x},#{cursor_y},#{cursor_flag},#{wrap_flag}'"); }
    std::string flags() { return tmux("display -p '#{cursor_flag},#{wrap_flag}'"); }

    std::string server;
    scratch_dir dir;
};

}  // namespace

TEST_F(Terminal, TextColoursCursorAndResizes)
{
    start(probe + " bg:1 fg:14 clear pos:3,5 puts:Hello fg:12 puts:World pos:10,1 bg:0 fg:7 puts:plain" +
          " cursor:0 wrap:0 pos:7,7 " + hold("a") + " pos:30,100 fg:10 puts:Z " + hold("b"));
    wait_for("a");
    EXPECT_EQ(row(3), "\x1b[44m    \x1b[93mHello\x1b[91mWorld");
    EXPECT_EQ(row(10), "\x1b[39m\x1b[49mplain");
    EXPECT_EQ(cursor(), "6,6,0,0\n");
    tmux("resize-window -x 120 -y 40");
    tmux("send-keys Enter");
    wait_for("b");
    EXPECT_EQ(row(30), std::string(99, ' ') + "\x1b[92m\x1b[40mZ");
    std::string status = finish();
    EXPECT_EQ(without_resets(status), "EXIT:0");
    EXPECT_EQ(flags(), "1,1\n");
}

TEST_F(Terminal, SavedRectangleComesBackAndLinesClear)
{
    start(probe + " fg:10 pos:2,3 puts:ABCDEFGH save:2,3,2,10 clear show:4,5 pos:6,1 puts:xxxxxxxx pos:6,4" +
          " line pos:8,2 " + hold("a"));
    wait_for("a");
    EXPECT_EQ(row(2), "");
    EXPECT_EQ(row(4), "\x1b[40m    \x1b[92mABCDEFGH");  // blanks cleared on black, text in green
    EXPECT_EQ(row(6), "xxx\x1b[39m");                   // still green; the cleared rest not
    EXPECT_EQ(cursor(), "1,7,1,1\n");
    finish();
}

TEST_F(Terminal, RunTimeErrorGivesTheTerminalBack)
{
    start(probe + " cursor:0 wrap:0 bg:4 fg:15 pos:2,1 puts:before fail");
    std::string status = finish();
    EXPECT_EQ(without_resets(status), "EXIT:1");
    EXPECT_NE(screen().find("RUN_TIME_ERROR : parameter must be a integer"), std::string::npos) << screen();
    EXPECT_EQ(flags(), "1,1\n");
}

TEST_F(Terminal, MenuExampleDrawsAndClearsUp)
{
    start(examples + "/screen_menu 2 1");
    ASSERT_TRUE(eventually([&] { return row(9).find("\x1b[97m\x1b[41mOpen") != std::string::npos; }))
        << screen();
    EXPECT_EQ(without_resets(finish()), "EXIT:0");
    EXPECT_EQ(row(1), "chosen: 2 Open");
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
