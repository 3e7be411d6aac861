// value_parsing.cpp -- `wrap_value`: the number written in a text (decimal
// integers, decimal fractions and exponents, "#" hexadecimal and "#O" octal)
// as a status pair {0, value}, or {1, 0} when the text is no number.
#include <cerrno>
#include <string>

#include "core.h"

using namespace vorn::core;

namespace {

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

inline int hex_digit(char c)
{
    if (is_digit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// {status, value} as a new sequence of two handles; the pair takes its own
// reference on a double value.
handle status_pair(int32_t status, handle value)
{
    handle *w = alloc_words(2);
    w[0] = int_handle(status);
    w[1] = value;
    take_ref(value);
    return make_sequence(w, 2);
}

handle failure_pair() { return status_pair(1, int_handle(0)); }

// The digits after "#": octal after an "O" (the digits 8 and 9 read too),
// hexadecimal otherwise, in wrapping 32-bit arithmetic; whatever follows the
// digits is ignored.  A pattern the integer class cannot hold (top two bits
// 10) is delivered as a double of its signed value.
handle hash_number(const char *p)
{
    uint32_t v = 0;
    if (*p == 'O' || *p == 'o') {
        for (++p; is_digit(*p); ++p)
            v = v * 8 + static_cast<uint32_t>(*p - '0');
    } else {
        for (int d; (d = hex_digit(*p)) >= 0; ++p)
            v = v * 16 + static_cast<uint32_t>(d);
    }
    return status_pair(0, integer_or_double(static_cast<int32_t>(v)));
}

enum class number_form { none, integer, fractional };

// Scans a decimal number that must fill the whole of `text`.  A "." that
// ends a whole number is dropped from the text and leaves it whole.
number_form scan_decimal(std::string &text)
{
    size_t i = 0, n = text.size();
    auto digits = [&] {
        while (i < n && is_digit(text[i]))
            ++i;
    };
    bool fractional = false;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    bool leading_point = i < n && text[i] == '.';
    if (leading_point) {
        fractional = true;
        ++i;
    }
    if (i >= n || !is_digit(text[i]))
        return number_form::none;
    digits();
    if (!leading_point && i < n && text[i] == '.') {
        ++i;
        if (i == n) {
            text.pop_back();
            return number_form::integer;
        }
        fractional = true;
        digits();
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        fractional = true;
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            ++i;
        digits();
    }
    if (i != n)
        return number_form::none;
    return fractional ? number_form::fractional : number_form::integer;
}

// A whole number is accepted from -1073741824 up to the largest 32-bit value
// (what a 32-bit strtol reads without a range error).
handle decimal_integer(const std::string &text)
{
    errno = 0;
    long v = std::strtol(text.c_str(), nullptr, 10);
    if (errno != 0 || v < VORN_MIN_INTEGER || v > VORN_MAX_INTEGER)
        return failure_pair();
    return status_pair(0, int_handle(static_cast<int32_t>(v)));
}

// The number in a text (borrowed).
handle parse_text(const char *text)
{
    size_t n = std::strlen(text);
    while (n > 0 && static_cast<signed char>(text[n - 1]) <= 32)
        --n;
    if (n == 0)
        return failure_pair();
    size_t start = 0;
    while (start < n && text[start] == ' ')
        ++start;
    if (start < n && text[start] == '#') {
        std::string digits(text + start + 1, n - start - 1);
        return hash_number(digits.c_str());
    }
    std::string number(text + start, n - start);
    switch (scan_decimal(number)) {
    case number_form::integer:
        return decimal_integer(number);
    case number_form::fractional:
        return status_pair(0, make_double(std::atof(number.c_str())));
    default:
        return failure_pair();
    }
}

// An atom is one character code: a decimal digit gives {0, its value}, as
// a two-byte bytesequence like every atom's answer.
handle parse_character(handle x)
{
    unsigned char *b = alloc_bytes(2);
    bool digit = is_integer(x) && int_value(x) >= '0' && int_value(x) <= '9';
    b[0] = digit ? 0 : 1;
    b[1] = static_cast<unsigned char>(digit ? int_value(x) - '0' : 0);
    b[2] = 0;
    return make_sequence(b, -2);
}

}  // namespace

extern "C" {

// Releases a sequence argument after reading it; an atom is left alone.
VORN_API vorn_handle wrap_value(vorn_handle x)
{
    if (!is_sequence(x))
        return parse_character(x);
    handle pair = parse_text(convert_string(x));
    release(x);
    return pair;
}

}  // extern "C"
