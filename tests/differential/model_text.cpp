// model_text.cpp -- the reference model's text routines: the text of an
// object, reading a number out of text (`wrap_value`) and formatting
// (`wrap_sprintf`), the last through the platform's own printf.
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "model.h"
#include "model_internal.h"

namespace model {

std::string text_of(const Value &x)
{
    if (x.is_int())
        return std::to_string(x.i);
    if (x.is_dbl())
        return format("%g", x.d);
    if (x.size() == 0)
        return " ";
    std::string s;
    for (const Value &e : x.elems) {
        if (e.is_seq())
            throw Fatal{"sequence found inside character string"};
        if (e.is_dbl() && !(std::fabs(e.d) < 2147483648.0))
            throw Undefined{"a character from a double outside the 32-bit range"};
        int32_t c = e.is_int() ? e.i : static_cast<int32_t>(e.d);
        s += static_cast<char>(c & 0xFF);
    }
    return s;
}

namespace {

// The text as the platform sees it: up to its first zero byte.
std::string c_text(const std::string &s) { return std::string(s.c_str()); }

bool digit(char c) { return c >= '0' && c <= '9'; }

Value pair(int32_t status, const Value &value, Form form)
{
    return seq({integer(status), value}, form);
}

Value failure(Form form) { return pair(1, integer(0), form); }

Value number_after_hash(const std::string &t, size_t p)
{
    uint32_t v = 0;
    if (p < t.size() && (t[p] == 'o' || t[p] == 'O')) {
        for (++p; p < t.size() && digit(t[p]); ++p)
            v = v * 8 + uint32_t(t[p] - '0');
    } else {
        for (; p < t.size() && std::isxdigit(static_cast<unsigned char>(t[p])); ++p) {
            char c = t[p];
            uint32_t d = digit(c) ? uint32_t(c - '0') : uint32_t((c | 0x20) - 'a' + 10);
            v = v * 16 + d;
        }
    }
    if ((v & 0xC0000000u) == 0x80000000u)
        throw Undefined{"a # number outside the integer class"};
    return pair(0, integer(static_cast<int32_t>(v)), Form::unknown);
}

Value parse_number(std::string t)
{
    size_t n = t.size();
    while (n > 0 && static_cast<signed char>(t[n - 1]) <= 32)
        --n;
    if (n == 0)
        return failure(Form::unknown);
    t.resize(n);
    size_t start = 0;
    while (start < n && t[start] == ' ')
        ++start;
    if (start < n && t[start] == '#')
        return number_after_hash(t, start + 1);
    size_t p = start;
    bool fractional = false;
    if (p < n && (t[p] == '+' || t[p] == '-'))
        ++p;
    bool leading_point = p < n && t[p] == '.';
    if (leading_point) {
        fractional = true;
        ++p;
    }
    if (p >= n || !digit(t[p]))
        return failure(Form::unknown);
    while (p < n && digit(t[p]))
        ++p;
    if (!leading_point && p < n && t[p] == '.') {
        if (p == n - 1) {
            t.resize(--n);  // "12." reads as the integer 12
        } else {
            fractional = true;
            for (++p; p < n && digit(t[p]); ++p) {
            }
        }
    }
    if (p < n && (t[p] == 'e' || t[p] == 'E')) {
        fractional = true;
        ++p;
        if (p < n && (t[p] == '+' || t[p] == '-'))
            ++p;
        while (p < n && digit(t[p]))
            ++p;
    }
    if (p != n)
        return failure(Form::unknown);
    std::string number = t.substr(start);
    if (fractional)
        return pair(0, dbl(std::atof(number.c_str())), Form::words);
    errno = 0;
    long v = std::strtol(number.c_str(), nullptr, 10);
    if (errno == ERANGE || v > 2147483647L || v < -1073741824L)
        return failure(Form::unknown);
    return pair(0, integer(v), Form::unknown);
}

}  // namespace

Value wrap_value(const Value &x)
{
    if (x.is_atom()) {
        if (!x.is_byte())
            throw Undefined{"wrap_value of an atom that is not a character code"};
        if (digit(char(x.i)))
            return pair(0, integer(x.i - '0'), Form::bytes);
        return failure(Form::bytes);
    }
    return parse_number(c_text(text_of(x)));
}

// ---- wrap_sprintf ---------------------------------------------------------------

namespace {

// The letter test: the first occurrence of `letter` in the piece counts when
// a digit or the percent sign stands right before it.
size_t letter_in(const std::string &piece, char letter)
{
    size_t at = piece.find(letter, 1);
    if (at == std::string::npos)
        return std::string::npos;
    char before = piece[at - 1];
    return (digit(before) || before == '%') ? at : std::string::npos;
}

// The conversion letter of the directive that opens a piece, when the piece
// is a directive the model can hand to printf with one value of the given
// kind; throws Undefined otherwise.
enum class Passed { integer, real, text };

void check_directive(const std::string &piece, Passed kind)
{
    size_t p = 1;
    while (p < piece.size() && std::strchr("-+ #0", piece[p]))
        ++p;
    while (p < piece.size() && digit(piece[p]))
        ++p;
    if (p < piece.size() && piece[p] == '.')
        for (++p; p < piece.size() && digit(piece[p]); ++p) {
        }
    if (p >= piece.size())
        throw Undefined{"a piece without a conversion letter"};
    char conv = piece[p];
    const char *fits = kind == Passed::integer ? "diouxXc" : kind == Passed::real ? "fFeEgG" : "s";
    if (!std::strchr(fits, conv))
        throw Undefined{std::string("a value the directive does not take: ") + piece};
}

template <class T>
std::string printf_piece(const std::string &piece, T value)
{
    int n = std::snprintf(nullptr, 0, piece.c_str(), value);
    std::string out(size_t(n) + 1, '\0');
    std::snprintf(&out[0], out.size(), piece.c_str(), value);
    out.resize(size_t(n));
    return out;
}

std::string with_letter(std::string piece, size_t at, char letter)
{
    piece[at] = letter;
    return piece;
}

struct Sprintf_state {
    const Value &args;
    std::vector<Value> list;
    bool byte_mode;
    size_t next = 0;
    std::string out;
    std::string *warnings;
};

void format_byte(Sprintf_state &st, const std::string &piece)
{
    if (letter_in(piece, 's') != std::string::npos) {
        check_directive(piece, Passed::text);
        st.out += printf_piece(piece, c_text(text_of(st.args)).c_str());
        return;
    }
    std::string p = piece;
    size_t g = letter_in(p, 'g'), f = letter_in(p, 'f');
    if (g != std::string::npos)
        p = with_letter(p, g, 'd');
    else if (f != std::string::npos)
        p = with_letter(p, f, 'd');
    int byte = st.list[st.next++].i;
    check_directive(p, Passed::integer);
    st.out += printf_piece(p, letter_in(p, 'd') != std::string::npos ? int(static_cast<signed char>(byte)) : byte);
}

void format_value(Sprintf_state &st, const std::string &piece)
{
    const Value x = st.list[st.next++];
    if (x.is_int()) {
        if (letter_in(piece, 'f') != std::string::npos || letter_in(piece, 'g') != std::string::npos) {
            check_directive(piece, Passed::real);
            st.out += printf_piece(piece, double(x.i));
        } else if (letter_in(piece, 's') != std::string::npos) {
            std::string p = with_letter(piece, letter_in(piece, 's'), 'c');
            check_directive(p, Passed::integer);
            st.out += printf_piece(p, int(x.i & 0xFF));
        } else {
            check_directive(piece, Passed::integer);
            st.out += printf_piece(piece, int(x.i));
        }
    } else if (x.is_dbl()) {
        std::string p = piece;
        size_t d = letter_in(piece, 'd');
        if (d != std::string::npos)
            p = with_letter(piece, d, 'g');
        check_directive(p, Passed::real);
        st.out += printf_piece(p, x.d);
    } else if (letter_in(piece, 's') != std::string::npos) {
        std::string t = c_text(text_of(x));
        if (t.empty())
            return;
        check_directive(piece, Passed::text);
        st.out += printf_piece(piece, t.c_str());
    } else if (x.size() == 0) {
        try {
            check_directive(piece, Passed::integer);
            st.out += printf_piece(piece, 0);
        } catch (const Undefined &) {
            check_directive(piece, Passed::real);
            st.out += printf_piece(piece, 0.0);
        }
    } else {
        *st.warnings += "Warning FORMAT on sequence without s but " + piece + "\n";
        st.out += '\0';
    }
}

}  // namespace

Value sprintf(const Value &fmt, const Value &args, std::string *warnings)
{
    if (args.unknown_form())
        throw Undefined{"sprintf arguments of unknown storage"};
    Sprintf_state st{args, args.is_seq() ? args.elems : std::vector<Value>{args}, args.bytes(), 0, "", warnings};
    std::string f = c_text(text_of(fmt));
    size_t p = f.find('%');
    st.out = f.substr(0, p);  // the leading text
    bool first = true;
    while (p < f.size()) {
        size_t run = 0;
        while (p < f.size() && f[p] == '%') {
            ++p;
            ++run;
        }
        size_t end = f.find('%', p);
        if (end == std::string::npos)
            end = f.size();
        std::string body = f.substr(p, end - p);
        p = end;
        if (body.empty())
            continue;
        bool literal = run >= 2 && !(first && f[0] == '%');
        first = false;
        if (literal) {
            st.out += "%%" + body;
            continue;
        }
        if (st.next >= st.list.size())
            break;
        std::string piece = "%" + body;
        if (st.byte_mode)
            format_byte(st, piece);
        else
            format_value(st, piece);
    }
    return text(c_text(st.out));
}

}  // namespace model
