// Keys, mouse and break: the terminal's bytes through the key decoder and
// the event reader into key codes, and the polling, waiting and mouse
// routines over the model console's input queue.
#include <unistd.h>

#include <csignal>

#include "io.h"
#include "support.h"

using namespace vorn::io;
using namespace vorn_test;

namespace {

input_record key(uint16_t vk, uint16_t scan, uint8_t ch, uint32_t control = 0, bool down = true)
{
    return {input_kind::key, down, vk, scan, ch, control, 0, 0, 0, 0};
}

input_record mouse(int16_t x, int16_t y, uint32_t buttons, uint32_t flags = 0)
{
    return {input_kind::mouse, false, 0, 0, 0, 0, x, y, buttons, flags};
}

// The key codes the bytes give, through the decoder, the queue and wrap_get_key.
std::string codes(const std::string &bytes)
{
    key_decoder d;
    auto p = reinterpret_cast<const uint8_t *>(bytes.data());
    for (size_t n = bytes.size(), k; n > 0; p += k, n -= k) {
        input_record r;
        bool made;
        k = decode_input(d, p, n, true, r, made);
        if (made)
            queue_input(r);
    }
    std::string out;
    while (console().pending_input() > 0)
        out += (out.empty() ? "" : " ") + std::to_string(wrap_get_key());
    return out;
}

class Keys : public store_test {
  protected:
    void SetUp() override
    {
        use_model_console(80, 25);
        last_key = last_mouse_bot = -1;
        last_but = 0;
    }
    void TearDown() override
    {
        use_console(no_console());
        store_test::TearDown();
    }
};

TEST_F(Keys, TerminalBytesGiveTheKeyCodes)
{
    const std::pair<std::string, std::string> table[] = {
        {"aA\x01\r\x7f\b\t\x82\xff", "97 65 1 13 8 8 9 130 255"},
        {"\x1b[11~\x1b[1~\x1b[4~\x1b[7~\x1bOA\x1b[E", "315 327 335 327 328 332"},  // other forms
        {"\x1b[1;2P\x1b[1;5P\x1b[1;3P\x1b[1;2A\x1b[1;5A\x1b[1;3A\x1b[1;7A\x1b[1;6A",
         "415 359 395 428 372 408 408 428"},
        {"\x1b[5;5~\x1b[3;2~\x1b[2;3~\x1b[24;5~\x1bO5P\x1b[Z", "373 439 418 388 359 9"},
        {"\x1b\x61\x1b\x41\x1b\x1b[A\x1b\x7f\x1b\x1b\x1b\x01", "286 286 408 270 257 286"},  // Alt
        {"\x1b\x82\x1b[", "27 130 282"},  // Alt cannot go with 130; ESC [ alone is Alt+[
        {"\x1b[99~\x1b[?1;2c\x1b[1;5\x1b[A\x1b[200~x", "328 120"},
        {std::string("\x1b[") + std::string(200, '1') + "~q", "113"},
        {"\x1b[<0;5;3M\x1b[<0;5;3m\x1b[M !!", "-1"},  // a mouse record, the rest flushed
        {std::string("\x00", 1), "303"},              // Ctrl+2
    };
    for (const auto &[bytes, expected] : table)
        EXPECT_EQ(codes(bytes), expected) << "for the bytes before " << expected;
    // A sequence still arriving waits for its rest.
    key_decoder d;
    input_record r;
    bool made;
    for (const char *part : {"\x1b", "\x1b[", "\x1b[1;5", "\x1b[<0;5"})
        EXPECT_EQ(decode_input(d, reinterpret_cast<const uint8_t *>(part), strlen(part), false, r, made), 0u);
}

TEST_F(Keys, PollsWaitsAndTheBreakCount)
{
    EXPECT_EQ(wrap_get_key(), -1);
    for (const input_record &r :
         {key(0x41, 30, 'a'), key(0x41, 30, 'a', 0, false), key(0x10, 42, 0, shift_pressed),
          key(0x51, 16, '@', right_alt_pressed), key(0x70, 59, 0)})
        queue_input(r);
    EXPECT_EQ(codes(""), "97 -1 -1 272 315");  // a release gives nothing, Shift alone -1, AltGr its scan code
    queue_input(key(0x10, 42, 0, shift_pressed));
    queue_input(key(0x51, 16, 'q'));
    EXPECT_EQ(wrap_wait_key(), 'q');
    allow_break(0x10000);
    EXPECT_EQ(breakallowed, 0);
    breakhandler(SIGINT);
    breakhandler(SIGINT);
    EXPECT_EQ(wrap_get_key(), 3);  // reported once
    EXPECT_EQ(take_breakcount(), 0);
    breakhandler(SIGINT);
    EXPECT_EQ(take_breakcount(), 1);
    allow_break(1);  // with breaks allowed it ends the program: see the terminal test
    std::signal(SIGINT, SIG_DFL);
}

TEST_F(Keys, GetchEchoesCharacterKeysOnly)
{
    for (const char *gateway : {(const char *)nullptr, "GET"})
        expect_child(
            [gateway] {
                CGI_flag = const_cast<char *>(gateway);
                for (const input_record &r : {key(0x70, 59, 0), key(0, 0, 130), key(0x58, 45, 'x')})
                    queue_input(r);
                int a = getch_(), b = getch_();
                std::printf("|%d %d", a, b);
            },
            gateway ? "|130 120" : "\x82x|130 120", 0);
    // Without a console a wait reads standard input: its bytes, then -1 at the end.
    expect_child(
        [] {
            use_console(no_console());
            int fds[2];
            (void)!pipe(fds);
            (void)!write(fds[1], "\0z", 2);
            close(fds[1]);
            dup2(fds[0], 0);
            clearerr(stdin);
            int a = wrap_wait_key(), b = wrap_wait_key();
            std::printf("%d %d %d %d", a, b, getch_(), wrap_get_key());
        },
        "122 -1 -1 -1", 0);
}

TEST_F(Keys, MouseEventsReportButtonChanges)
{
    EXPECT_EQ(wrap_text_mouse(), static_cast<vorn_handle>(-1));
    std::string shown;
    for (const input_record &r :
         {mouse(4, 2, 1), mouse(4, 2, 0), mouse(5, 2, 0, mouse_moved), mouse(5, 2, 0, mouse_wheeled),
          mouse(0, 0, 3), mouse(0, 0, 4, mouse_moved)}) {
        queue_input(r);
        shown += show_drop(wrap_text_mouse());
    }
    EXPECT_EQ(shown, "{2,5,3}{4,5,3}{1,6,3}{0,6,3}{10,1,1}{53,1,1}");
}

}  // namespace
