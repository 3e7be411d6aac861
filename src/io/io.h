// io.h -- the input/output folder's internal interface: how a file number
// leads to the stream or socket behind it.  Every routine that reads or
// writes through a file number looks its slot up here, so a bad number or a
// closed slot is reported the same way everywhere.
#pragma once
#ifndef VORN_BUILDING
#error "io.h belongs to the library's own build; include <vorn.h> instead"
#endif

#include <cstdint>
#include <cstdio>
#include <vector>

#include "vorn.h"

namespace vorn::io {

constexpr int32_t first_file = 3;     // 0-2: the standard streams
constexpr int32_t last_stream = 20;   // 3-20: files opened by the program
constexpr int32_t first_socket = 21;  // 21-30: network connections
constexpr int32_t last_socket = 30;

// What an open slot holds: a stream (numbers 0..20; `socket` is -1) or a
// socket value (21..30; `stream` is null).  Borrowed from the table: the
// slot keeps it until wrap_close.
struct channel {
    FILE *stream;
    int socket;
};

// The open slot of fn.  A number outside 0..30 or an empty slot ends the
// program through runtime_error, naming `operation`.
//
// Output routines write through it:
//   channel c = open_channel(fn, "puts");
//   if (c.stream != nullptr) fwrite(text, 1, n, c.stream);   // unbuffered
//   else netwerk_write(c.socket, text, n);                 // whole buffer
channel open_channel(int32_t fn, const char *operation);

// The open stream of fn, for routines that have no meaning on a socket
// (position, seek); a socket number is a run-time error like an empty slot.
FILE *open_stream(int32_t fn, const char *operation);

// Ends the program through runtime_error when fn lies outside 0..30.
void check_file_number(int32_t fn, const char *operation);

}  // namespace vorn::io

// ---- the console ---------------------------------------------------------
//
// The console logic (cursor, colours, clearing, screen images, keys, mouse,
// break) speaks only to the backend below, which stands for the console
// operations the library relies on.  Three backends exist: none (no terminal
// on standard output, or a web gateway program: every operation does
// nothing, input reports no key), the terminal (escape sequences out,
// termios modes, a screen model kept beside the real screen, key sequences
// decoded into input records) and the model (the screen model alone, with
// an input queue that tests fill).  Positions here are 0-based; the logic
// converts from the program's 1-based ones.

namespace vorn::io {

// One screen cell: its character byte and its attribute (low four bits the
// foreground colour, next four the background).
struct cell {
    uint8_t ch;
    uint8_t attr;
};

// What the screen-buffer information gives: size, cursor and attribute.
struct screen_state {
    int16_t width, height;  // the screen in cells
    int16_t x, y;           // the cursor, 0-based column and row
    uint16_t attr;          // the attribute text is written in
};

// A 0-based inclusive rectangle of the screen.
struct screen_rect {
    int16_t left, top, right, bottom;
};

// Control-key state bits of a key record, as the console reports them.
constexpr uint32_t right_alt_pressed = 0x01;
constexpr uint32_t left_alt_pressed = 0x02;
constexpr uint32_t right_ctrl_pressed = 0x04;
constexpr uint32_t left_ctrl_pressed = 0x08;
constexpr uint32_t shift_pressed = 0x10;

// Mode bits: output wrap at end of line; input processed (Ctrl+C is a
// signal), line input, echo, mouse input.
constexpr uint32_t mode_wrap_at_eol = 2;
constexpr uint32_t mode_processed_input = 1;
constexpr uint32_t mode_line_input = 2;
constexpr uint32_t mode_echo_input = 4;
constexpr uint32_t mode_mouse_input = 16;

// Mouse record flags: the event reports movement; the wheel turned.
constexpr uint32_t mouse_moved = 1;
constexpr uint32_t mouse_wheeled = 4;

// One console input record: a key going down or up, or a mouse event
// (0-based cell, button bits 1 left, 2 right, 4 middle), or something else
// (focus, resize) that the logic ignores.
enum class input_kind : uint8_t { key, mouse, other };
struct input_record {
    input_kind kind;
    bool key_down;
    uint16_t virtual_key;  // 0x10 Shift, 0x11 Ctrl, 0x12 Alt, 0x14 Caps Lock, 0x90, 0x91 locks
    uint16_t scan_code;    // PC set 1
    uint8_t ch;            // the key's 8-bit character, 0 for none
    uint32_t control;      // control-key state bits above
    int16_t mouse_x, mouse_y;
    uint32_t buttons;
    uint32_t mouse_flags;
};

// The operations every backend provides.  None reports failure: a backend
// that cannot do something does nothing, as a missing console does.
struct console_backend {
    screen_state (*state)();
    void (*set_cursor)(int16_t x, int16_t y);
    void (*set_cursor_shape)(int height, bool visible);
    void (*set_attribute)(uint16_t attr);
    // count cells from (x, y) in reading order, continuing on later rows,
    // stopping at the end of the screen
    void (*fill)(int16_t x, int16_t y, int32_t count, cell c);
    // the rectangle, clipped to the screen; cells outside read as blanks in
    // attribute 0 and are not written
    void (*read_cells)(screen_rect r, cell *out);
    void (*write_cells)(screen_rect r, const cell *in);
    uint32_t (*output_mode)();
    void (*set_output_mode)(uint32_t mode);
    uint32_t (*input_mode)();
    void (*set_input_mode)(uint32_t mode);
    int32_t (*pending_input)();              // records waiting, 0 when none
    bool (*read_input)(input_record *out);   // one record, false when none
    void (*flush_input)();
    // blocks until input may be waiting or timeout_ms passes (-1: no limit)
    void (*wait_input)(int timeout_ms);
};

// The screen as the library last drew it: a cell per position, the cursor,
// the attribute, the cursor shape and the modes.  The model backend is this
// alone; the terminal backend keeps one beside the real screen, since a
// terminal cannot be read back.  Invariant: cells.size() == width * height,
// 0 <= x < width, 0 <= y < height.
struct screen_model {
    int16_t width = 0, height = 0;
    int16_t x = 0, y = 0;
    uint16_t attr = 7;
    int cursor_height = 25;
    bool cursor_visible = true;
    uint32_t output_mode = 1 | mode_wrap_at_eol;
    uint32_t input_mode = mode_processed_input | mode_line_input | mode_echo_input;
    std::vector<cell> cells;
    // The last column was just written with wrap on: the next character
    // starts a new line first (as terminals defer the wrap).  Moving the
    // cursor clears it.
    bool wrap_pending = false;

    void resize(int16_t w, int16_t h);  // keeps what still fits, blanks the rest
    void fill(int16_t fx, int16_t fy, int32_t count, cell c);
    void read(screen_rect r, cell *out) const;
    void write(screen_rect r, const cell *in);
    // Text written to standard output, at the cursor in the current
    // attribute: line breaks, wrap mode and scrolling as the terminal does.
    void put_text(const char *text, size_t n);
};

// The backend in use (the no-console one until init_conhdl picks another),
// and the switch between them.
const console_backend &console();
void use_console(const console_backend &b);
const console_backend &no_console();

// Tests: the model backend of the given size, blank, with an empty input
// queue, replaces whatever is in use; queue_input adds a record to its
// queue; model() is its screen.
void use_model_console(int16_t width, int16_t height);
void queue_input(const input_record &r);
screen_model &model();

// Before a child command runs the terminal goes back to the modes the
// program found it in (mouse reporting off, colours and cursor as the
// terminal had them); init_conhdl takes it back afterwards.
void console_hand_over();

// Gives the terminal back as it was found; safe to call more than once and
// from the exit path.
void console_restore();

// What init_conhdl does: reads the gateway flag, picks the backend, turns
// mouse input on outside gateway mode.
void console_init();

// One primitive, one write: while a batch is open the terminal backend
// gathers what its operations send, and the outermost batch sends it all at
// once when it closes.  The other backends send nothing.
void console_batch_begin();
void console_batch_end();
struct console_batch {
    console_batch() { console_batch_begin(); }
    ~console_batch() { console_batch_end(); }
    console_batch(const console_batch &) = delete;
    console_batch &operator=(const console_batch &) = delete;
};

// The terminal backend (terminal_screen.cpp).  terminal_attach makes it the
// backend in use, with standard output routed through the screen model;
// again after a hand-over it redraws the modes and colours the program had.
// terminal_detach flushes the program's text and gives the terminal its
// colours, cursor and wrap back (async-signal-tolerant: no allocation for
// the sequences); the no-console backend is in use afterwards.
// terminal_attach_fd is the same on any descriptor (benchmarks, tests).
void terminal_attach();
void terminal_attach_fd(int fd);
void terminal_detach();
bool terminal_attached();

// The first key code above 0, waiting without spinning (machine's wait-key
// service and wrap_wait_key).
int32_t wait_key();

// The terminal's input side: its modes (termios behind the console's mode
// bits) and its key and mouse sequences decoded into input records.  The
// terminal backend's input operations are these.
uint32_t terminal_input_mode();
void terminal_set_input_mode(uint32_t mode);
int32_t terminal_pending_input();
bool terminal_read_input(input_record *out);
void terminal_flush_input();
void terminal_wait_input(int timeout_ms);
// The terminal's modes as the program found them, mouse reporting off;
// async-signal-safe, so the break handler's exit path can use it.
void terminal_restore_input();
// Key polls leave the terminal in its key modes (no line input, no echo)
// until standard input is next read as lines: reading calls this first, so
// the terminal's modes then follow the console's mode bits again.
void terminal_settle_input();
// Whether standard input is a terminal that can still deliver keys.
bool terminal_has_keyboard();
// Makes a blocked terminal_wait_input return; async-signal-safe.
void terminal_wake_input();

// The terminal's key decoder: the bytes at the front of bytes[0..n) as one
// input record.  Returns the bytes taken, `made` telling whether they gave
// a record (unknown or broken sequences give none); 0 when they begin a
// sequence whose rest has not arrived.  With `complete` (no more bytes came
// within the escape wait) a beginning is resolved instead: a lone ESC is the
// Escape key.  The decoder remembers the mouse buttons held between reports
// and whether it is skipping the rest of an overlong sequence.
struct key_decoder {
    uint32_t buttons = 0;
    bool skipping = false;  // inside a sequence too long to be a key
};
size_t decode_input(key_decoder &d, const uint8_t *bytes, size_t n, bool complete, input_record &out,
                    bool &made);

// The break state: allow_break stores the low 16 bits in breakallowed;
// take_breakcount reads breakcount and sets it to 0 in one atomic exchange.
void allow_break(int32_t flag);
int32_t take_breakcount();

}  // namespace vorn::io
