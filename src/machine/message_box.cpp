// message_box.cpp -- the message box: a prompt on the controlling terminal
// that shows a title, a text and the buttons of a style, and answers with
// the identifier of the button chosen by a key.  The terminal's modes are
// put back as they were found.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <string>

#include "../core/core.h"
#include "machine.h"

using namespace vorn::core;

namespace vorn::machine {
namespace {

struct button {
    char key;  // the initial letter that chooses it
    const char *label;
    int32_t id;
};

constexpr button ok{'o', "OK", 1}, cancel{'c', "Cancel", 2}, abort_{'a', "Abort", 3}, retry{'r', "Retry", 4},
    ignore{'i', "Ignore", 5}, yes{'y', "Yes", 6}, no{'n', "No", 7};

// The buttons of each style (the low four bits of the style word).
struct button_row {
    int count;
    button buttons[3];
};
constexpr button_row rows[] = {
    {1, {ok}},      {2, {ok, cancel}},    {3, {abort_, retry, ignore}}, {3, {yes, no, cancel}},
    {2, {yes, no}}, {2, {retry, cancel}},
};

constexpr char escape = 0x1B;

const button_row &row_of(int32_t style)
{
    uint32_t kind = static_cast<uint32_t>(style) & 0xF;
    return rows[kind < std::size(rows) ? kind : 0];
}

// The button Enter chooses: the first, or the second or third when the style
// says so (0x100, 0x200).
const button &default_button(const button_row &row, int32_t style)
{
    int k = (style >> 8) & 0xF;
    return row.buttons[k < row.count ? k : 0];
}

// The button Escape chooses: Cancel where the row has one, OK when it is
// the only button; otherwise Escape chooses nothing (null).
const button *escape_button(const button_row &row)
{
    for (int k = 0; k < row.count; ++k)
        if (row.buttons[k].id == cancel.id)
            return &row.buttons[k];
    return row.count == 1 ? &row.buttons[0] : nullptr;
}

// The button a key read from the terminal (`n` bytes) chooses, or null.  A
// longer escape sequence (an arrow key, say) chooses nothing.
const button *chosen_by(const button_row &row, int32_t style, const char *keys, ssize_t n)
{
    if (keys[0] == '\r' || keys[0] == '\n')
        return &default_button(row, style);
    if (keys[0] == escape)
        return n == 1 ? escape_button(row) : nullptr;
    for (int k = 0; k < row.count; ++k)
        if (std::tolower(static_cast<unsigned char>(keys[0])) == row.buttons[k].key)
            return &row.buttons[k];
    return nullptr;
}

void write_text(int fd, const std::string &text)
{
    for (size_t done = 0; done < text.size();) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

// The box as the terminal shows it: the title, the text, then the buttons
// with their keys marked and the default named.
std::string box_text(const char *title, const char *text, const button_row &row, int32_t style)
{
    std::string s = std::string("\n== ") + title + " ==\n" + text + "\n";
    for (int k = 0; k < row.count; ++k)
        s += std::string("[") + row.buttons[k].label[0] + "]" + (row.buttons[k].label + 1) + "  ";
    return s + "(Enter: " + default_button(row, style).label + ") ";
}

// Reads keys until one chooses a button; 0 when the terminal gives no more.
int32_t wait_for_button(int fd, const button_row &row, int32_t style)
{
    char keys[16];
    for (;;) {
        ssize_t n = read(fd, keys, sizeof keys);
        if (n <= 0)
            return 0;
        if (const button *b = chosen_by(row, style, keys, n)) {
            write_text(fd, std::string(b->label) + "\n");
            return b->id;
        }
    }
}

// Shows the box on the terminal `fd` with key-at-a-time input, no echo, and
// puts the terminal's modes back afterwards.
int32_t ask(int fd, const char *title, const char *text, int32_t style)
{
    termios saved, keys;
    if (tcgetattr(fd, &saved) != 0)
        return 0;
    keys = saved;
    keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    keys.c_cc[VMIN] = 1;
    keys.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &keys);
    const button_row &row = row_of(style);
    write_text(fd, box_text(title, text, row, style));
    int32_t id = wait_for_button(fd, row, style);
    tcsetattr(fd, TCSANOW, &saved);
    return id;
}

}  // namespace
}  // namespace vorn::machine

using namespace vorn::machine;

// The identifier of the button pressed, 0 when the process has no
// controlling terminal.  The title's text is taken first, then the text's;
// both are borrowed.
extern "C" VORN_API int32_t wrap_message_box(vorn_handle text, vorn_handle title, int32_t style)
{
    const char *title_text = convert_string(title);
    const char *message = convert_string(text);
    int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    std::fflush(stdout);
    int32_t id = ask(fd, title_text, message, style);
    close(fd);
    return id;
}
