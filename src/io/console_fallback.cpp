// console_fallback.cpp -- placeholders while the console files are being
// written.  Every definition is weak and gives way to the real one.
#include "io.h"

namespace vorn::io {
__attribute__((weak)) void screen_model::put_text(const char *, size_t) {}
__attribute__((weak)) void console_hand_over() {}
__attribute__((weak)) void console_restore() {}
__attribute__((weak)) void console_init() {}
}  // namespace vorn::io

// The console's input mode word and gateway flag, until console.cpp
// defines them (exported there; these stay hidden).
extern "C" {
__attribute__((weak)) uint32_t dwInputMode = 0;
__attribute__((weak)) char *CGI_flag = nullptr;
}
