// Keys, mouse and the break key on a real terminal: a probe program runs in
// a tmux pane, tmux types at it, and the codes it writes are checked, with
// how it ended and whether the terminal's modes came back.
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "support.h"

using namespace vorn_test;

namespace {

class KeysOnTerminal : public ::testing::Test {
  protected:
    void TearDown() override { tmux("kill-server"); }

    std::string tmux(const std::string &args)
    {
        return run_command("tmux -L " + socket + " -f /dev/null " + args + " 2>&1").out;
    }

    // Starts the probe in a fresh pane; the shell around it keeps the
    // terminal's modes from before and after and the exit status.
    void start(const std::string &mode, const std::string &breaks)
    {
        std::ofstream(dir.path("run.sh"))
            << "trap '' INT\nstty -g > " << dir.path("before") << "\n"
            << VORN_KEYS_PROBE << " " << dir.path("out") << " " << mode << " " << breaks << "\necho $? > "
            << dir.path("status") << "\nstty -g > " << dir.path("after") << "\n";
        tmux("new-session -d -x 80 -y 25 'sh " + dir.path("run.sh") + "'");
        ASSERT_TRUE(wait_for("out", "ready\n"));
    }

    // Waits (ten seconds at most) until the file ends with `tail`.
    bool wait_for(const std::string &name, const std::string &tail)
    {
        for (int i = 0; i < 500; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
            std::string text = file_contents(dir.path(name));
            if (text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0)
                return true;
        }
        return false;
    }

    // Sends keys and expects the lines the probe writes for them.
    void expect_keys(const std::string &keys, const std::string &lines)
    {
        tmux("send-keys -t 0 " + keys);
        EXPECT_TRUE(wait_for("out", lines)) << keys << " gave\n" << file_contents(dir.path("out"));
    }

    void expect_ended(const std::string &status)
    {
        ASSERT_TRUE(wait_for("after", "\n"));
        EXPECT_EQ(file_contents(dir.path("status")), status);
        EXPECT_EQ(file_contents(dir.path("after")), file_contents(dir.path("before")));
    }

    std::string socket = "vorn-keys-" + std::to_string(getpid());
    scratch_dir dir;
};

TEST_F(KeysOnTerminal, KeysGiveTheirCodesAndCtrlCIsCounted)
{
    start("keys", "forbid");
    expect_keys("a A Enter BSpace Tab C-a M-a", "97\n65\n13\n8\n9\n1\n286\n");
    expect_keys("-l 'é'", "195\n169\n");
    expect_keys("F1 F2 F3 F4 F5 F6 F7 F8 F9 F10 F11 F12",
                "315\n316\n317\n318\n319\n320\n321\n322\n323\n324\n343\n344\n");
    expect_keys("Up Down Left Right Home End PPage NPage IC DC",
                "328\n336\n331\n333\n327\n335\n329\n337\n338\n339\n");
    expect_keys("S-F1 C-F1 M-F1 S-Up C-Up M-Up S-Home C-End M-PPage S-NPage C-IC M-DC",
                "415\n359\n395\n428\n372\n408\n427\n379\n409\n437\n382\n419\n");
    expect_keys("Escape", "27\n");
    expect_keys("C-c", "3\n");
    std::string burst;
    for (int i = 0; i < 2000; ++i)
        burst += "120\n";
    expect_keys("-l " + std::string(2000, 'x') + "y", burst + "121\n");
    // Two seconds of waiting for a key cost next to no processor time.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    tmux("send-keys -t 0 Z");
    expect_ended("0\n");
    std::string out = file_contents(dir.path("out"));
    double cpu = std::stod(out.substr(out.rfind("cpu ") + 4));
    EXPECT_LT(cpu, 0.2);
}

TEST_F(KeysOnTerminal, MouseReportsAndCtrlCEndingTheProgram)
{
    start("mouse", "allow");
    const std::pair<const char *, const char *> reports[] = {{"\x1b[<0;5;3M", "{2,5,3}\n"},
                                                             {"\x1b[<0;5;3m", "{4,5,3}\n"},
                                                             {"\x1b[<35;6;3M", "{1,6,3}\n"},
                                                             {"\x1b[<65;80;25M", "{0,80,25}\n"}};
    for (const auto &[report, shown] : reports)
        expect_keys(std::string("-l '") + report + "'", shown);
    tmux("send-keys -t 0 C-c");
    expect_ended("1\n");
}

}  // namespace
