// console.cpp -- the console primitives (cursor, colours, clearing, wrap,
// saving the cursor and colour) over the backend in use, the built-ins that
// check their objects and call one primitive each, the console's exported
// state, and when the console is taken, handed over to a child and given back.
#include <unistd.h>

#include <cstdlib>

#include "../core/core.h"
#include "io.h"

using namespace vorn::core;
using namespace vorn::io;

extern "C" {
VORN_API vorn_screen_info pti;
VORN_API vorn_screen_info sti;
VORN_API vorn_cursor_info pci;
VORN_API uint16_t attrib;
VORN_API uint32_t dwOutputMode;
VORN_API uint32_t dwInputMode;
VORN_API int32_t bSucces;
VORN_API char *CGI_flag;
}

namespace {

// Clearing sizes: a screen of 80 columns by 25 rows, and one 80-column line.
constexpr int32_t screen_cells = 2000;
constexpr int32_t line_cells = 80;

// The success flag of a console call: calls fail when there is no console.
int32_t console_success() { return &console() != &no_console() ? 1 : 0; }

// The screen-buffer information record of what the backend reports.
vorn_screen_info screen_info()
{
    screen_state s = console().state();
    vorn_screen_info info;
    info.size = {s.width, s.height};
    info.cursor = {s.x, s.y};
    info.attribute = s.attr;
    info.window = {0, 0, static_cast<int16_t>(s.width - 1), static_cast<int16_t>(s.height - 1)};
    info.max_size = {s.width, s.height};
    bSucces = console_success();
    return info;
}

// A run of blanks in the attribute text is written in now.
cell blank_in(uint16_t attr) { return {' ', static_cast<uint8_t>(attr)}; }

void set_attribute_recorded(uint16_t attr)
{
    attrib = attr;
    console().set_attribute(attr);
    bSucces = console_success();
}

// A built-in's argument passed on to a primitive: its low 16 bits; any
// object is fatal.
int16_t short_argument(vorn_handle x)
{
    if (is_object(x))
        runtime_error("parameter must be a integer\n");
    return static_cast<int16_t>(int_value(x));
}

bool restore_registered = false;

void restore_at_exit() { console_restore(); }

}  // namespace

namespace vorn::io {

void console_init()
{
    CGI_flag = std::getenv("REQUEST_METHOD");
    if (!restore_registered)
        std::atexit(restore_at_exit);
    restore_registered = true;
    if (CGI_flag == nullptr && isatty(STDOUT_FILENO))
        terminal_attach();
    else if (terminal_attached())
        terminal_detach();
    if (CGI_flag != nullptr)
        return;
    dwInputMode = console().input_mode();
    console().set_input_mode(dwInputMode | mode_mouse_input);
}

void console_restore()
{
    terminal_detach();
    terminal_restore_input();
}

void console_hand_over()
{
    std::fflush(stdout);
    console_restore();
}

}  // namespace vorn::io

extern "C" {

// ---- the primitives: numbers by pointer to 16-bit integers, 1-based
// positions; each one reaches a terminal in one write ----

VORN_API void cursortype_(int16_t *v)
{
    console_batch batch;
    pci.height = static_cast<uint32_t>(*v);
    pci.visible = *v;
    console().set_cursor_shape(*v, *v != 0);
    bSucces = console_success();
}

VORN_API void wherecur_(int16_t *row, int16_t *col)
{
    pti = screen_info();
    *row = static_cast<int16_t>(pti.cursor.y + 1);
    *col = static_cast<int16_t>(pti.cursor.x + 1);
}

VORN_API void relcursor_(int16_t *drow, int16_t *dcol)
{
    console_batch batch;
    pti = screen_info();
    console().set_cursor(static_cast<int16_t>(pti.cursor.x + *dcol),
                         static_cast<int16_t>(pti.cursor.y + *drow));
}

VORN_API void abscursor_(int16_t *row, int16_t *col)
{
    console_batch batch;
    pti = screen_info();
    if (*row > 0)
        pti.cursor.y = static_cast<int16_t>(*row - 1);
    if (*col > 0)
        pti.cursor.x = static_cast<int16_t>(*col - 1);
    console().set_cursor(pti.cursor.x, pti.cursor.y);
}

VORN_API void clearscreen_(void)
{
    console_batch batch;
    pti = screen_info();
    console().set_cursor(0, 0);
    console().fill(0, 0, screen_cells, blank_in(pti.attribute));
    console().set_cursor(0, 0);
}

VORN_API void cleartextline_(void)
{
    console_batch batch;
    pti = screen_info();
    vorn_coord at = pti.cursor;
    console().set_cursor(at.x, at.y);
    console().fill(at.x, at.y, line_cells, blank_in(pti.attribute));
}

VORN_API void setfc_(int16_t *c)
{
    console_batch batch;
    pti = screen_info();
    set_attribute_recorded(static_cast<uint16_t>((pti.attribute & 0xF0) + *c));
}

VORN_API void setbc_(int16_t *c)
{
    console_batch batch;
    pti = screen_info();
    set_attribute_recorded(static_cast<uint16_t>(*c * 16 + (pti.attribute & 0x0F)));
}

VORN_API void colors_(int16_t *fg, int16_t *bg)
{
    console_batch batch;
    set_attribute_recorded(static_cast<uint16_t>(*bg * 16 + *fg));
}

VORN_API void wraptext_(int16_t *on)
{
    console_batch batch;
    dwOutputMode = console().output_mode();
    if (*on != 0)
        dwOutputMode |= mode_wrap_at_eol;
    else
        dwOutputMode &= ~mode_wrap_at_eol;
    console().set_output_mode(dwOutputMode);
    bSucces = console_success();
}

VORN_API void storetextinfo_(void) { sti = screen_info(); }

VORN_API void restoretextinfo_(void)
{
    console_batch batch;
    console().set_attribute(sti.attribute);
    console().set_cursor(sti.cursor.x, sti.cursor.y);
    bSucces = console_success();
}

VORN_API void init_conhdl(void) { console_init(); }

VORN_API void close_conhdl(void)
{
    dwInputMode = console().input_mode();
    console().set_input_mode(dwInputMode & ~mode_mouse_input);
}

// ---- the built-ins: integer arguments, all checked before the primitive
// runs; nothing to release ----

VORN_API vorn_handle wrap_get_position(void)
{
    int16_t row, col;
    wherecur_(&row, &col);
    handle *w = alloc_words(2);
    w[0] = int_handle(row);
    w[1] = int_handle(col);
    return make_sequence(w, 2);
}

VORN_API void wrap_position(vorn_handle row, vorn_handle col)
{
    int16_t r = short_argument(row);
    int16_t c = short_argument(col);
    abscursor_(&r, &c);
}

VORN_API void wrap_text_color(vorn_handle color)
{
    int16_t c = short_argument(color);
    setfc_(&c);
}

VORN_API void wrap_bk_color(vorn_handle color)
{
    int16_t c = short_argument(color);
    setbc_(&c);
}

VORN_API void wrap_wrap(vorn_handle flag)
{
    int16_t on = short_argument(flag);
    wraptext_(&on);
}

VORN_API void wrap_cursor(vorn_handle height)
{
    int16_t v = short_argument(height);
    cursortype_(&v);
}

VORN_API void wrap_clear_screen(void) { clearscreen_(); }

VORN_API void wrap_clear_line(void) { cleartextline_(); }

}  // extern "C"
