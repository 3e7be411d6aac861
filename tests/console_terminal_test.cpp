// The console, keys and mouse on a real terminal: a program runs in a
// detached tmux pane of 80 x 25; the pane's cells, colours and cursor are read
// back from tmux, and the codes of keys and mouse reports from a file.
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <thread>

#include "support.h"

using namespace vorn_test;

namespace {

const std::string probe = VORN_CONSOLE_PROBE, examples = VORN_EXAMPLES_DIR;

// The pane stays after the program ends and shows "EXIT:<status>" in the
// colours the program left; the shell keeps the terminal's modes before and after.
class Terminal : public ::testing::Test {
  protected:
    void SetUp() override
    {
        if (run_command("command -v tmux >/dev/null").status != 0)
            GTEST_SKIP() << "tmux is not installed";
        std::ofstream(at("run.sh")) << "trap '' INT; stty -g >" << at("before") << "; \"$@\"; s=$?; stty -g >"
                                    << at("after") << "; printf '\\nEXIT:%d' $s; touch "
                                    << at("end; sleep 60");
    }
    void TearDown() override { tmux("kill-server"); }
    std::string at(const std::string &name) const { return dir.path(name); }
    std::string tmux(const std::string &args)
    {
        return run_command("tmux -L " + server + " " + args + " 2>/dev/null").out;
    }
    void start(const std::string &command)
    {
        static int started = 0;
        tmux("kill-server");
        server = "vorn_test_" + std::to_string(getpid()) + "_" + std::to_string(++started);
        std::remove(at("end").c_str());
        tmux("-f /dev/null new-session -d -x 80 -y 25 'sh " + at("run.sh") + " " + command + "'");
    }
    // Waits (ten seconds at most) until `done` holds.
    bool soon(auto done)
    {
        for (int k = 0; k < 500 && !done(); ++k)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return done();
    }
    // ... until the file exists and ends with `tail`.
    bool reached(const std::string &name, const std::string &tail = "")
    {
        std::string text;
        return soon([&] { return (text = file_contents(at(name))) != "(none)" && text.ends_with(tail); });
    }
    std::string screen() { return tmux("capture-pane -p -e"); }
    std::string row(int r)  // 1-based, colours from the row's start
    {
        return tmux("capture-pane -p -e -S " + std::to_string(r - 1) + " -E " + std::to_string(r - 1));
    }
    // Sends the keys; after the program's end, with modes and cursor given back, its status line.
    std::string finish(const std::string &keys = "Enter")
    {
        tmux("send-keys " + keys);
        reached("end");
        EXPECT_EQ(tmux("display -p '#{cursor_flag},#{wrap_flag}'"), "1,1\n");
        EXPECT_EQ(file_contents(at("after")), file_contents(at("before")));
        std::string all = screen(), line = all.substr(all.rfind('\n', all.find("EXIT:")) + 1);
        return std::regex_replace(line.substr(0, line.find('\n')), std::regex("\x1b\\[(39|49|0)m"), "");
    }
    // Sends keys to the key probe and expects the lines it writes for them.
    void expect_keys(const std::string &keys, const std::string &lines)
    {
        tmux("send-keys " + keys);
        EXPECT_TRUE(reached("out", lines)) << keys << " gave\n" << file_contents(at("out"));
    }

    std::string server = "vorn_test_none";
    scratch_dir dir;
};

}  // namespace

TEST_F(Terminal, ScreenKeysMouseAndCtrlC)
{
    start(probe + " bg:1 fg:14 clear pos:3,5 puts:Hello fg:12 puts:World pos:10,1 bg:0 fg:10 puts:ABCDEFGH" +
          " save:10,1,10,8 pos:10,1 line show:12,5 pos:14,1 puts:xxxxxxxx pos:14,4 line cursor:0 wrap:0" +
          " pos:7,7 hold:" + at("a") + " pos:30,100 fg:7 bg:0 puts:Z hold:" + at("b"));
    ASSERT_TRUE(reached("a"));
    EXPECT_EQ(row(3), "\x1b[44m    \x1b[93mHello\x1b[91mWorld\n");
    EXPECT_EQ(row(10), "\n");
    EXPECT_EQ(row(12), "\x1b[44m    \x1b[92m\x1b[40mABCDEFGH\n");  // blanks of the clear, then the image
    EXPECT_EQ(row(14), "\x1b[92m\x1b[40mxxx\x1b[39m\n");           // still green; the cleared rest not
    EXPECT_EQ(tmux("display -p '#{cursor_x},#{cursor_y},#{cursor_flag},#{wrap_flag}'"), "6,6,0,0\n");
    tmux("resize-window -x 120 -y 40");
    tmux("send-keys Enter");
    ASSERT_TRUE(reached("b"));
    EXPECT_EQ(row(30), std::string(99, ' ') + "Z\n");  // past the old size, in the default colours
    EXPECT_EQ(finish(), "EXIT:0");

    start(probe + " cursor:0 wrap:0 bg:4 fg:15 pos:2,1 puts:before fail");
    EXPECT_EQ(finish(), "EXIT:1");
    EXPECT_NE(screen().find("RUN_TIME_ERROR : parameter must be a integer"), std::string::npos) << screen();

    // Breaks forbidden, Ctrl+C arrives as key 3; waiting costs next to no processor time.
    start(probe + " breaks:0 keys:" + at("out"));
    ASSERT_TRUE(reached("out", "ready\n"));
    expect_keys("a A Enter BSpace Tab C-a M-a Escape", "97\n65\n13\n8\n9\n1\n286\n27\n");
    expect_keys("C-c", "3\n");
    expect_keys("-l 'é'", "195\n169\n");
    std::string xs(2000, 'x');  // each x comes back as 120
    expect_keys("-l " + xs + "y", std::regex_replace(xs, std::regex("x"), "120\n") + "121\n");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(finish("Z"), "EXIT:0");
    std::string out = file_contents(at("out"));
    EXPECT_LT(std::stod(out.substr(out.rfind("cpu ") + 4)), 0.2);

    // Breaks allowed: Ctrl+C ends the program with status 1 and the terminal given back.
    start(probe + " breaks:1 mouse:" + at("out"));
    ASSERT_TRUE(reached("out", "ready\n"));
    const char *reports[][2] = {
        {"0;5;3M", "{2,5,3}"}, {"0;5;3m", "{4,5,3}"}, {"35;6;3M", "{1,6,3}"}, {"65;80;25M", "{0,80,25}"}};
    for (auto &[report, shown] : reports)
        expect_keys(std::string("-l '\x1b[<") + report + "'", std::string(shown) + "\n");
    EXPECT_EQ(finish("C-c"), "EXIT:1");
}

using ForeignBox = Terminal;

// Boxes of a style, the key sent once the buttons are shown; the button pressed and unchanged
// modes are appended to "out". Without a controlling terminal nobody is asked.
TEST_F(ForeignBox, AnswersWithThePressedButtonOnATerminal)
{
    std::tuple<int, const char *, const char *> boxes[] = {
        {0, "Enter", "[O]K  (Enter: OK)"},
        {3, "n", "[Y]es  [N]o  [C]ancel  (Enter: Yes)"},
        {2, "R", "[A]bort  [R]etry  [I]gnore  (Enter: Abort)"},
        {4 | 0x100, "Enter", "[Y]es  [N]o  (Enter: No)"},
        {1, "Escape", "[O]K  [C]ancel  (Enter: OK)"}};
    std::string actions;
    for (auto [style, key, buttons] : boxes)
        actions += " box:" + std::to_string(style) + ":" + at("out");
    start(probe + actions);
    for (auto [style, key, buttons] : boxes) {
        EXPECT_TRUE(soon([&, b = buttons] { return screen().find(b) != std::string::npos; })) << buttons;
        tmux("send-keys " + std::string(key));
    }
    EXPECT_TRUE(reached("out", "1 7 4 7 2 ")) << file_contents(at("out"));
    EXPECT_NE(screen().find("== Vorn box ==\nProceed?\n[O]K  (Enter: OK) OK\n"), std::string::npos)
        << screen();
    EXPECT_EQ(finish(), "EXIT:0");
    expect_child([] { std::exit(setsid() > 0 && wrap_message_box(1, 2, 1) == 0 ? 0 : 1); }, "", 0);
}

TEST(TerminalAbsent, RedirectedOutputCarriesNoEscapes)
{
    auto r = run_command(probe +
                         " bg:1 fg:14 clear cursor:0 wrap:0 pos:3,5 puts:Hello save:1,1,2,2 show:5,5 line");
    auto menu = run_command(examples + "/screen_menu 3");
    EXPECT_EQ(r.out, "Hello");
    EXPECT_EQ(menu.out.find('\x1b'), std::string::npos);
    EXPECT_NE(menu.out.find("chosen: 3 Save\n"), std::string::npos) << menu.out;
    EXPECT_EQ(r.status + menu.status, 0);
}
