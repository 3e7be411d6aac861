// terminal_screen.cpp -- the terminal backend's screen side: escape sequences
// for cursor, colours, erasing, cursor shape and line wrap, a screen model
// kept beside the terminal (which cannot be read back), the program's
// standard output routed through that model, and the text semantics of the
// model (put_text).  Every sequence the library sends a terminal is made here.
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

#include "io.h"

namespace vorn::io {

// ---- text written to the screen --------------------------------------------
// As a terminal shows it: "\n" is a carriage return and a line feed (the
// tty's output translation), "\r" back to column 1, "\b" one column left,
// "\t" to the next multiple of 8; other control bytes draw nothing.  Writing
// the last column with wrap on defers the wrap to the next character; a line
// feed on the bottom row scrolls the screen up, the new row blank in the
// current attribute.

namespace {

void scroll_up(screen_model &m)
{
    size_t row = static_cast<size_t>(m.width);
    std::copy(m.cells.begin() + static_cast<std::ptrdiff_t>(row), m.cells.end(), m.cells.begin());
    std::fill(m.cells.end() - static_cast<std::ptrdiff_t>(row), m.cells.end(),
              cell{' ', static_cast<uint8_t>(m.attr)});
}

void line_feed(screen_model &m)
{
    if (m.y + 1 < m.height)
        ++m.y;
    else
        scroll_up(m);
}

void put_char(screen_model &m, unsigned char ch)
{
    if (m.wrap_pending) {
        m.x = 0;
        line_feed(m);
        m.wrap_pending = false;
    }
    m.cells[static_cast<size_t>(m.y) * m.width + m.x] = {ch, static_cast<uint8_t>(m.attr)};
    if (m.x + 1 < m.width)
        ++m.x;
    else
        m.wrap_pending = (m.output_mode & mode_wrap_at_eol) != 0;
}

void put_control(screen_model &m, unsigned char ch)
{
    switch (ch) {
    case '\n':
        m.x = 0;
        line_feed(m);
        break;
    case '\r':
        m.x = 0;
        break;
    case '\b':
        if (!m.wrap_pending && m.x > 0)
            --m.x;
        break;
    case '\t':
        m.x = static_cast<int16_t>(std::min(m.width - 1, (m.x / 8 + 1) * 8));
        break;
    default:
        return;  // the bell and the rest move nothing
    }
    m.wrap_pending = false;
}

}  // namespace

void screen_model::put_text(const char *text, size_t n)
{
    if (cells.empty())
        return;
    for (size_t k = 0; k < n; ++k) {
        unsigned char ch = static_cast<unsigned char>(text[k]);
        if (ch < 32 || ch == 127)
            put_control(*this, ch);
        else
            put_char(*this, ch);
    }
}

// ---- the terminal ------------------------------------------------------------

namespace {

constexpr int16_t default_width = 80, default_height = 25;
constexpr int unknown = -1;

int out_fd = STDOUT_FILENO;
screen_model shown;                    // the screen as the library drew it
bool model_ready = false;              // `shown` has been sized once
bool attached = false;                 // the terminal backend is in use
int term_attr = unknown;               // the attribute byte the terminal draws text in
int term_shape = unknown;              // the cursor shape last sent (1 block, 3 underline)
int cup_x = unknown, cup_y = unknown;  // where the last cursor move left the cursor
std::string pending;                   // sequences gathered in an open batch
int batch_depth = 0;
volatile sig_atomic_t resized = 0;
struct sigaction previous_winch;

// The program's standard output while the backend is in use: a stream whose
// bytes reach the terminal and the model together.
FILE *real_stdout = nullptr;
FILE *text_stream = nullptr;

// ---- writing ----

void write_all(const char *p, size_t n)
{
    while (n > 0) {
        ssize_t w = ::write(out_fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return;  // a terminal that went away takes nothing more
        p += w;
        n -= static_cast<size_t>(w);
    }
}

void send_pending()
{
    if (batch_depth > 0 || pending.empty())
        return;
    write_all(pending.data(), pending.size());
    pending.clear();
}

void append_number(int v) { pending += std::to_string(v); }

// ---- keeping up with the terminal's size ----

void on_winch(int sig)
{
    resized = 1;
    if ((previous_winch.sa_flags & SA_SIGINFO) == 0 && previous_winch.sa_handler != SIG_DFL &&
        previous_winch.sa_handler != SIG_IGN)
        previous_winch.sa_handler(sig);
}

// The terminal's size, 80 x 25 when it does not say.
void resize_to_terminal()
{
    struct winsize ws;
    bool known = ioctl(out_fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0;
    int w = known ? std::min<int>(ws.ws_col, 32767) : default_width;
    int h = known ? std::min<int>(ws.ws_row, 32767) : default_height;
    if (w != shown.width || h != shown.height)
        shown.resize(static_cast<int16_t>(w), static_cast<int16_t>(h));
}

void follow_resize()
{
    if (resized == 0)
        return;
    resized = 0;
    resize_to_terminal();
    cup_x = cup_y = unknown;
}

// Before an operation: the size is current and the program's buffered text
// has reached the terminal (and the model), so everything keeps its order.
void sync()
{
    follow_resize();
    if (text_stream != nullptr)
        std::fflush(text_stream);
}

// ---- sequences ----

// PC colour bits (1 blue, 2 green, 4 red) to the ANSI colour number.
constexpr int ansi_colour[8] = {0, 4, 2, 6, 1, 5, 3, 7};

// Light grey on black, the attribute a console starts in, is the terminal's
// own default colours; every other attribute is set explicitly.
void send_colours(int attr)
{
    if (attr == 7) {
        pending += "\x1b[0m";
        return;
    }
    pending += "\x1b[";
    append_number((attr & 8 ? 90 : 30) + ansi_colour[attr & 7]);
    pending += ';';
    append_number((attr & 0x80 ? 100 : 40) + ansi_colour[(attr >> 4) & 7]);
    pending += 'm';
}

void ensure_colours(int attr)
{
    attr &= 0xFF;
    if (attr != term_attr)
        send_colours(attr);
    term_attr = attr;
}

void move_to(int x, int y)
{
    if (x == cup_x && y == cup_y)
        return;
    pending += "\x1b[";
    append_number(y + 1);
    pending += ';';
    append_number(x + 1);
    pending += 'H';
    cup_x = x;
    cup_y = y;
}

// Text of our own moved the cursor somewhere only the model knows.
void cursor_moved() { cup_x = cup_y = unknown; }

// After drawing: the terminal's colours and cursor are the model's again.
void back_to_model_state()
{
    ensure_colours(shown.attr);
    move_to(shown.x, shown.y);
}

// A cell's character as drawn: control bytes show as blanks (the model
// keeps them); bytes 128-255 go out as they are, like the program's text.
char drawable(uint8_t ch) { return ch < 32 || ch == 127 ? ' ' : static_cast<char>(ch); }

// ---- the backend's operations ----

screen_state term_state()
{
    sync();
    return {shown.width, shown.height, shown.x, shown.y, shown.attr};
}

void term_set_cursor(int16_t x, int16_t y)
{
    sync();
    if (x < 0 || y < 0 || x >= shown.width || y >= shown.height)
        return;
    shown.x = x;
    shown.y = y;
    shown.wrap_pending = false;
    move_to(x, y);
    send_pending();
}

// Heights up to half the cell show as an underline, larger ones as a block;
// height 0 (or not visible) hides the cursor and leaves its shape.
void term_set_shape(int height, bool visible)
{
    sync();
    shown.cursor_height = height;
    shown.cursor_visible = visible;
    if (visible && height != 0) {
        int shape = height > 50 ? 1 : 3;
        if (shape != term_shape) {
            pending += "\x1b[";
            append_number(shape);
            pending += " q";
        }
        term_shape = shape;
    }
    pending += visible && height != 0 ? "\x1b[?25h" : "\x1b[?25l";
    send_pending();
}

void term_set_attribute(uint16_t attr)
{
    sync();
    shown.attr = attr;
    ensure_colours(attr);
    send_pending();
}

void erase_run(int x, int y, int n, bool to_end_of_screen)
{
    move_to(x, y);
    if (to_end_of_screen) {
        pending += "\x1b[J";
        return;
    }
    pending += "\x1b[";
    append_number(n);
    pending += 'X';
}

void draw_run(int x, int y, int n, uint8_t ch)
{
    move_to(x, y);
    pending.append(static_cast<size_t>(n), drawable(ch));
    cursor_moved();
}

void term_fill(int16_t x, int16_t y, int32_t count, cell c)
{
    sync();
    if (x < 0 || y < 0 || x >= shown.width || y >= shown.height || count <= 0)
        return;
    shown.fill(x, y, count, c);
    int64_t left = std::min<int64_t>(count, static_cast<int64_t>(shown.width) * (shown.height - y) - x);
    bool to_end = left == static_cast<int64_t>(shown.width) * (shown.height - y) - x;
    ensure_colours(c.attr);
    for (int row = y, col = x; left > 0; ++row, col = 0) {
        int n = static_cast<int>(std::min<int64_t>(left, shown.width - col));
        if (c.ch == ' ' && to_end) {
            erase_run(col, row, n, true);
            break;
        }
        if (c.ch == ' ')
            erase_run(col, row, n, false);
        else
            draw_run(col, row, n, c.ch);
        left -= n;
    }
    back_to_model_state();
    send_pending();
}

void term_read(screen_rect r, cell *out)
{
    sync();
    shown.read(r, out);
}

// Row by row over the part on the screen; the colours change only where
// the attribute does.
void term_write(screen_rect r, const cell *in)
{
    sync();
    shown.write(r, in);
    int width = r.right - r.left + 1;
    int left = std::max<int>(r.left, 0), right = std::min<int>(r.right, shown.width - 1);
    int top = std::max<int>(r.top, 0), bottom = std::min<int>(r.bottom, shown.height - 1);
    for (int row = top; row <= bottom && left <= right; ++row) {
        const cell *c = in + static_cast<std::ptrdiff_t>(row - r.top) * width + (left - r.left);
        move_to(left, row);
        for (int col = left; col <= right; ++col, ++c) {
            ensure_colours(c->attr);
            pending += drawable(c->ch);
        }
        cursor_moved();
    }
    back_to_model_state();
    send_pending();
}

uint32_t term_output_mode()
{
    sync();
    return shown.output_mode;
}

void term_set_output_mode(uint32_t mode)
{
    sync();
    shown.output_mode = mode;
    bool wrap = (mode & mode_wrap_at_eol) != 0;
    if (!wrap)
        shown.wrap_pending = false;
    pending += wrap ? "\x1b[?7h" : "\x1b[?7l";
    send_pending();
}

const console_backend terminal_backend = {term_state,
                                          term_set_cursor,
                                          term_set_shape,
                                          term_set_attribute,
                                          term_fill,
                                          term_read,
                                          term_write,
                                          term_output_mode,
                                          term_set_output_mode,
                                          terminal_input_mode,
                                          terminal_set_input_mode,
                                          terminal_pending_input,
                                          terminal_read_input,
                                          terminal_flush_input,
                                          terminal_wait_input};

// ---- standard output through the model ----

// Plain printable ASCII moves a terminal's cursor exactly as it moves the
// model's; anything else (control bytes, bytes a UTF-8 terminal may join)
// leaves the terminal's cursor unknown until the next move.
bool moves_like_model(const char *text, size_t n)
{
    for (size_t k = 0; k < n; ++k)
        if (text[k] < 32 || text[k] > 126)
            return false;
    return true;
}

ssize_t text_write(void *, const char *text, size_t n)
{
    follow_resize();
    bool known = cup_x == shown.x && cup_y == shown.y && !shown.wrap_pending && moves_like_model(text, n);
    shown.put_text(text, n);
    cursor_moved();
    if (known && !shown.wrap_pending) {
        cup_x = shown.x;
        cup_y = shown.y;
    }
    if (pending.empty() && batch_depth == 0) {
        write_all(text, n);
    } else {
        pending.append(text, n);
        send_pending();
    }
    return static_cast<ssize_t>(n);
}

// The program closed standard output (file number 1): the real stream
// closes with it, as it would have without the model in between.
int text_close(void *)
{
    text_stream = nullptr;
    stdout = real_stdout;
    std::fclose(real_stdout);
    return 0;
}

void route_stdout()
{
    if (text_stream == nullptr) {
        text_stream = fopencookie(nullptr, "w", {nullptr, text_write, nullptr, text_close});
        std::setvbuf(text_stream, nullptr, _IOLBF, BUFSIZ);
    }
    if (stdout == text_stream)
        return;
    std::fflush(stdout);
    real_stdout = stdout;
    stdout = text_stream;
    if (files[1] == real_stdout)
        files[1] = text_stream;
}

void unroute_stdout()
{
    if (text_stream == nullptr || stdout != text_stream)
        return;
    std::fflush(text_stream);
    stdout = real_stdout;
    if (files[1] == text_stream)
        files[1] = real_stdout;
}

void watch_resizes()
{
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_winch;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGWINCH, &sa, &previous_winch);
}

// After a child command the terminal's colours, cursor and wrap are what
// the child left: send the program's own again.
void redraw_modes()
{
    term_attr = unknown;
    ensure_colours(shown.attr);
    if ((shown.output_mode & mode_wrap_at_eol) == 0)
        pending += "\x1b[?7l";
    if (term_shape != unknown) {
        pending += "\x1b[";
        append_number(term_shape);
        pending += " q";
    }
    if (!shown.cursor_visible || shown.cursor_height == 0)
        pending += "\x1b[?25l";
    send_pending();
}

}  // namespace

void terminal_attach_fd(int fd)
{
    out_fd = fd;
    if (!model_ready) {
        shown = screen_model{};
        resize_to_terminal();
        term_attr = 7;  // a fresh terminal draws in its default colours
        watch_resizes();
        model_ready = true;
    } else {
        resized = 1;
        redraw_modes();
    }
    cursor_moved();
    route_stdout();
    attached = true;
    use_console(terminal_backend);
}

void terminal_attach() { terminal_attach_fd(STDOUT_FILENO); }

bool terminal_attached() { return attached; }

void terminal_detach()
{
    if (!attached)
        return;
    attached = false;
    batch_depth = 0;
    unroute_stdout();
    send_pending();
    // Default colours, the terminal's own cursor shape, cursor shown, wrap on.
    static const char plain[] = "\x1b[0m\x1b[?25h\x1b[?7h";
    static const char shaped[] = "\x1b[0m\x1b[0 q\x1b[?25h\x1b[?7h";
    if (term_shape != unknown)
        write_all(shaped, sizeof shaped - 1);
    else
        write_all(plain, sizeof plain - 1);
    term_attr = 7;
    cursor_moved();
    use_console(no_console());
}

void console_batch_begin() { ++batch_depth; }

void console_batch_end()
{
    if (batch_depth > 0)
        --batch_depth;
    send_pending();
}

}  // namespace vorn::io
