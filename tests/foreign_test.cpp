// Foreign routines against real libraries: the C and math libraries and the
// test library built beside the tests (checksums of 0..15 arguments), calls
// back into this program with their reference hand-over, the fatal messages,
// and the message box on a real terminal under tmux.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "support.h"

using namespace vorn_test;

namespace {

// A machine word the library handed back, as a number (a double is dropped).
int64_t word_of(vorn_handle h)
{
    if (vorn_is_sequence(h))
        return INT64_MAX;  // never a word
    int64_t w = vorn_is_double(h) ? static_cast<int64_t>(vorn_double_value(h)) : static_cast<int32_t>(h);
    drop(h);
    return w;
}

// A word as the library takes it: an integer, or a temporary double when wider.
vorn_handle word_handle(int64_t w)
{
    if (w >= VORN_MIN_INTEGER && w <= VORN_MAX_INTEGER)
        return static_cast<vorn_handle>(w);
    return make_double(static_cast<double>(w));
}

int64_t load(const char *name)
{
    vorn_handle n = make_string(name);
    int64_t w = word_of(open_dll(n));
    drop(n);
    return w;
}

int64_t find(int64_t library, const char *name,
             vorn_handle (*define)(vorn_handle, vorn_handle) = define_c_func)
{
    vorn_handle l = word_handle(library), n = make_string(name);
    int64_t w = word_of(define(l, n));
    drop(l);
    drop(n);
    return w;
}

// c_func of a routine with a list, consumed as c_func consumes it.
int64_t cfunc(int64_t routine, vorn_handle list)
{
    vorn_handle r = word_handle(routine);
    int64_t w = word_of(c_func(r, list));
    drop(r);
    return w;
}

int64_t checksum(const std::vector<int64_t> &args)
{
    uint64_t s = 7;
    for (int64_t a : args)
        s = s * 31 + static_cast<uint64_t>(a);
    return static_cast<int64_t>(s % 1000000007u);
}

// A routine of the translated program: the sum of its arguments, which it gives up as it returns.
vorn_handle add_and_let_go(vorn_handle a, vorn_handle b)
{
    vorn_handle sum = add(a, b);
    proc_cleanup(2, a, b);
    return sum;
}

}  // namespace

using Foreign = store_test;

TEST_F(Foreign, LibrariesAndRoutinesAreFoundByExactName)
{
    int64_t libc = load("libc.so.6"), libm = load("libm.so.6");
    EXPECT_NE(libc, 0);
    EXPECT_EQ(load("libc.so.6"), libc);
    EXPECT_EQ(load("/nonexistent/libnone.so"), 0);
    EXPECT_NE(find(libm, "cos"), -1);
    EXPECT_EQ(find(libc, "strlen", define_c_proc), find(libc, "strlen"));
    // case differs, only in a library libm depends on, no library, not a library, not a word
    for (auto [library, name] : {std::pair<int64_t, const char *>{libc, "STRLEN"},
                                 {libm, "strlen"},
                                 {0, "strlen"},
                                 {12345, "strlen"},
                                 {libc, "no_such_routine"}})
        EXPECT_EQ(find(library, name), -1) << library << " " << name;
    vorn_handle s = make_string("libc.so.6");
    EXPECT_EQ(define_c_func(s, s), vorn_handle(-1));
    drop(s);
}

TEST_F(Foreign, CallsPassArgumentsInOrderAndBringResultsBack)
{
    int64_t lib = load(VORN_FOREIGN_LIB), libc = load("libc.so.6");
    for (int n = 0; n <= 15; ++n) {  // signs, order and a wide value (a double) all reach the routine
        std::vector<int64_t> args;
        vorn_handle list = build_sequence(0);
        for (int k = 0; k < n; ++k) {
            args.push_back(k == 2 ? (INT64_C(1) << 40) + 5 : k % 2 ? -977 * k : 1000003 * k);
            list = append(list, word_handle(args.back()));
        }
        list = held(list);
        EXPECT_EQ(cfunc(find(lib, ("sum" + std::to_string(n)).c_str()), list), checksum(args)) << n;
        let_go({&list});
    }
    vorn_handle ab = held(make_string("ab")), many = held(repeat(1, 16));
    EXPECT_EQ(cfunc(find(lib, "add32"), ab), 195);
    EXPECT_EQ(stored_length(ab), 2);  // widened in place
    EXPECT_EQ(cfunc(find(lib, "sum15"), many), 0);
    let_go({&ab, &many});
    static const char hello[] = "hello";
    vorn_handle text = held(build_sequence(1, word_handle(reinterpret_cast<int64_t>(hello))));
    EXPECT_EQ(cfunc(find(libc, "strlen"), text), 5);
    let_go({&text});
    vorn_handle keep = word_handle(find(lib, "keep"));
    c_proc(keep, build_sequence(1, -7));
    drop(keep);
    struct {
        int64_t routine;
        vorn_handle list;
        int64_t result;
    } cases[] = {
        {find(lib, "kept"), build_sequence(0), -7},
        {find(lib, "add32"), build_sequence(2, -5, 2), -3},
        {find(lib, "high_bit32"), build_sequence(0), INT32_MIN},
        {find(lib, "wide"), build_sequence(0), INT64_C(0x7f1234567890)},
        {find(lib, "minus_one"), build_sequence(0), -1},
        {find(libc, "abs"), build_sequence(1, -5), 5},
        {find(libc, "getpid"), build_sequence(0), getpid()},
        {0, build_sequence(0), 0},  // routine ids that are no address call nothing
        {-1, build_sequence(0), 0},
    };
    for (auto &c : cases)
        EXPECT_EQ(cfunc(c.routine, c.list), c.result) << c.routine;
}

TEST_F(Foreign, CallFuncHandsReferencesToTheRoutine)
{
    vorn_handle routine = word_handle(reinterpret_cast<int64_t>(&add_and_let_go));
    vorn_handle x = make_double(1.5), y = make_double(2.5);
    vorn_handle list = held(build_sequence(2, x, y)), many = held(repeat(x, 16)),
                ab = held(make_string("ab"));
    EXPECT_EQ(show_drop(call_func(routine, list)), "4d");
    EXPECT_EQ(counts({list, x, y}), "1,17,1");  // held elements survive, counts unchanged
    EXPECT_EQ(call_func(routine, many), 0u);
    EXPECT_EQ(counts({many, x}), "1,17");
    EXPECT_EQ(call_func(routine, ab), 195u);
    EXPECT_EQ(stored_length(ab), 2);
    let_go({&list, &many, &ab});
    // a temporary list hands its references to the routine and is freed; the teardown sees no leak
    EXPECT_EQ(show_drop(call_func(routine, build_sequence(2, make_double(1.0), make_double(2.0)))), "3d");
    call_proc(routine, repeat(make_double(1.0), 16));
    call_proc(0, build_sequence(1, make_double(1.0)));
    drop(routine);
}

TEST(ForeignFatal, MessagesNameTheRoutine)
{
    expect_fatal({{[] { c_proc(1, 5); }, "2nd parameter of c_/call_proc must be a sequence\n"},
                  {[] { c_func(1, 5); }, "2nd parameter of c_/call_func must be a sequence\n"},
                  {[] { call_proc(1, 5); }, "2e parameter of c_/call_proc must be a sequence\n"},
                  {[] { call_func(1, 5); }, "2e parameter of c_/call_func must be a sequence\n"},
                  {[] { define_c_var(0, 0); }, "FIXME: not supported\n"}});
}

namespace {

// The boxes the probe shows under tmux, the key sent to each and the button it must give.
struct box_case {
    int32_t style;
    const char *key;
    int32_t button;
};
constexpr box_case boxes[] = {
    {0, "Enter", 1}, {3, "n", 7}, {2, "R", 4}, {4 | 0x100, "Enter", 7}, {1, "Escape", 2}};

// The probe (this test run again inside tmux): shows each box and writes the
// button and whether the terminal's modes came back, a line per box.
void show_boxes(const char *results)
{
    std::ofstream out(results);
    int tty = open("/dev/tty", O_RDWR);
    vorn_handle title = make_string("Vorn box"), text = make_string("Proceed?");
    for (const box_case &b : boxes) {
        termios before{}, after{};
        tcgetattr(tty, &before);
        int32_t button = wrap_message_box(text, title, b.style);
        tcgetattr(tty, &after);
        out << button << (before.c_lflag == after.c_lflag ? " restored" : " changed") << std::endl;
    }
    drop(title);
    drop(text);
    close(tty);
}

// Polls for up to 10 s.
bool soon(const std::function<bool()> &done)
{
    for (int k = 0; k < 200 && !done(); ++k)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return done();
}

size_t occurrences(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

}  // namespace

TEST(ForeignBox, AnswersWithThePressedButtonOnATerminal)
{
    if (const char *results = std::getenv("VORN_BOX_RESULTS"))
        return show_boxes(results);
    scratch_dir dir;
    std::string results = dir.path("results"), self(4096, '\0');
    self.resize(readlink("/proc/self/exe", self.data(), self.size()));
    std::string tmux = "env -u TMUX tmux -L vorn-box-" + std::to_string(getpid()) + " -f /dev/null ";
    run_command(tmux + "new-session -d -x 80 -y 25 'VORN_BOX_RESULTS=" + results + " " + self +
                " --gtest_filter=ForeignBox.*; sleep 30'");
    auto pane = [&] { return run_command(tmux + "capture-pane -p -S -200").out; };
    for (size_t k = 0; k < std::size(boxes); ++k) {
        ASSERT_TRUE(soon([&] { return occurrences(pane(), "(Enter: ") > k; })) << pane();
        run_command(tmux + "send-keys " + boxes[k].key);
    }
    EXPECT_TRUE(soon([&] { return occurrences(file_contents(results), "\n") == std::size(boxes); }));
    std::string screen = pane();
    EXPECT_NE(screen.find("== Vorn box ==\nProceed?\n[O]K  (Enter: OK) OK\n"), std::string::npos) << screen;
    EXPECT_NE(screen.find("[Y]es  [N]o  [C]ancel  (Enter: Yes) No"), std::string::npos) << screen;
    run_command(tmux + "kill-server");
    EXPECT_EQ(file_contents(results), "1 restored\n7 restored\n4 restored\n7 restored\n2 restored\n");
    // without a controlling terminal there is nobody to ask
    vorn_handle text = make_string("t");
    expect_child([text] { std::exit(setsid() > 0 && wrap_message_box(text, text, 1) == 0 ? 0 : 1); }, "", 0);
    drop(text);
}

TEST(ForeignExample, CallsTheCLibraryAndItsOwnRoutine)
{
    auto r = run_command("VORN_LIVE_RECORDS=1 " VORN_EXAMPLES_DIR "/foreign_calls");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "strlen(\"hello, foreign world\") = 20\nabs(-42) = 42\ngetpid() > 0: 1\n"
                     "missing library: 0, missing routine: -1\n"
                     "scaled_sum({1,2,3}, 2.5) through call_func = 15\nrecords held at exit: 0\n");
}
