// console_fallback.cpp -- placeholder console while the console files are
// being written: no console at all.  Every definition is weak and gives way
// to the real one.
#include "io.h"

namespace vorn::io {
namespace {
screen_state no_state() { return {80, 25, 0, 0, 7}; }
void no_cursor(int16_t, int16_t) {}
void no_shape(int, bool) {}
void no_attribute(uint16_t) {}
void no_fill(int16_t, int16_t, int32_t, cell) {}
void no_read(screen_rect, cell *) {}
void no_write(screen_rect, const cell *) {}
uint32_t no_mode() { return 0; }
void no_set_mode(uint32_t) {}
int32_t no_pending() { return 0; }
bool no_input(input_record *) { return false; }
void no_flush() {}
void no_wait(int) {}
const console_backend none = {no_state, no_cursor,  no_shape,   no_attribute, no_fill,    no_read,  no_write, no_mode,
                              no_set_mode, no_mode, no_set_mode, no_pending,  no_input, no_flush, no_wait};
}  // namespace

__attribute__((weak)) const console_backend &console() { return none; }
__attribute__((weak)) void use_model_console(int16_t, int16_t) {}
__attribute__((weak)) void queue_input(const input_record &) {}
__attribute__((weak)) void console_hand_over() {}
__attribute__((weak)) void console_restore() {}
__attribute__((weak)) void console_init() {}
__attribute__((weak)) int32_t wait_key() { return 13; }
__attribute__((weak)) void allow_break(int32_t) {}
__attribute__((weak)) int32_t take_breakcount() { return 0; }
}  // namespace vorn::io
