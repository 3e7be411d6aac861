// model_console.cpp -- the screen model every backend with a screen keeps,
// the model backend (that model alone, with an input queue tests fill), the
// no-console backend, and which of the backends is in use.
#include <algorithm>
#include <cstddef>
#include <deque>

#include "io.h"

namespace vorn::io {

namespace {

constexpr cell blank = {' ', 7};

// ---- the model backend ----------------------------------------------------

screen_model the_model;
std::deque<input_record> queued;

screen_state model_state() { return {the_model.width, the_model.height, the_model.x, the_model.y, the_model.attr}; }

void model_set_cursor(int16_t x, int16_t y)
{
    // The console refuses a position outside the screen and leaves the cursor.
    if (x < 0 || y < 0 || x >= the_model.width || y >= the_model.height)
        return;
    the_model.x = x;
    the_model.y = y;
    the_model.wrap_pending = false;
}

void model_set_shape(int height, bool visible)
{
    the_model.cursor_height = height;
    the_model.cursor_visible = visible;
}

void model_set_attribute(uint16_t attr) { the_model.attr = attr; }
void model_fill(int16_t x, int16_t y, int32_t count, cell c) { the_model.fill(x, y, count, c); }
void model_read(screen_rect r, cell *out) { the_model.read(r, out); }
void model_write(screen_rect r, const cell *in) { the_model.write(r, in); }
uint32_t model_output_mode() { return the_model.output_mode; }
void model_set_output_mode(uint32_t m) { the_model.output_mode = m; }
uint32_t model_input_mode() { return the_model.input_mode; }
void model_set_input_mode(uint32_t m) { the_model.input_mode = m; }
int32_t model_pending() { return static_cast<int32_t>(queued.size()); }

bool model_read_input(input_record *out)
{
    if (queued.empty())
        return false;
    *out = queued.front();
    queued.pop_front();
    return true;
}

void model_flush() { queued.clear(); }
void model_wait(int) {}

const console_backend model_backend = {
    model_state,     model_set_cursor,      model_set_shape,  model_set_attribute,   model_fill,
    model_read,      model_write,           model_output_mode, model_set_output_mode, model_input_mode,
    model_set_input_mode, model_pending,    model_read_input, model_flush,           model_wait};

// ---- no console ------------------------------------------------------------

screen_state none_state() { return {80, 25, 0, 0, 7}; }
void none_cursor(int16_t, int16_t) {}
void none_shape(int, bool) {}
void none_attribute(uint16_t) {}
void none_fill(int16_t, int16_t, int32_t, cell) {}
void none_read(screen_rect r, cell *out)
{
    std::fill_n(out, (r.right - r.left + 1) * (r.bottom - r.top + 1), cell{' ', 0});
}
void none_write(screen_rect, const cell *) {}
uint32_t none_mode() { return 0; }
void none_set_mode(uint32_t) {}
int32_t none_pending() { return 0; }
bool none_input(input_record *) { return false; }
void none_flush() {}
void none_wait(int) {}

const console_backend none_backend = {none_state,    none_cursor, none_shape,  none_attribute, none_fill,
                                      none_read,     none_write,  none_mode,   none_set_mode,  none_mode,
                                      none_set_mode, none_pending, none_input, none_flush,     none_wait};

const console_backend *active = &none_backend;

// The cell index of (x, y); the caller has clipped.
size_t at(const screen_model &m, int x, int y) { return static_cast<size_t>(y) * m.width + x; }

}  // namespace

// ---- the screen model ------------------------------------------------------

void screen_model::resize(int16_t w, int16_t h)
{
    std::vector<cell> grown(static_cast<size_t>(w) * h, blank);
    for (int row = 0; row < std::min(h, height); ++row)
        for (int col = 0; col < std::min(w, width); ++col)
            grown[static_cast<size_t>(row) * w + col] = cells[at(*this, col, row)];
    cells.swap(grown);
    width = w;
    height = h;
    x = std::min<int16_t>(x, static_cast<int16_t>(w - 1));
    y = std::min<int16_t>(y, static_cast<int16_t>(h - 1));
    wrap_pending = false;
}

void screen_model::fill(int16_t fx, int16_t fy, int32_t count, cell c)
{
    if (fx < 0 || fy < 0 || fx >= width || fy >= height || count <= 0)
        return;
    size_t from = at(*this, fx, fy);
    size_t n = std::min(static_cast<size_t>(count), cells.size() - from);
    std::fill_n(cells.begin() + static_cast<std::ptrdiff_t>(from), n, c);
}

void screen_model::read(screen_rect r, cell *out) const
{
    for (int row = r.top; row <= r.bottom; ++row)
        for (int col = r.left; col <= r.right; ++col) {
            bool inside = row >= 0 && row < height && col >= 0 && col < width;
            *out++ = inside ? cells[at(*this, col, row)] : cell{' ', 0};
        }
}

void screen_model::write(screen_rect r, const cell *in)
{
    for (int row = r.top; row <= r.bottom; ++row)
        for (int col = r.left; col <= r.right; ++col, ++in)
            if (row >= 0 && row < height && col >= 0 && col < width)
                cells[at(*this, col, row)] = *in;
}

// ---- which backend ---------------------------------------------------------

const console_backend &console() { return *active; }
void use_console(const console_backend &b) { active = &b; }
const console_backend &no_console() { return none_backend; }
screen_model &model() { return the_model; }
void queue_input(const input_record &r) { queued.push_back(r); }

void use_model_console(int16_t width, int16_t height)
{
    the_model = screen_model{};
    the_model.resize(width, height);
    queued.clear();
    active = &model_backend;
}

}  // namespace vorn::io
