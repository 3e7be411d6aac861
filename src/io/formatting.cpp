// formatting.cpp -- formatted output: `wrap_sprintf` makes a string from a
// format and an argument object, `wrap_printf` writes that string to a file
// number, and `fmtform` is the letter test that decides how each piece of a
// format takes its value.
//
// The format is cut at its percent signs; a piece is one directive and the
// literal text after it.  No piece ever reaches the C library as a format of
// its own: the directive is parsed here, checked, rebuilt from what was
// understood and handed to snprintf with exactly one value of the C type the
// rebuilt directive reads.  So a format a program builds (an asterisk, %n, a
// length modifier, a positional argument) can never reach anything but the
// one value passed; a directive that cannot be rebuilt is written as text.
#include <cstdio>

#include "../core/core.h"
#include "io.h"

using namespace vorn::core;

namespace {

// ---- the output buffer --------------------------------------------------------

// The text made so far: `used` bytes, always followed by a zero byte.  It
// grows as needed and becomes the storage of the result, so nothing written
// is ever cut off and nothing is copied at the end.
struct output {
    char *data;
    size_t used;
    size_t capacity;  // bytes of `data`, the terminating zero's included
};

output new_output(size_t capacity)
{
    output o{static_cast<char *>(std::malloc(capacity)), 0, capacity};
    o.data[0] = 0;
    return o;
}

// Room for `more` bytes after the text, and the zero after them.
void reserve(output &o, size_t more)
{
    size_t need = o.used + more + 1;
    if (need <= o.capacity)
        return;
    size_t grown = o.capacity * 2 > need ? o.capacity * 2 : need;
    o.data = static_cast<char *>(std::realloc(o.data, grown));
    o.capacity = grown;
}

void append(output &o, const char *text, size_t n)
{
    reserve(o, n);
    std::memcpy(o.data + o.used, text, n);
    o.used += n;
    o.data[o.used] = 0;
}

// Formats one value with a directive rebuilt by this file; the buffer grows
// to whatever the directive produces and the format is run again.
template <class T> void append_formatted(output &o, const char *directive, T value)
{
    reserve(o, 32);
    size_t room = o.capacity - o.used;
    int n = std::snprintf(o.data + o.used, room, directive, value);
    if (n < 0) {  // nothing representable: the piece adds nothing
        o.data[o.used] = 0;
        return;
    }
    if (static_cast<size_t>(n) >= room) {
        reserve(o, static_cast<size_t>(n));
        std::snprintf(o.data + o.used, static_cast<size_t>(n) + 1, directive, value);
    }
    o.used += static_cast<size_t>(n);
}

// The result: a new bytesequence of the text up to its first zero byte,
// owning the buffer.
handle finish(output &o)
{
    const void *zero = std::memchr(o.data, 0, o.used);
    size_t n = zero ? static_cast<size_t>(static_cast<const char *>(zero) - o.data) : o.used;
    return make_sequence(o.data, -static_cast<int32_t>(n));
}

// ---- the letter test ------------------------------------------------------------

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The first `letter` among the n bytes at `text`, when the byte before it
// (inside the text) is a decimal digit or a percent sign; else null.
char *letter_in(char *text, size_t n, char letter)
{
    char *p = static_cast<char *>(std::memchr(text, letter, n));
    if (p == nullptr || p == text)
        return nullptr;
    return is_digit(p[-1]) || p[-1] == '%' ? p : nullptr;
}

// A letter of a piece changed for one formatting call and put back after it.
struct letter_swap {
    char *at = nullptr;
    char was = 0;
    void make(char *p, char now)
    {
        at = p;
        was = *p;
        *p = now;
    }
    ~letter_swap()
    {
        if (at)
            *at = was;
    }
};

// ---- directives ------------------------------------------------------------------

// The value a piece is given, in the form the rules chose.
struct value {
    enum { integer, real, text } kind;
    int32_t i = 0;
    double d = 0;
    const char *s = nullptr;
};

value int_value_of(int32_t i) { return {value::integer, i, 0, nullptr}; }
value real_value_of(double d) { return {value::real, 0, d, nullptr}; }
value text_value_of(const char *s) { return {value::text, 0, 0, s}; }

// Width and precision above this are not rebuilt: with them the text of one
// directive could pass what snprintf can count.
constexpr long field_limit = 1L << 30;

// A directive as understood.  `ok` is false for anything that is not rebuilt:
// an asterisk, a positional argument, a number above the field limit, a
// missing or unknown conversion letter.
struct directive {
    char flags[8] = {};          // each of "-+ #0'" at most once, in order
    long width = -1;             // -1: not written
    long precision = -1;         // -1: not written
    int shorts = 0;              // 1 for h, 2 for hh
    char conversion = 0;
    size_t tail = 0;             // where the literal text after it begins
    bool ok = false;
};

// Reads the digits at piece[k...]: their number, capped just above the limit.
long read_number(const char *piece, size_t n, size_t &k)
{
    long v = 0;
    while (k < n && is_digit(piece[k])) {
        if (v <= field_limit)
            v = v * 10 + (piece[k] - '0');
        ++k;
    }
    return v;
}

// True when c is one of the letters of `set` (a short constant).
template <size_t n> bool one_of(const char (&set)[n], char c)
{
    for (size_t k = 0; k + 1 < n; ++k)
        if (set[k] == c)
            return true;
    return false;
}

// Parses the directive at the start of a piece (piece[0] is its percent sign).
directive parse_directive(const char *piece, size_t n)
{
    directive d;
    size_t k = 1, f = 0;
    while (k < n && one_of("-+ #0'", piece[k])) {
        if (std::strchr(d.flags, piece[k]) == nullptr)
            d.flags[f++] = piece[k];
        ++k;
    }
    if (k < n && piece[k] == '*')
        return d;
    if (k < n && is_digit(piece[k]))
        d.width = read_number(piece, n, k);
    if (k < n && piece[k] == '$')
        return d;
    if (k < n && piece[k] == '.') {
        ++k;
        if (k < n && piece[k] == '*')
            return d;
        d.precision = read_number(piece, n, k);
    }
    int hs = 0, others = 0;
    for (; k < n && one_of("hlLqjzZt", piece[k]); ++k)
        piece[k] == 'h' ? ++hs : ++others;
    d.shorts = others == 0 && hs <= 2 ? hs : 0;
    if (k >= n || d.width > field_limit || d.precision > field_limit)
        return d;
    d.conversion = piece[k];
    d.tail = k + 1;
    d.ok = one_of("diouxXcfFeEgGaAs", d.conversion);
    return d;
}

bool integer_conversion(char c) { return one_of("diouxXc", c); }
bool real_conversion(char c) { return one_of("fFeEgGaA", c); }

// The flags the C library defines for a conversion; the others are dropped.
bool flag_fits(char flag, char conversion)
{
    switch (flag) {
    case '#':
        return one_of("oxXfFeEgGaA", conversion);
    case '0':
        return one_of("diouxXfFeEgGaA", conversion);
    case '\'':
        return one_of("diufFgG", conversion);
    case '+':
    case ' ':
        return one_of("difFeEgGaA", conversion);
    default:  // '-'
        return true;
    }
}

// Writes the decimal digits of v (at most 11 of them) at p; returns the end.
char *put_number(char *p, long v)
{
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v > 0);
    while (n > 0)
        *p++ = digits[--n];
    return p;
}

// The directive rebuilt for `conversion` from what was parsed.
void rebuild(const directive &d, char conversion, char *out)
{
    *out++ = '%';
    for (const char *f = d.flags; *f; ++f)
        if (flag_fits(*f, conversion))
            *out++ = *f;
    if (d.width >= 0)
        out = put_number(out, d.width);
    if (d.precision >= 0 && conversion != 'c') {
        *out++ = '.';
        out = put_number(out, d.precision);
    }
    if (conversion != 'c' && integer_conversion(conversion))
        for (int h = 0; h < d.shorts; ++h)
            *out++ = 'h';
    *out++ = conversion;
    *out = 0;
}

// A directive with nothing between its percent sign and its letter.
bool plain(const directive &d) { return d.flags[0] == 0 && d.width < 0 && d.precision < 0 && d.shorts == 0; }

// The decimal text of i, as "%d" writes it.
void append_decimal(output &o, int32_t i)
{
    char text[12];
    char *end = text + sizeof text, *p = end;
    uint32_t u = i < 0 ? 0u - static_cast<uint32_t>(i) : static_cast<uint32_t>(i);
    do {
        *--p = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0);
    if (i < 0)
        *--p = '-';
    append(o, p, static_cast<size_t>(end - p));
}

// A double as an integer for a directive that reads one.
int32_t whole_part(double d) { return truncate_to_bits(d); }

// Writes a piece (n bytes at `piece`, a percent sign first) given one value.
// A value the directive does not read is brought to a form it does: a text
// is written as by %s, a number given to %s as the character of its low
// byte, a double given to an integer directive truncated, an integer given to
// a floating directive converted.
void format_piece(output &o, const char *piece, size_t n, value v)
{
    reserve(o, n + 20);
    directive d = parse_directive(piece, n);
    if (!d.ok) {
        append(o, piece, n);
        return;
    }
    char conversion = d.conversion;
    if (v.kind == value::text)
        conversion = 's';
    else if (conversion == 's')
        conversion = 'c';
    if (plain(d)) {
        // The common bare %d and %s need no C library call.
        if (conversion == 's') {
            append(o, v.s, std::strlen(v.s));
            append(o, piece + d.tail, n - d.tail);
            return;
        }
        if ((conversion == 'd' || conversion == 'i') && v.kind == value::integer) {
            append_decimal(o, v.i);
            append(o, piece + d.tail, n - d.tail);
            return;
        }
    }
    char rebuilt[64];
    rebuild(d, conversion, rebuilt);
    if (conversion == 's') {
        size_t len = std::strlen(v.s), width = d.width > 0 ? static_cast<size_t>(d.width) : 0;
        reserve(o, len > width ? len : width);
        append_formatted(o, rebuilt, v.s);
    } else if (real_conversion(conversion)) {
        append_formatted(o, rebuilt, v.kind == value::real ? v.d : static_cast<double>(v.i));
    } else {
        int32_t i = v.kind == value::real ? whole_part(v.d) : v.i;
        append_formatted(o, rebuilt, conversion == 'c' ? (i & 0xFF) : i);
    }
    append(o, piece + d.tail, n - d.tail);
}

// ---- the format arguments ------------------------------------------------------------

// The arguments of one call: the elements of a sequence (the bytes of a
// bytesequence: byte mode), or the one atom.
struct arguments {
    handle object;
    int32_t count;
    int32_t next = 0;  // 0-based position of the current argument
    bool byte_mode;

    bool remain() const { return next < count; }
    handle current() const
    {
        return is_sequence(object) ? element_at(rec(object), next + 1) : object;
    }
};

arguments arguments_of(handle x)
{
    if (!is_sequence(x))
        return {x, 1, 0, false};
    const record &r = rec(x);
    return {x, count_of(r), 0, is_bytes(r)};
}

// ---- one directive piece -----------------------------------------------------------

// A piece given the current byte of a bytesequence argument: %s takes the
// whole string and keeps the byte current; any other directive takes the
// byte, signed for %d (after g or f became d), unsigned otherwise.
void piece_in_byte_mode(output &o, char *piece, size_t n, arguments &args)
{
    if (letter_in(piece, n, 's')) {
        format_piece(o, piece, n, text_value_of(convert_string(args.object)));
        return;
    }
    letter_swap swap;
    if (char *g = letter_in(piece, n, 'g'))
        swap.make(g, 'd');
    else if (char *f = letter_in(piece, n, 'f'))
        swap.make(f, 'd');
    int32_t byte = static_cast<int32_t>(args.current());
    if (letter_in(piece, n, 'd'))
        byte = static_cast<signed char>(byte);
    format_piece(o, piece, n, int_value_of(byte));
    ++args.next;
}

// A piece given a sequence: its text for %s (an empty text writes nothing,
// the literal text included), zero when it is empty, otherwise a warning and
// a zero byte that ends the result here.
void piece_with_sequence(output &o, char *piece, size_t n, handle x)
{
    if (letter_in(piece, n, 's')) {
        const char *text = convert_string(x);
        if (text[0] != 0)
            format_piece(o, piece, n, text_value_of(text));
        return;
    }
    if (count_of(rec(x)) == 0) {
        format_piece(o, piece, n, int_value_of(0));
        return;
    }
    std::printf("Warning FORMAT on sequence without s but %.*s\n", static_cast<int>(n), piece);
    append(o, "", 1);
}

// A piece given an atom: an integer goes as a double to f and g, as its low
// byte's character to s (the s becomes c), else as an int; a double turns a
// d into g and goes as it is.
void piece_with_atom(output &o, char *piece, size_t n, handle x)
{
    letter_swap swap;
    if (is_double(x)) {
        if (char *d = letter_in(piece, n, 'd'))
            swap.make(d, 'g');
        format_piece(o, piece, n, real_value_of(dbl_value(x)));
        return;
    }
    int32_t i = int_value(x);
    if (letter_in(piece, n, 'f') || letter_in(piece, n, 'g')) {
        format_piece(o, piece, n, real_value_of(static_cast<double>(i)));
    } else if (char *s = letter_in(piece, n, 's')) {
        swap.make(s, 'c');
        format_piece(o, piece, n, int_value_of(i & 0xFF));
    } else {
        format_piece(o, piece, n, int_value_of(i));
    }
}

void directive_piece(output &o, char *piece, size_t n, arguments &args)
{
    if (args.byte_mode) {
        piece_in_byte_mode(o, piece, n, args);
        return;
    }
    handle x = args.current();
    if (is_sequence(x))
        piece_with_sequence(o, piece, n, x);
    else
        piece_with_atom(o, piece, n, x);
    ++args.next;
}

// ---- the whole format -------------------------------------------------------------

// A private, writable copy of the format text; letters are swapped in it for
// one piece at a time.  Kept between calls (one thread, no call nests).
char *format_copy(const char *text, size_t n)
{
    static char *copy = nullptr;
    static size_t size = 0;
    if (size < n + 1) {
        std::free(copy);
        size = n + 1 > 256 ? n + 1 : 256;
        copy = static_cast<char *>(std::malloc(size));
    }
    std::memcpy(copy, text, n + 1);
    return copy;
}

// Cuts the text at its percent signs as strtok with "%" does and writes the
// leading text, the literal pieces (after two or more percent signs) and the
// directive pieces, stopping at the first directive piece without argument.
void format_text(output &o, char *text, arguments &args)
{
    size_t pos = std::strcspn(text, "%");
    append(o, text, pos);
    bool first = pos == 0;  // a leading run of any length is one percent sign
    for (;;) {
        size_t run = 0;
        while (text[pos] == '%') {
            ++run;
            ++pos;
        }
        if (text[pos] == 0)
            return;
        size_t start = pos;
        pos += std::strcspn(text + pos, "%");
        char *piece = text + start - 1;
        size_t n = pos - start + 1;
        if (run >= 2 && !first) {
            append(o, "%", 1);
            append(o, piece, n);
        } else if (!args.remain()) {
            return;
        } else {
            directive_piece(o, piece, n, args);
        }
        first = false;
    }
}

}  // namespace

extern "C" {

VORN_API char *fmtform(const char *text, int letter)
{
    char *t = const_cast<char *>(text);
    return letter_in(t, std::strlen(t), static_cast<char>(letter));
}

VORN_API vorn_handle wrap_sprintf(vorn_handle format, vorn_handle args)
{
    const char *source = convert_string(format);
    size_t n = std::strlen(source);
    char *text = format_copy(source, n);
    output o = new_output(n + 21);
    arguments a = arguments_of(args);
    format_text(o, text, a);
    release_pair(format, args);
    return finish(o);
}

// The file number is looked up before anything is formatted or released.
VORN_API void wrap_printf(int32_t fn, vorn_handle format, vorn_handle args)
{
    vorn::io::channel c = vorn::io::open_channel(fn, "printf");
    handle text = wrap_sprintf(format, args);
    const char *s = static_cast<const char *>(rec(text).data);
    if (c.stream != nullptr) {
        std::fputs(s, c.stream);
        if (c.stream == stdout)
            std::fflush(stdout);
    } else {
        netwerk_puts(c.socket, s);
    }
    release(text);
}

}  // extern "C"
