// The console logic against the model backend: colours, cursor, clearing,
// screen images, text landing in the model, keys, mouse and break over its
// input queue; the terminal's key decoder.
#include <unistd.h>

#include <csignal>

#include "io.h"
#include "support.h"

using namespace vorn::io;
using namespace vorn_test;

namespace {

class Console : public store_test {
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
using Keys = Console;

// The characters of n cells of row y (0-based) from column x.
std::string chars_at(int x, int y, int n)
{
    std::string s;
    for (int k = 0; k < n; ++k)
        s += char(model().cells[size_t(y) * model().width + x + k].ch);
    return s;
}

void type(const char *text) { model().put_text(text, strlen(text)); }

std::string position() { return show_drop(wrap_get_position()); }

input_record key(uint16_t vk, uint16_t scan, uint8_t ch, uint32_t control = 0, bool down = true)
{
    return {input_kind::key, down, vk, scan, ch, control, 0, 0, 0, 0};
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

}  // namespace

TEST_F(Console, ColoursCursorClearingTextAndScreenImages)
{
    model().attr = 0x17;
    int16_t fg = 2, bg = 20, dr = 2, dc = -2;
    wrap_text_color(14);
    EXPECT_EQ(model().attr, 0x1E);
    wrap_bk_color(4);
    EXPECT_EQ(model().attr, 0x4E);
    wrap_text_color(16);  // spills into the background
    EXPECT_EQ(attrib, 0x50);
    colors_(&fg, &bg);
    EXPECT_EQ(model().attr, 0x142);
    wrap_text_color(5);  // bits above the low byte are dropped
    EXPECT_EQ(model().attr, 0x45);

    for (auto [r, c] : {std::pair{5, 10}, {0, 12}, {3, 0}, {-1, -1}})
        wrap_position(r, c);
    EXPECT_EQ(position(), "{3,12}");
    relcursor_(&dr, &dc);
    EXPECT_EQ(position(), "{5,10}");
    dr = 30;
    relcursor_(&dr, &dc);  // off the screen: stays
    EXPECT_EQ(position(), "{5,10}");

    wrap_cursor(0);  // the terminal tests show hiding, not the size kept
    wrap_cursor(100);
    EXPECT_TRUE(model().cursor_visible && model().cursor_height == 100 && pci.visible == 100);
    wrap_wrap(7);
    EXPECT_EQ(dwOutputMode, model().output_mode | 2);

    sti = {};  // as at start: black on black at the top left
    restoretextinfo_();
    EXPECT_EQ(position() + std::to_string(model().attr), "{1,1}0");
    wrap_position(4, 6);
    wrap_text_color(9);
    storetextinfo_();
    wrap_position(20, 20);
    wrap_text_color(3);
    restoretextinfo_();
    EXPECT_EQ(position() + std::to_string(model().attr), "{4,6}9");

    const char *integer = "parameter must be a integer\n",
               *not_rows = "2e parameter should be sequemce of sequence\n";
    expect_fatal(
        {{[] { wrap_text_color(build_string("x")); }, integer},
         {[] { wrap_position(1, make_double(2.0)); }, integer},
         {[] { wrap_save_text_image(1, seq("{1,1}")); }, "parameter (save_text) should be sequence's\n"},
         {[] { wrap_display_text_image(seq("{1,1}"), 5); }, "parameter should be sequence's\n"},
         {[] { wrap_display_text_image(seq("{1,1}"), make_string("AB")); }, not_rows},
         {[] { wrap_display_text_image(seq("{1,1}"), seq("{}")); }, not_rows}});

    // Clearing covers 80 x 25 and one line of 80 whatever the screen's size.
    use_model_console(80, 300);
    console().fill(0, 0, 80 * 300, cell{'x', 0x17});
    model().attr = 0x1E;
    wrap_position(40, 40);
    wrap_clear_screen();
    EXPECT_EQ(position(), "{1,1}");
    EXPECT_EQ(chars_at(0, 24, 81), std::string(80, ' ') + "x");
    EXPECT_EQ(model().cells[24 * 80 + 79].attr, 0x1E);
    console().fill(0, 0, 160, cell{'x', 0x17});
    wrap_position(1, 11);
    wrap_clear_line();
    EXPECT_EQ(position(), "{1,11}");
    EXPECT_EQ(chars_at(0, 0, 160), std::string(10, 'x') + std::string(80, ' ') + std::string(70, 'x'));

    use_model_console(10, 3);
    model().attr = 0x1E;
    type("abc\r\bX\tY\n123456789012");
    EXPECT_EQ(chars_at(0, 0, 22), "Xbc     Y 123456789012");
    type("\n\nlast567890");  // scrolls twice; the last column defers the wrap
    EXPECT_EQ(chars_at(0, 0, 2) + chars_at(0, 2, 10), "12last567890");
    EXPECT_TRUE(model().cells[10].attr == 0x1E && model().wrap_pending && model().x == 9);
    type("Z");
    EXPECT_EQ(chars_at(0, 1, 12), "last567890Z ");
    wrap_wrap(0);
    type("\r123456789ABC");
    EXPECT_EQ(chars_at(0, 2, 10), "123456789C");

    use_model_console(80, 25);
    for (int k = 0; k < 2000; ++k)
        model().cells[k] = {uint8_t('A' + (k % 80 + k / 80) % 26), uint8_t(k % 80 + k / 80)};
    EXPECT_EQ(take_bytes(wrap_get_screen(seq("{1,1,80,1}"))).substr(0, 6), std::string("A\0B\1C\2", 6));
    EXPECT_EQ(take_bytes(wrap_get_screen(make_string("\x02\x03\x03\x03"))), "D\3E\4");
    vorn_handle image = 0;
    assign(&image, wrap_save_text_image(seq("{2,3}"), seq("{4,10}")));
    std::vector<vorn_handle> rows = elements(image);
    ASSERT_EQ(rows.size(), 3u);
    vorn_handle block = vorn_record_of(rows[0])->base;
    EXPECT_EQ(refcount(block), 3);
    for (int r = 0; r < 3; ++r)
        EXPECT_TRUE(stored_length(rows[r]) == -16 && refcount(rows[r]) == 1 &&
                    vorn_record_of(rows[r])->base == block &&
                    chars(rows[r]) == static_cast<const char *>(vorn_record_of(block)->data) + 16 * r);
    std::string before = take_bytes(wrap_get_screen(seq("{3,2,10,4}")));
    wrap_clear_screen();
    wrap_display_text_image(seq("{2,3}"), image);
    EXPECT_EQ(take_bytes(wrap_get_screen(seq("{3,2,10,4}"))), before);
    wrap_display_text_image(make_string("\x14\x4f"), image);  // row 20, column 79: clipped
    EXPECT_EQ(chars_at(78, 19, 2), "DE");
    EXPECT_EQ(position(), "{1,1}");
    assign(&image, 0);

    EXPECT_EQ(show_drop(wrap_save_text_image(seq("{3,5}"), seq("{4,2}"))), "{}");  // right < left
    EXPECT_EQ(show_drop(wrap_save_text_image(seq("{1,1}"), seq("{30000,30000}"))), "{}");
    EXPECT_EQ(take_bytes(wrap_get_screen(seq("{80,25,81,25}"))), std::string(" \x07 \0", 4));
    console().fill(0, 0, 80, cell{'.', 7});
    // rows of bytes, then of handles, a short row and an atom
    wrap_display_text_image(seq("{1,1}"), seq("{b{65,1,66,2},{67,3,68,4},b{69,5},7}"));
    EXPECT_EQ(chars_at(0, 0, 3) + chars_at(0, 1, 2) + chars_at(0, 2, 2) + chars_at(0, 3, 2), "AB.CDE   ");
    EXPECT_EQ(model().cells[80].attr, 3);
}

TEST_F(Keys, TerminalBytesGiveTheKeyCodes)
{
    const std::pair<std::string, std::string> table[] = {
        {"aA\x01\r\x7f\b\t\x82\xff", "97 65 1 13 8 8 9 130 255"},
        {"\x1b[11~\x1b[1~\x1b[4~\x1b[7~\x1bOA\x1b[E\x1b[D", "315 327 335 327 328 332 331"},
        {"\x1b[B\x1b[C\x1b[H\x1b[F\x1bOQ\x1bOR\x1bOS\x1b[5~\x1b[6~\x1b[17~\x1b[23~",
         "336 333 327 335 316 317 318 329 337 320 343"},
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

// A release gives nothing, Shift alone -1, AltGr its scan code; an interrupt
// while breaks are off is reported once as key 3.
TEST_F(Keys, PollsWaitsGetchMouseAndTheBreakCount)
{
    EXPECT_EQ(wrap_get_key(), -1);
    for (const input_record &r :
         {key(0x41, 30, 'a'), key(0x41, 30, 'a', 0, false), key(0x10, 42, 0, shift_pressed),
          key(0x51, 16, '@', right_alt_pressed), key(0x70, 59, 0)})
        queue_input(r);
    EXPECT_EQ(codes(""), "97 -1 -1 272 315");
    queue_input(key(0x10, 42, 0, shift_pressed));
    queue_input(key(0x51, 16, 'q'));
    EXPECT_EQ(wrap_wait_key(), 'q');
    allow_break(0x10000);
    EXPECT_EQ(breakallowed, 0);
    breakhandler(SIGINT);
    breakhandler(SIGINT);
    EXPECT_EQ(wrap_get_key(), 3);
    EXPECT_EQ(take_breakcount(), 0);
    breakhandler(SIGINT);
    EXPECT_EQ(take_breakcount(), 1);
    allow_break(1);
    std::signal(SIGINT, SIG_DFL);

    EXPECT_EQ(wrap_text_mouse(), static_cast<vorn_handle>(-1));
    const std::pair<uint32_t, uint32_t> events[] = {
        {1, 0}, {0, 0}, {0, mouse_moved}, {0, mouse_wheeled}, {3, 0}, {4, mouse_moved}};
    std::string shown;
    for (const auto &[buttons, flags] : events) {
        queue_input({input_kind::mouse, false, 0, 0, 0, 0, int16_t(4 + flags % 2), 2, buttons, flags});
        shown += show_drop(wrap_text_mouse());
    }
    EXPECT_EQ(shown, "{2,5,3}{4,5,3}{1,6,3}{0,5,3}{10,5,3}{53,6,3}");

    // getch_ echoes character keys; without a console a wait reads standard
    // input: its bytes, then -1 at the end.
    expect_child(
        [] {
            for (const input_record &r : {key(0x70, 59, 0), key(0, 0, 130), key(0x58, 45, 'x')})
                queue_input(r);
            int a = getch_(), b = getch_();
            use_console(no_console());
            int fds[2];
            (void)!pipe(fds);
            (void)!write(fds[1], "\0z", 2);
            close(fds[1]);
            dup2(fds[0], 0);
            clearerr(stdin);
            int c = wrap_wait_key(), d = wrap_wait_key();
            std::printf("|%d %d %d %d %d %d", a, b, c, d, getch_(), wrap_get_key());
        },
        "\x82x|130 120 122 -1 -1 -1", 0);
}
