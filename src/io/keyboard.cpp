// keyboard.cpp -- console input for interactive programs: the one event
// reader (get_event) that turns an input record into a key code or a mouse
// state, the routines that poll and wait for keys and the mouse, and the
// interrupt key's handler and count.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>

#include "../core/core.h"
#include "io.h"

using namespace vorn::core;
using namespace vorn::io;

extern "C" {
VORN_API int32_t last_key = -1;
VORN_API int32_t last_mouse_bot = -1;
VORN_API int32_t last_mouse_x = 0;
VORN_API int32_t last_mouse_y = 0;
VORN_API int16_t last_but = 0;
VORN_API int16_t breakallowed = 1;
VORN_API int32_t breakcount = 0;
VORN_API vorn_input_record inputBuffer;
VORN_API uint32_t dwInputEvents = 0;
VORN_API int16_t m_event = 255;
}

namespace {

constexpr int key_event = 1;
constexpr int mouse_event = 2;
constexpr uint32_t alt_held = right_alt_pressed | left_alt_pressed;
constexpr uint32_t ctrl_held = right_ctrl_pressed | left_ctrl_pressed;

// The record in its public form, as the console hands it over.
vorn_input_record public_record(const input_record &r)
{
    vorn_input_record p{};
    p.event_type = r.kind == input_kind::key ? key_event : r.kind == input_kind::mouse ? mouse_event : 0;
    if (r.kind == input_kind::key)
        p.event.key = {r.key_down ? 1 : 0, 1, r.virtual_key, r.scan_code, r.ch, r.control};
    else
        p.event.mouse = {r.mouse_x, r.mouse_y, r.buttons, r.control, r.mouse_flags};
    return p;
}

// A key going down as a key code: its character, or its scan code plus the
// offset of the first modifier held (Alt, then Shift, then Ctrl).
int32_t key_code(const input_record &r)
{
    if (r.ch != 0)
        return (r.control & alt_held) ? r.scan_code + 256 : r.ch;
    if (iscontrolkey(r.virtual_key))
        return -1;
    if (r.control & alt_held)
        return r.scan_code + 336;
    if (r.control & shift_pressed)
        return r.scan_code + 356;
    if (r.control & ctrl_held)
        return r.scan_code + 300;
    return r.scan_code + 256;
}

// A mouse record as the pending mouse state; what else was waiting goes.
void take_mouse(const input_record &r)
{
    last_mouse_bot = static_cast<int32_t>((r.buttons & 7) * 2 + ((r.mouse_flags & mouse_moved) ? 1 : 0));
    last_mouse_x = r.mouse_x + 1;
    last_mouse_y = r.mouse_y + 1;
    console().flush_input();
}

void take_record(const input_record &r)
{
    inputBuffer = public_record(r);
    if (r.kind == input_kind::key && r.key_down)
        last_key = key_code(r);
    else if (r.kind == input_kind::mouse)
        take_mouse(r);
}

// Whether a key can ever come: the model's queue, or a terminal keyboard
// on standard input.  The no-console backend has none.
bool keys_can_come()
{
    auto read = console().read_input;
    if (read == terminal_read_input)
        return terminal_has_keyboard();
    return read != no_console().read_input;
}

// A byte of standard input where no key can come; zero bytes skipped when
// `skip_zero`; -1 at the end of input.
int32_t input_byte(bool skip_zero)
{
    int c;
    do
        c = std::getc(stdin);
    while (c == 0 && skip_zero);
    return c == EOF ? -1 : c;
}

// The pending key code, after one poll when none; taken.
int32_t take_key()
{
    if (last_key < 0)
        get_event();
    int32_t k = last_key;
    last_key = -1;
    return k;
}

}  // namespace

namespace vorn::io {

int32_t wait_key()
{
    for (;;) {
        int32_t k = take_key();
        if (k > 0)
            return k;
        if (!keys_can_come())
            return input_byte(true);
        console().wait_input(-1);
    }
}

void allow_break(int32_t flag) { breakallowed = static_cast<int16_t>(flag); }

int32_t take_breakcount() { return std::atomic_ref<int32_t>(breakcount).exchange(0); }

}  // namespace vorn::io

extern "C" {

// One poll: line input and echo off (processed input kept, so Ctrl+C stays
// a signal) for the time of the poll, one record at most, then a caught
// interrupt replaces whatever the poll gave.
VORN_API void get_event(void)
{
    const console_backend &c = console();
    dwInputMode = c.input_mode();
    c.set_input_mode((dwInputMode & ~(mode_line_input | mode_echo_input)) | mode_processed_input);
    input_record r;
    dwInputEvents = 0;
    if (c.pending_input() > 0 && c.read_input(&r)) {
        dwInputEvents = 1;
        take_record(r);
    }
    c.set_input_mode(dwInputMode);
    if (take_breakcount() != 0)
        last_key = 3;
}

VORN_API int32_t iscontrolkey(int32_t vk)
{
    return vk == 0x10 || vk == 0x11 || vk == 0x12 || vk == 0x14 || vk == 0x90 || vk == 0x91;
}

VORN_API int32_t inkey_(void) { return take_key(); }

VORN_API int16_t mouse_(int16_t *x, int16_t *y)
{
    if (last_mouse_bot < 0)
        get_event();
    *x = static_cast<int16_t>(last_mouse_x);
    *y = static_cast<int16_t>(last_mouse_y);
    int16_t state = static_cast<int16_t>(last_mouse_bot);
    last_mouse_bot = -1;
    return state;
}

// Extended keys are dropped; between polls that gave nothing the wait
// sleeps in the system.
VORN_API int32_t getch_(void)
{
    int32_t c = take_key();
    while (c < 0 || c > 255) {
        if (!keys_can_come()) {
            c = input_byte(false);
            if (c < 0)
                return -1;
            break;
        }
        if (c < 0)
            console().wait_input(-1);
        c = take_key();
    }
    if (CGI_flag == nullptr) {
        std::fputc(c, stdout);
        std::fflush(stdout);
    }
    return c;
}

VORN_API int32_t wrap_get_key(void) { return inkey_(); }

VORN_API int32_t wrap_wait_key(void) { return wait_key(); }

VORN_API vorn_handle wrap_text_mouse(void)
{
    int16_t x, y;
    int16_t s = mouse_(&x, &y);
    if (s < 0)
        return static_cast<vorn_handle>(-1);
    int16_t buttons = static_cast<int16_t>(s >> 1);
    int32_t code = s & 1;
    for (int b = 1; b <= 4; b <<= 1) {
        if ((buttons & b) == (last_but & b))
            continue;
        code += (last_but & b) ? 4 * b * b : 2 * b * b;
    }
    last_but = buttons;
    handle *e = alloc_words(3);
    e[0] = int_handle(code);
    e[1] = int_handle(x);
    e[2] = int_handle(y);
    return make_sequence(e, 3);
}

// Runs when the interrupt signal arrives: with breaks allowed the program
// ends with the terminal given back; otherwise the interrupt is counted and
// a wait for a key wakes up to report it.
VORN_API void breakhandler(int sig)
{
    (void)sig;
    if (breakallowed != 0) {
        terminal_restore_input();
        Pexit(1);
    }
    std::signal(SIGINT, breakhandler);
    std::atomic_ref<int32_t>(breakcount).fetch_add(1);
    terminal_wake_input();
}

}  // extern "C"
