// wildcards.cpp -- the one wildcard matcher ('*' any run, '?' one character,
// the whole text covered) and its two uses: matching text as it is, and
// matching file names without regard to case, with the dot rule.
#include <cstddef>

#include "../core/core.h"
#include "io.h"

using namespace vorn::core;

namespace {

// A text as the matcher reads it: its n bytes, then `extra` when that is not
// 0 (the dot the file-name rule appends), without copying.
struct match_text {
    const char *s;
    size_t n;
    char extra;
    size_t size() const { return n + (extra != 0); }
    char at(size_t i) const { return i < n ? s[i] : extra; }
};

constexpr size_t no_star = static_cast<size_t>(-1);

// The pattern with a trailing run of two or more asterisks read as "?*": such
// a run needs at least one character (only a last asterisk may match at the
// end of the text, and only with text left may the asterisk before it try),
// while every other asterisk matches any run.  Reading it so keeps the
// matcher to a single backtrack point.
struct pattern_reader {
    const match_text &p;
    size_t size;
    size_t run;  // where "?*" stands in, or no_star
    explicit pattern_reader(const match_text &text) : p(text), size(text.size()), run(no_star)
    {
        size_t r = size;
        while (r > 0 && p.at(r - 1) == '*')
            --r;
        if (size - r >= 2) {
            run = r;
            size = r + 2;
        }
    }
    char at(size_t j) const { return j == run ? '?' : p.at(j); }
};

// Where the text after an asterisk can next be tried, from position i: when
// the asterisk is followed by a plain character, only where that character
// stands (else the end of the text); otherwise i itself.
size_t retry_from(const match_text &text, size_t i, const pattern_reader &p, size_t after_star)
{
    char c = after_star < p.size ? p.at(after_star) : '*';
    if (c == '*' || c == '?' || i >= text.n || text.s[i] == c)
        return i;
    const void *found = std::memchr(text.s + i, c, text.n - i);
    if (found != nullptr)
        return static_cast<size_t>(static_cast<const char *>(found) - text.s);
    return text.n + (text.extra != c && text.extra != 0 ? 1 : 0);
}

// Greedy matching with one backtrack point, the last asterisk seen: a later
// asterisk covers every retry of an earlier one, so time is at most text
// length x pattern length and nothing recurses.
bool wildcard_matches(const match_text &text, const match_text &pattern)
{
    if (pattern.size() == 0)
        return true;
    if (text.size() == 0)
        return false;
    pattern_reader p(pattern);
    size_t i = 0, j = 0, star = no_star, mark = 0, n = text.size();
    while (i < n) {
        if (j < p.size && p.at(j) == '*') {
            star = ++j;
            mark = i;
        } else if (j < p.size && (p.at(j) == '?' || p.at(j) == text.at(i))) {
            ++i;
            ++j;
        } else if (star != no_star) {
            j = star;
            i = mark = retry_from(text, mark + 1, p, star);
        } else {
            return false;
        }
    }
    while (j < p.size && p.at(j) == '*')
        ++j;
    return j == p.size;
}

// A zero-terminated text, with a dot after it when it has none and
// `dot_rule` asks for one.
match_text text_of(const char *s, bool dot_rule)
{
    size_t n = std::strlen(s);
    bool add_dot = dot_rule && std::memchr(s, '.', n) == nullptr;
    return match_text{s, n, add_dot ? '.' : '\0'};
}

}  // namespace

extern "C" {

// 1 when pattern covers all of text, else 0; an empty pattern matches any
// text, an empty text no other pattern.
VORN_API int32_t ___match(const char *text, const char *pattern)
{
    return wildcard_matches(text_of(text, false), text_of(pattern, false));
}

// Case counts.  An atom for either matches nothing.  Borrows both.
VORN_API int32_t wrap_wildcard_match(vorn_handle pattern, vorn_handle text)
{
    if (!is_sequence(pattern) || !is_sequence(text))
        return 0;
    const char *pattern_text = convert_string(pattern);
    return ___match(convert_string(text), pattern_text);
}

// Both upper-cased, each given a dot when it has none, then matched.
// Releases both (an atom for either matches nothing).
VORN_API int32_t wrap_wildcard_file(vorn_handle pattern, vorn_handle name)
{
    take_ref(name);  // safe from upper-casing pattern, even when it is name
    vorn_handle up_pattern = upper(pattern);
    vorn_handle up_name = upper(name);
    drop_ref(name);
    int32_t result = 0;
    if (is_sequence(up_pattern) && is_sequence(up_name)) {
        match_text p = text_of(convert_string(up_pattern), true);
        result = wildcard_matches(text_of(convert_string(up_name), true), p);
    }
    release(up_pattern);
    release(up_name);
    return result;
}

}  // extern "C"
