// console_fallback.cpp -- placeholders while the console files are being
// written.  Every definition is weak and gives way to the real one.
#include "io.h"

namespace vorn::io {
__attribute__((weak)) int32_t wait_key() { return 13; }
__attribute__((weak)) void allow_break(int32_t) {}
__attribute__((weak)) int32_t take_breakcount() { return 0; }
__attribute__((weak)) uint32_t terminal_input_mode() { return 0; }
__attribute__((weak)) void terminal_set_input_mode(uint32_t) {}
__attribute__((weak)) int32_t terminal_pending_input() { return 0; }
__attribute__((weak)) bool terminal_read_input(input_record *) { return false; }
__attribute__((weak)) void terminal_flush_input() {}
__attribute__((weak)) void terminal_wait_input(int) {}
__attribute__((weak)) void terminal_restore_input() {}
}  // namespace vorn::io
