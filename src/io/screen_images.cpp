// screen_images.cpp -- copying rectangles of the text screen into objects and
// back: the primitives gettext_/puttext_ move cell records between the
// backend and a buffer; wrap_get_screen makes one string of cell pairs,
// wrap_save_text_image a sequence of row views into one hidden block, and
// wrap_display_text_image writes such rows back.
#include <algorithm>
#include <cstddef>
#include <vector>

#include "../core/core.h"
#include "io.h"

using namespace vorn::core;
using namespace vorn::io;

extern "C" {
VORN_API vorn_rect ReadRegion;
VORN_API vorn_coord BufferSize;
VORN_API vorn_coord BufferCoord;
}

namespace {

// No screen has this many cells: a larger rectangle is refused (read as
// empty, not written), so a stray coordinate cannot ask for gigabytes.
constexpr int64_t max_cells = int64_t{1} << 24;

// A rectangle in 1-based screen coordinates, its size counted in 32 bits.
struct area {
    int16_t left, top, right, bottom;
    int32_t width() const { return right - left + 1; }
    int32_t height() const { return bottom - top + 1; }
    bool usable() const { return width() > 0 && height() > 0 && int64_t{width()} * height() <= max_cells; }
};

// Sets the scratch globals for a transfer and gives the console rectangle.
screen_rect transfer_region(int16_t left, int16_t top, int16_t right, int16_t bottom)
{
    ReadRegion = {static_cast<int16_t>(left - 1), static_cast<int16_t>(top - 1),
                  static_cast<int16_t>(right - 1), static_cast<int16_t>(bottom - 1)};
    BufferSize = {static_cast<int16_t>(right - left + 1), static_cast<int16_t>(bottom - top + 1)};
    BufferCoord = {0, 0};
    return {ReadRegion.left, ReadRegion.top, ReadRegion.right, ReadRegion.bottom};
}

bool console_present() { return &console() != &no_console(); }

// Element k (1-based) of x as a number, borrowed: a byte or an integer as
// it is, a double truncated; a sequence element, a missing element or an
// atom x gives 0.
int32_t number_at(handle x, int32_t k)
{
    if (!is_sequence(x) || k > count_of(rec(x)))
        return 0;
    handle e = element_at(rec(x), k);
    if (is_integer(e))
        return int_value(e);
    return is_double(e) ? truncate_to_bits(dbl_value(e)) : 0;
}

int16_t coordinate(handle x, int32_t k) { return static_cast<int16_t>(number_at(x, k)); }

// A new bytesequence of the rectangle's cell pairs, row after row; empty
// when the rectangle is unusable.  The records are read into its storage
// and compacted in place to their low bytes (character, attribute).
handle read_pairs(area a)
{
    size_t cells = a.usable() ? static_cast<size_t>(a.width()) * static_cast<size_t>(a.height()) : 0;
    unsigned char *b = alloc_bytes(cells * sizeof(vorn_cell_record));
    if (cells > 0)
        gettext_(&a.left, &a.top, &a.right, &a.bottom, reinterpret_cast<vorn_cell_record *>(b));
    for (size_t i = 0; i < cells; ++i) {
        b[2 * i] = b[4 * i];          // the character field's low byte
        b[2 * i + 1] = b[4 * i + 2];  // the attribute field's low byte
    }
    auto *pairs = static_cast<unsigned char *>(std::realloc(b, 2 * cells + 1));
    pairs[2 * cells] = 0;
    return make_sequence(pairs, -static_cast<int32_t>(2 * cells));
}

// A new sequence of `rows` views of `row_bytes` bytes each over the storage
// of `block`, which each view holds as its base.
handle row_views_over(handle block, int32_t rows, int32_t row_bytes)
{
    handle *w = alloc_words(static_cast<size_t>(rows));
    for (int32_t r = 0; r < rows; ++r) {
        unsigned char *data = bytes(rec(block)) + static_cast<std::ptrdiff_t>(r) * row_bytes;
        handle view = make_sequence(data, -row_bytes);
        rec(view).base = block;
        rec(view).count = 1;
        w[r] = view;
    }
    rec(block).count = rows;
    return make_sequence(w, rows);
}

// Whether every row of the image is a sequence with 2 * width elements.
bool rows_complete(const record &image, int32_t width)
{
    for (int32_t r = 1; r <= count_of(image); ++r) {
        handle row = element_at(image, r);
        if (!is_sequence(row) || count_of(rec(row)) < 2 * width)
            return false;
    }
    return true;
}

// The image's rows as cell records.  Rows are read by their own storage
// form; cells a short row (or an atom in place of a row) does not give keep
// what the screen shows there.
void image_records(handle image, area a, vorn_cell_record *out)
{
    int32_t width = a.width();
    if (!rows_complete(rec(image), width))
        gettext_(&a.left, &a.top, &a.right, &a.bottom, out);
    for (int32_t r = 1; r <= a.height(); ++r) {
        handle row = element_at(rec(image), r);
        int32_t given = is_sequence(row) ? std::min(count_of(rec(row)) / 2, width) : 0;
        vorn_cell_record *line = out + static_cast<std::ptrdiff_t>(r - 1) * width;
        for (int32_t c = 0; c < given; ++c)
            line[c] = {static_cast<uint16_t>(number_at(row, 2 * c + 1) & 0xFF),
                       static_cast<uint16_t>(number_at(row, 2 * c + 2) & 0xFF)};
    }
}

// The cells a transfer of the rectangle moves (none for an empty one), with
// bSucces recording whether a console takes part.
std::vector<cell> transfer_cells(int16_t left, int16_t top, int16_t right, int16_t bottom)
{
    int32_t w = right - left + 1, h = bottom - top + 1;
    bSucces = console_present() && w > 0 && h > 0 ? 1 : 0;
    if (w <= 0 || h <= 0)
        return {};
    return std::vector<cell>(static_cast<size_t>(w) * static_cast<size_t>(h));
}

}  // namespace

extern "C" {

VORN_API void gettext_(int16_t *left, int16_t *top, int16_t *right, int16_t *bottom, vorn_cell_record *buffer)
{
    std::vector<cell> cells = transfer_cells(*left, *top, *right, *bottom);
    if (cells.empty())
        return;
    console().read_cells(transfer_region(*left, *top, *right, *bottom), cells.data());
    for (size_t i = 0; i < cells.size(); ++i)
        buffer[i] = {cells[i].ch, cells[i].attr};
}

VORN_API void puttext_(int16_t *left, int16_t *top, int16_t *right, int16_t *bottom, vorn_cell_record *buffer)
{
    std::vector<cell> cells = transfer_cells(*left, *top, *right, *bottom);
    if (cells.empty())
        return;
    for (size_t i = 0; i < cells.size(); ++i)
        cells[i] = {static_cast<uint8_t>(buffer[i].ch), static_cast<uint8_t>(buffer[i].attribute)};
    console_batch batch;
    console().write_cells(transfer_region(*left, *top, *right, *bottom), cells.data());
}

// Releases rect.
VORN_API vorn_handle wrap_get_screen(vorn_handle rect)
{
    area a = {coordinate(rect, 1), coordinate(rect, 2), coordinate(rect, 3), coordinate(rect, 4)};
    handle result = read_pairs(a);
    release(rect);
    return result;
}

// Releases both arguments.
VORN_API vorn_handle wrap_save_text_image(vorn_handle top_left, vorn_handle bottom_right)
{
    if (!is_sequence(top_left) || !is_sequence(bottom_right))
        runtime_error("parameter (save_text) should be sequence's\n");
    area a = {coordinate(top_left, 2), coordinate(top_left, 1), coordinate(bottom_right, 2),
              coordinate(bottom_right, 1)};
    int32_t rows = a.usable() ? a.height() : 0;
    handle block = read_pairs(a);
    handle image = row_views_over(block, rows, 2 * (a.usable() ? a.width() : 0));
    if (rows == 0)
        release(block);
    release_pair(top_left, bottom_right);
    return image;
}

// Releases both arguments.
VORN_API void wrap_display_text_image(vorn_handle position, vorn_handle image)
{
    if (!is_sequence(position) || !is_sequence(image))
        runtime_error("parameter should be sequence's\n");
    const record &img = rec(image);
    if (count_of(img) == 0 || is_bytes(img) || !is_sequence(element_at(img, 1)))
        runtime_error("2e parameter should be sequemce of sequence\n");
    int16_t row = coordinate(position, 1), col = coordinate(position, 2);
    int32_t width = count_of(rec(element_at(img, 1))) / 2, height = count_of(img);
    area a = {col, row, static_cast<int16_t>(col + width - 1), static_cast<int16_t>(row + height - 1)};
    if (a.usable() && a.width() == width && a.height() == height) {
        std::vector<vorn_cell_record> records(static_cast<size_t>(width) * static_cast<size_t>(height));
        image_records(image, a, records.data());
        puttext_(&a.left, &a.top, &a.right, &a.bottom, records.data());
    }
    release_pair(position, image);
}

}  // extern "C"
