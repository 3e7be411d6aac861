// support.cpp -- shared test machinery and the suites' start-up: the
// library's start-up objects are made once, as a translated program does.
#include "support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vorn_test {

int live_records()
{
    int free_count = 0;
    for (int32_t i = free_tail; i != 0; i = objects[i].count)
        ++free_count;
    return object_count - free_count;
}

static int decode_status(int s)
{
    return WIFEXITED(s) ? WEXITSTATUS(s) : WIFSIGNALED(s) ? 128 + WTERMSIG(s) : -1;
}

child_result run_child(const std::function<void()> &body)
{
    std::fflush(stdout);
    int fds[2];
    if (pipe(fds) != 0)
        return {"pipe failed", -1};
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], 1);
        close(fds[1]);
        body();
        std::fflush(stdout);
        _exit(0);
    }
    close(fds[1]);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return {out, decode_status(status)};
}

child_result run_command(const std::string &command)
{
    return run_child([&] {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    });
}

void expect_child(const std::function<void()> &body, const std::string &out, int status)
{
    child_result r = run_child(body);
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(r.status, status) << out;
}

void expect_fatal(const std::function<void()> &body, const std::string &message)
{
    expect_child(body, "RUN_TIME_ERROR : " + message, 1);
}

void expect_fatal(std::initializer_list<std::pair<std::function<void()>, std::string>> cases)
{
    for (const auto &[body, message] : cases)
        expect_fatal(body, message);
}

// A new temporary sequence record owning `data`.
static vorn_handle sequence_over(void *data, int32_t length)
{
    vorn_handle s = vorn_sequence_handle(new_sequence());
    vorn_record_of(s)->data = data;
    vorn_record_of(s)->length = length;
    return s;
}

// A sequence of handles taking one reference on each item.
static vorn_handle words_holding(const std::vector<vorn_handle> &items)
{
    auto *w = static_cast<vorn_handle *>(std::malloc(items.size() * sizeof(vorn_handle) + 1));
    std::transform(items.begin(), items.end(), w, reference);
    return sequence_over(w, static_cast<int32_t>(items.size()));
}

static vorn_handle parse(const char *&p)
{
    if (*p == '\'') {
        const char *end = std::strchr(p + 1, '\'');
        vorn_handle s = make_string(std::string(p + 1, end).c_str());
        p = end + 1;
        return s;
    }
    if (*p != '{' && *p != 'b') {
        char *end;
        double d = std::strtod(p, &end);
        bool whole = std::strspn(p, "+-0123456789") >= static_cast<size_t>(end - p);
        p = end;
        return whole ? static_cast<vorn_handle>(static_cast<int32_t>(d)) : make_double(d);
    }
    bool packed = *p == 'b';
    std::vector<vorn_handle> items;
    for (p += packed ? 2 : 1; *p != '}'; p += *p == ',')
        items.push_back(parse(p));
    ++p;
    if (!packed)
        return words_holding(items);
    auto *b = static_cast<unsigned char *>(std::malloc(items.size() + 1));
    std::copy(items.begin(), items.end(), b)[0] = 0;
    return sequence_over(b, -static_cast<int32_t>(items.size()));
}

vorn_handle seq(const char *written) { return parse(written); }

vorn_handle words_of(std::initializer_list<int64_t> elements)
{
    return words_holding(std::vector<vorn_handle>(elements.begin(), elements.end()));
}

vorn_handle view_of(vorn_handle s, int32_t from, int32_t count)
{
    const vorn_record *base = vorn_record_of(s);
    bool bytes = base->length < 0;
    char *at = static_cast<char *>(base->data) + (from - 1) * (bytes ? 1 : sizeof(vorn_handle));
    vorn_handle v = sequence_over(at, bytes ? -count : count);
    vorn_record_of(v)->base = reference(s);
    return v;
}

vorn_handle held(vorn_handle h)
{
    vorn_handle variable = 0;
    assign(&variable, h);
    return variable;
}

void let_go(std::initializer_list<vorn_handle *> variables)
{
    for (vorn_handle *v : variables)
        assign(v, 0);
}

void drop(vorn_handle h)
{
    if (vorn_is_object(h) && refcount(h) == 0)
        destroy(h);
}

std::vector<vorn_handle> elements(vorn_handle s)
{
    int32_t n = stored_length(s);
    std::vector<vorn_handle> out;
    for (int32_t k = 0; k < std::abs(n); ++k)
        out.push_back(n < 0 ? static_cast<const unsigned char *>(vorn_record_of(s)->data)[k]
                            : static_cast<const vorn_handle *>(vorn_record_of(s)->data)[k]);
    return out;
}

std::string show(vorn_handle h)
{
    if (vorn_is_integer(h))
        return std::to_string(static_cast<int32_t>(h));
    if (vorn_is_double(h)) {
        char b[40];
        std::snprintf(b, sizeof b, "%.17gd", vorn_double_value(h));
        return std::isnan(vorn_double_value(h)) ? "nand" : b;
    }
    if (!vorn_is_sequence(h))
        return "?";
    std::string out = stored_length(h) < 0 ? "b{" : "{";
    for (vorn_handle e : elements(h))
        out += (out.back() == '{' ? "" : ",") + show(e);
    return out + "}";
}

std::string show_drop(vorn_handle h)
{
    std::string s = show(h);
    drop(h);
    return s;
}

void expect_shown(std::initializer_list<std::pair<vorn_handle, const char *>> results)
{
    for (const auto &[h, want] : results) {
        bool bytes = vorn_is_sequence(h) && stored_length(h) < 0;
        EXPECT_TRUE(!bytes || chars(h)[-stored_length(h)] == '\0') << "no zero byte after " << want;
        EXPECT_EQ(show_drop(h), want);
    }
}

std::string counts(std::initializer_list<vorn_handle> handles)
{
    std::string out;
    for (vorn_handle h : handles)
        out += (out.empty() ? "" : ",") + std::to_string(refcount(h));
    return out;
}

std::string take_bytes(vorn_handle s)
{
    if (!vorn_is_sequence(s))
        return "(atom " + std::to_string(static_cast<int32_t>(s)) + ")";
    const vorn_record *r = vorn_record_of(s);
    EXPECT_LE(r->length, 0) << "not stored as bytes";
    EXPECT_EQ(r->count, 0) << "not a temporary";
    std::string out(chars(s), static_cast<size_t>(-r->length));
    EXPECT_EQ(chars(s)[-r->length], '\0') << "no zero byte after the data";
    destroy(s);
    return out;
}

std::vector<std::vector<std::string>> rows(const char *table)
{
    std::vector<std::vector<std::string>> out;
    std::istringstream in(table);
    for (std::string row; std::getline(in, row, ',');) {
        std::istringstream words(row);
        out.emplace_back();
        for (std::string w; words >> w;)
            out.back().push_back(w);
    }
    return out;
}

scratch_dir::scratch_dir()
{
    char pattern[] = "/tmp/vorn_test_XXXXXX";
    dir_ = mkdtemp(pattern);
}

scratch_dir::~scratch_dir() { std::filesystem::remove_all(dir_); }

std::string file_contents(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "(none)";
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

}  // namespace vorn_test

// The suites' start-up; a test program with a main of its own keeps that.
__attribute__((weak)) int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    init_command_line(argc, argv);
    return RUN_ALL_TESTS();
}
