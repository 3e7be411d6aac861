// terminal_keys.cpp -- the terminal backend's input side: termios behind the
// console's input mode bits, mouse reporting, the bytes read from the
// keyboard on standard input, and the one decoder of the terminal's key and
// mouse sequences into console input records with PC set-1 scan codes.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "io.h"

namespace vorn::io {

namespace {

constexpr uint8_t esc = 0x1b;
constexpr size_t longest_sequence = 48;  // no final byte by then: the bytes are dropped
constexpr uint32_t largest_number = 99999;

// ---- characters -------------------------------------------------------------

// A US keyboard: each row's keys from its first scan code on, unshifted and shifted.
struct key_row {
    uint16_t first_scan;
    const char *plain;
    const char *shifted;
};
constexpr key_row rows[] = {
    {2, "1234567890-=", "!@#$%^&*()_+"},
    {16, "qwertyuiop[]", "QWERTYUIOP{}"},
    {30, "asdfghjkl;'`", "ASDFGHJKL:\"~"},
    {43, "\\zxcvbnm,./", "|ZXCVBNM<>?"},
};

// The scan code of the key that types c (0 for none); `shifted` when Shift is part of it.
uint16_t scan_of(uint8_t c, bool &shifted)
{
    shifted = false;
    if (c == ' ')
        return 57;
    for (const key_row &r : rows)
        for (uint16_t i = 0; r.plain[i] != 0; ++i) {
            shifted = r.shifted[i] == c;
            if (shifted || r.plain[i] == c)
                return static_cast<uint16_t>(r.first_scan + i);
        }
    shifted = false;
    return 0;
}

// Virtual keys of the character keys: letters and digits as their upper-case
// character, space 0x20; punctuation is not needed by anything and stays 0.
uint16_t virtual_of(uint8_t c)
{
    if (c >= 'a' && c <= 'z')
        return static_cast<uint16_t>(c - 'a' + 'A');
    bool letter_or_digit = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ';
    return letter_or_digit ? c : 0;
}

input_record key_record(uint16_t vk, uint16_t scan, uint8_t ch, uint32_t control)
{
    input_record r{};
    r.kind = input_kind::key;
    r.key_down = true;
    r.virtual_key = vk;
    r.scan_code = scan;
    r.ch = ch;
    r.control = control;
    return r;
}

// A control character is its key typed with Ctrl: 0 is Ctrl+2, 1..26 the
// letters, 27..31 [ \ ] 6 -.
input_record ctrl_key(uint8_t c)
{
    static const char typed[] = "2abcdefghijklmnopqrstuvwxyz[\\]6-";
    bool shifted;
    uint8_t key = static_cast<uint8_t>(typed[c]);
    return key_record(virtual_of(key), scan_of(key, shifted), c, left_ctrl_pressed);
}

// The key that sends byte c alone.  Backspace arrives as DEL or ^H and is
// the console's 8; bytes 128..255 are characters of their own (no scan code).
input_record byte_key(uint8_t c)
{
    switch (c) {
    case 8:
    case 127:
        return key_record(0x08, 14, 8, 0);
    case 9:
        return key_record(0x09, 15, 9, 0);
    case 13:
        return key_record(0x0D, 28, 13, 0);
    case esc:
        return key_record(0x1B, 1, esc, 0);
    }
    if (c < 32)
        return ctrl_key(c);
    bool shifted;
    uint16_t scan = scan_of(c, shifted);
    return key_record(virtual_of(c), scan, c, shifted ? shift_pressed : 0);
}

// ---- sequences --------------------------------------------------------------

// ESC [ or ESC O, then parameter numbers separated by ';', then a final byte.
// `odd`: a parameter or intermediate byte none of our keys uses.
struct sequence {
    uint32_t num[4] = {};
    int count = 1;
    bool mouse = false;  // ESC [ <: an SGR mouse report
    bool odd = false;
    uint8_t final = 0;
};

void add_digit(sequence &s, uint8_t b)
{
    if (s.count > 4)
        return;
    uint32_t &n = s.num[s.count - 1];
    n = std::min(n * 10 + (b - '0'), largest_number);
}

// The sequence's length up to its final byte, 0 when bytes are still to
// come.  Once complete, too long, or cut by a byte that cannot belong to it,
// it is the bytes so far, with final 0 (they give no key); the rest of a
// sequence too long is skipped as it arrives.
size_t read_sequence(key_decoder &d, const uint8_t *p, size_t n, bool complete, sequence &s)
{
    size_t i = 2;
    if (p[1] == '[' && i < n && p[i] == '<') {
        s.mouse = true;
        ++i;
    }
    for (; i < n && i < longest_sequence; ++i) {
        uint8_t b = p[i];
        if (b >= '0' && b <= '9')
            add_digit(s, b);
        else if (b == ';')
            ++s.count;
        else if (b >= 0x20 && b <= 0x3f)
            s.odd = true;
        else if (b >= 0x40 && b <= 0x7e) {
            s.final = b;
            return i + 1;
        } else
            return i;
    }
    d.skipping = i >= longest_sequence;
    return complete || d.skipping ? i : 0;
}

// The rest of a sequence too long to read: its parameter bytes and its
// final byte give nothing.
size_t skip_sequence(key_decoder &d, const uint8_t *p, size_t n)
{
    size_t i = 0;
    while (i < n && p[i] >= 0x20 && p[i] <= 0x3f)
        ++i;
    if (i < n) {
        d.skipping = false;
        if (p[i] >= 0x40 && p[i] <= 0x7e)
            ++i;
    }
    return i;
}

struct named_key {
    uint16_t vk, scan;
};

// Keys named by a final letter: cursor keys, Home, End, keypad 5, F1-F4.
named_key letter_key(uint8_t f)
{
    switch (f) {
    case 'A':
        return {0x26, 72};
    case 'B':
        return {0x28, 80};
    case 'C':
        return {0x27, 77};
    case 'D':
        return {0x25, 75};
    case 'H':
        return {0x24, 71};
    case 'F':
        return {0x23, 79};
    case 'E':
        return {0x0C, 76};
    case 'P':
        return {0x70, 59};
    case 'Q':
        return {0x71, 60};
    case 'R':
        return {0x72, 61};
    case 'S':
        return {0x73, 62};
    }
    return {0, 0};
}

// Keys named by a number before '~': the editing block and F1-F12.
named_key tilde_key(uint32_t n)
{
    switch (n) {
    case 1:
    case 7:
        return {0x24, 71};
    case 2:
        return {0x2D, 82};
    case 3:
        return {0x2E, 83};
    case 4:
    case 8:
        return {0x23, 79};
    case 5:
        return {0x21, 73};
    case 6:
        return {0x22, 81};
    case 23:
        return {0x7A, 87};
    case 24:
        return {0x7B, 88};
    }
    if (n >= 11 && n <= 15)
        return {static_cast<uint16_t>(0x70 + n - 11), static_cast<uint16_t>(59 + n - 11)};
    if (n >= 17 && n <= 21)
        return {static_cast<uint16_t>(0x75 + n - 17), static_cast<uint16_t>(64 + n - 17)};
    return {0, 0};
}

// The xterm modifier parameter (1 + Shift 1 + Alt 2 + Ctrl 4 + Meta 8) as
// control-key state; Meta counts as Alt.
uint32_t modifier_bits(uint32_t m)
{
    if (m < 2 || m > 16)
        return 0;
    m -= 1;
    return ((m & 1) ? shift_pressed : 0) | ((m & 10) ? left_alt_pressed : 0) |
           ((m & 4) ? left_ctrl_pressed : 0);
}

// A mouse report: button code b (low bits 0 left, 1 middle, 2 right, 3 none;
// 32 motion, 64 wheel, 128 further buttons), 1-based x and y.  The buttons
// held after it are kept in the decoder.
bool mouse_record(key_decoder &d, uint32_t b, uint32_t x, uint32_t y, bool release, input_record &out)
{
    static constexpr uint32_t bit_of[4] = {1, 4, 2, 0};
    if (x < 1 || y < 1 || x > INT16_MAX || y > INT16_MAX || (b & 128) != 0)
        return false;
    out = input_record{};
    out.kind = input_kind::mouse;
    out.mouse_x = static_cast<int16_t>(x - 1);
    out.mouse_y = static_cast<int16_t>(y - 1);
    uint32_t bit = bit_of[b & 3];
    if (b & 64) {
        out.mouse_flags = mouse_wheeled;
    } else if (b & 32) {
        out.mouse_flags = mouse_moved;
        if (bit == 0)
            d.buttons = 0;  // a move with nothing held
    } else if (bit == 0) {
        d.buttons = 0;  // the older reports' release of every button
    } else {
        d.buttons = release ? d.buttons & ~bit : d.buttons | bit;
    }
    out.buttons = d.buttons;
    return true;
}

// ESC [ M b x y: the report of terminals without the SGR form, each value + 32.
size_t legacy_mouse(key_decoder &d, const uint8_t *p, size_t n, bool complete, input_record &out, bool &made)
{
    if (n < 6)
        return complete ? n : 0;
    made = p[3] >= 32 && p[4] >= 32 && p[5] >= 32 &&
           mouse_record(d, p[3] - 32u, p[4] - 32u, p[5] - 32u, false, out);
    return 6;
}

// ESC [ ... or ESC O ...: a key without a character, or a mouse report.
size_t decode_sequence(key_decoder &d, const uint8_t *p, size_t n, bool complete, input_record &out,
                       bool &made)
{
    sequence s;
    size_t k = read_sequence(d, p, n, complete, s);
    if (k == 0 || s.final == 0)
        return k;
    bool csi = p[1] == '[';
    if (csi && k == 3 && s.final == 'M')
        return legacy_mouse(d, p, n, complete, out, made);
    if (s.mouse) {
        bool report = s.count == 3 && (s.final == 'M' || s.final == 'm');
        made = report && mouse_record(d, s.num[0], s.num[1], s.num[2], s.final == 'm', out);
        return k;
    }
    if (s.odd)
        return k;
    if (csi && s.final == 'Z') {
        out = key_record(0x09, 15, 9, shift_pressed);  // Shift+Tab
    } else if (!csi && s.final == 'M') {
        out = key_record(0x0D, 28, 13, 0);  // keypad Enter
    } else {
        named_key key = csi && s.final == '~' ? tilde_key(s.num[0]) : letter_key(s.final);
        if (key.scan == 0)
            return k;
        uint32_t m = s.count >= 2 ? s.num[1] : csi ? 1 : s.num[0];
        out = key_record(key.vk, key.scan, 0, modifier_bits(m));
    }
    made = true;
    return k;
}

// ESC, then: [ or O opening a sequence; a key typed with Alt (ESC before its
// own bytes, a sequence's ESC included); or nothing within the wait: the
// Escape key.  `nested`: this ESC follows another, which takes it as its key.
size_t decode_escape(key_decoder &d, const uint8_t *p, size_t n, bool complete, input_record &out, bool &made,
                     bool nested)
{
    made = n > 1 || complete;
    out = byte_key(esc);
    if (n == 1)
        return complete ? 1 : 0;
    bool opens = (p[1] == '[' || p[1] == 'O') && !(n == 2 && complete);
    if (opens) {
        made = false;
        return decode_sequence(d, p, n, complete, out, made);
    }
    if (nested)
        return 1;
    size_t k = 1;
    if (p[1] == esc)
        k = decode_escape(d, p + 1, n - 1, complete, out, made, true);
    else
        out = byte_key(p[1]);
    if (k == 0)
        return 0;
    if (made && out.kind == input_kind::key && out.scan_code != 0 && (out.control & left_alt_pressed) == 0) {
        out.control |= left_alt_pressed;
        return k + 1;
    }
    out = byte_key(esc);  // ESC before something Alt cannot go with
    made = true;
    d.skipping = false;
    return 1;
}

}  // namespace

size_t decode_input(key_decoder &d, const uint8_t *bytes, size_t n, bool complete, input_record &out,
                    bool &made)
{
    made = false;
    if (n == 0)
        return 0;
    size_t skipped = d.skipping ? skip_sequence(d, bytes, n) : 0;
    if (skipped > 0)
        return skipped;
    if (bytes[0] == esc)
        return decode_escape(d, bytes, n, complete, out, made, false);
    out = byte_key(bytes[0]);
    made = true;
    return 1;
}

// ---- the terminal -----------------------------------------------------------

namespace {

constexpr int escape_wait_ms = 30;  // a lone ESC is the Escape key after this
constexpr size_t byte_room = 512;
constexpr size_t record_room = 64;
constexpr uint32_t found_modes = mode_processed_input | mode_line_input | mode_echo_input;
constexpr char mouse_on_text[] = "\x1b[?1000h\x1b[?1003h\x1b[?1006h";
constexpr char mouse_off_text[] = "\x1b[?1006l\x1b[?1003l\x1b[?1000l";

// The keyboard's state.  Invariants: used <= byte_room; count <= record_room;
// `applied` names the modes the termios now follows (found_modes: the
// original ones); partial_since is non-zero exactly while the bytes end in
// a sequence whose rest has not come.
struct keyboard_state {
    termios original{};
    volatile sig_atomic_t saved = 0;     // `original` holds the modes as found
    volatile sig_atomic_t mouse_on = 0;  // reporting asked of the terminal
    bool gone = false;                   // the terminal hung up
    uint32_t mode = found_modes;         // the mode bits as last set
    uint32_t applied = found_modes;
    int wake[2] = {-1, -1};
    uint8_t bytes[byte_room];
    size_t used = 0;
    input_record records[record_room];
    size_t head = 0, count = 0;
    key_decoder decoder;
    int64_t partial_since = 0;
};

keyboard_state kb;

bool stdin_is_terminal()
{
    static const bool tty = isatty(0) == 1;
    return tty;
}

int64_t now_ms()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// The first time the keyboard is used: its modes as found, and the pipe the
// break handler wakes a wait through.
void first_use()
{
    if (kb.saved || !stdin_is_terminal() || tcgetattr(0, &kb.original) != 0)
        return;
    kb.saved = 1;
    std::atexit(terminal_restore_input);  // however the program ends
    if (pipe2(kb.wake, O_NONBLOCK | O_CLOEXEC) != 0)
        kb.wake[0] = kb.wake[1] = -1;
}

// The original termios with line input, echo and signals taken out as the
// mode bits say.  Without line input the keys arrive as typed: no CR to LF,
// no flow control, Ctrl+V, Ctrl+\ and Ctrl+Z are keys; Ctrl+C stays a signal
// while processed input is on and leaves the keys typed before it waiting.
void apply_modes(uint32_t bits)
{
    bits &= found_modes;
    if (!kb.saved || bits == kb.applied)
        return;
    termios t = kb.original;
    if (!(bits & mode_line_input)) {
        t.c_lflag &= ~static_cast<tcflag_t>(ICANON | IEXTEN);
        t.c_lflag |= NOFLSH;  // keys typed before a Ctrl+C stay
        t.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON);
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        t.c_cc[VQUIT] = t.c_cc[VSUSP] = _POSIX_VDISABLE;
    }
    if (!(bits & mode_echo_input))
        t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL);
    if (!(bits & mode_processed_input))
        t.c_lflag &= ~static_cast<tcflag_t>(ISIG);
    tcsetattr(0, TCSANOW, &t);
    kb.applied = bits;
}

void write_all(const char *text, size_t n)
{
    while (n > 0) {
        ssize_t done = write(1, text, n);
        if (done <= 0)
            return;
        text += done;
        n -= static_cast<size_t>(done);
    }
}

void set_mouse(bool on)
{
    if (on)
        write_all(mouse_on_text, sizeof mouse_on_text - 1);
    else
        write_all(mouse_off_text, sizeof mouse_off_text - 1);
    kb.mouse_on = on;
}

// Bytes that have arrived, as many as fit, without waiting; how many came.
size_t fill_bytes()
{
    if (!terminal_has_keyboard() || kb.used == byte_room)
        return 0;
    pollfd p{0, POLLIN, 0};
    if (poll(&p, 1, 0) != 1)
        return 0;
    ssize_t got = read(0, kb.bytes + kb.used, byte_room - kb.used);
    if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN))
        kb.gone = true;
    if (got <= 0)
        return 0;
    kb.used += static_cast<size_t>(got);
    return static_cast<size_t>(got);
}

// Decodes the bytes that make whole keys into records (dropped when `keep`
// is false), leaving the beginning of a sequence still to come.
void decode_bytes(bool keep)
{
    bool complete = kb.partial_since != 0 && now_ms() - kb.partial_since >= escape_wait_ms;
    while (kb.used > 0 && kb.count < record_room) {
        input_record r;
        bool made;
        size_t k = decode_input(kb.decoder, kb.bytes, kb.used, complete, r, made);
        if (k == 0) {
            if (kb.partial_since == 0)
                kb.partial_since = now_ms();
            return;
        }
        kb.partial_since = 0;
        kb.used -= k;
        std::memmove(kb.bytes, kb.bytes + k, kb.used);
        if (made && keep)
            kb.records[(kb.head + kb.count++) % record_room] = r;
    }
}

void drain_wake()
{
    char sink[64];
    while (kb.wake[0] >= 0 && read(kb.wake[0], sink, sizeof sink) > 0) {
    }
}

}  // namespace

bool terminal_has_keyboard() { return stdin_is_terminal() && !kb.gone; }

uint32_t terminal_input_mode() { return kb.mode; }

// Mouse reporting follows the mouse bit at once; the key modes (line input
// off) are applied at once, the line modes only when standard input is next
// read as lines, so keys typed between two polls are neither echoed nor
// held back in a line.
void terminal_set_input_mode(uint32_t mode)
{
    first_use();
    bool mouse = (mode & mode_mouse_input) != 0;
    if (mouse != (kb.mouse_on != 0) && terminal_has_keyboard())
        set_mouse(mouse);
    kb.mode = mode;
    if (!(mode & mode_line_input))
        apply_modes(mode);
}

void terminal_settle_input() { apply_modes(kb.mode); }

int32_t terminal_pending_input()
{
    fill_bytes();
    decode_bytes(true);
    return static_cast<int32_t>(kb.count);
}

bool terminal_read_input(input_record *out)
{
    if (kb.count == 0 && terminal_pending_input() == 0)
        return false;
    *out = kb.records[kb.head];
    kb.head = (kb.head + 1) % record_room;
    --kb.count;
    return true;
}

// Everything that has arrived goes, except the beginning of a sequence
// whose rest is still on its way (dropping half a mouse report would turn
// its rest into keys).  A flood stops the draining after a few rounds.
void terminal_flush_input()
{
    kb.count = 0;
    decode_bytes(false);
    for (int round = 0; round < 8 && fill_bytes() > 0; ++round)
        decode_bytes(false);
}

void terminal_wait_input(int timeout_ms)
{
    first_use();
    if (terminal_pending_input() > 0)
        return;
    if (kb.partial_since != 0) {
        int left = static_cast<int>(std::max<int64_t>(0, kb.partial_since + escape_wait_ms - now_ms()));
        timeout_ms = timeout_ms < 0 ? left : std::min(timeout_ms, left);
    }
    pollfd fds[2] = {{terminal_has_keyboard() ? 0 : -1, POLLIN, 0}, {kb.wake[0], POLLIN, 0}};
    poll(fds, 2, timeout_ms);
    drain_wake();
}

void terminal_wake_input()
{
    if (kb.wake[1] >= 0) {
        char one = 1;
        ssize_t ignored = write(kb.wake[1], &one, 1);
        (void)ignored;
    }
}

void terminal_restore_input()
{
    if (kb.saved)
        tcsetattr(0, TCSANOW, &kb.original);
    kb.applied = found_modes;
    if (kb.mouse_on) {
        write_all(mouse_off_text, sizeof mouse_off_text - 1);
        kb.mouse_on = 0;
    }
}

}  // namespace vorn::io
