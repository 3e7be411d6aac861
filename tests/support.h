// support.h -- what every test suite shares: counting live records, running
// a piece of a program in a child process to watch how it ends, and making
// and reading objects in a compact written form.
#pragma once

#include <gtest/gtest.h>
#include <vorn.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace vorn_test {

// Records handed out and not on the free list; how many were made since a point.
int live_records();
struct leak_check {
    int before = live_records();
    int made() const { return live_records() - before; }
};

// The fixture of every suite that makes objects: the test fails if a record it made is still live.
class store_test : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(leaks.made(), 0) << "records made by the test are still live"; }
    leak_check leaks;
};

// What a child process wrote to standard output and how it ended.
struct child_result {
    std::string out;
    int status;  // exit status, or 128 + signal number
};

// Runs `body` in a forked child (exit status 0 if it returns), or a shell command, capturing stdout.
child_result run_child(const std::function<void()> &body);
child_result run_command(const std::string &command);

// Runs `body` in a child and expects exactly this output and exit status; expect_fatal expects
// "RUN_TIME_ERROR : " + message and status 1, for one body or a table of them.
void expect_child(const std::function<void()> &body, const std::string &out, int status);
void expect_fatal(const std::function<void()> &body, const std::string &message);
void expect_fatal(std::initializer_list<std::pair<std::function<void()>, std::string>> cases);

// Making objects, each one a temporary.
inline vorn_handle make_double(double d) { return vorn_double_handle(new_double(d)); }
inline vorn_handle make_string(const char *text) { return build_string(text); }

// An object from its written form: 12 (an integer), 2.5, 1e9 or nan (a double), {a,b} (a sequence
// of handles, whatever the elements), b{1,2} (a bytesequence), 'ab' (as build_string makes it).
// Each element is held once by its sequence.
vorn_handle seq(const char *written);

// A sequence stored as handles (even when all are bytes), one reference on each object element.
vorn_handle words_of(std::initializer_list<int64_t> elements);

// A view of `count` elements of s from `from`, holding one reference to s, as a slice makes it.
vorn_handle view_of(vorn_handle s, int32_t from, int32_t count);

// The value of a variable that took h by `assign`; variables letting go (assign 0); h destroyed
// when it is an object nobody holds.
vorn_handle held(vorn_handle h);
void let_go(std::initializer_list<vorn_handle *> variables);
void drop(vorn_handle h);

// The record's length word (negative for a bytesequence), and a bytesequence's storage as C text.
inline int32_t stored_length(vorn_handle s) { return vorn_record_of(s)->length; }
inline const char *chars(vorn_handle s) { return static_cast<const char *>(vorn_record_of(s)->data); }

// The elements of s as stored, bytes zero-extended.
std::vector<vorn_handle> elements(vorn_handle s);

// A picture of h: integers, doubles to 17 digits and marked (2.5d, nand), sequences as stored
// ("b{...}" for bytes).
std::string show(vorn_handle h);

// show(h), then drop(h); expect_shown checks a table of results, and each bytesequence's zero byte.
std::string show_drop(vorn_handle h);
void expect_shown(std::initializer_list<std::pair<vorn_handle, const char *>> results);

// The reference counts of the handles, as "1,0,2".
std::string counts(std::initializer_list<vorn_handle> handles);

// The bytes of a result that must be a temporary bytesequence with its zero byte; destroys it.
// An atom gives "(atom N)".
std::string take_bytes(vorn_handle s);

// The rows of a table written "a b, a b, ...", each split into its words.
std::vector<std::vector<std::string>> rows(const char *table);

// A fresh directory under /tmp, removed with all it holds when this goes.
class scratch_dir {
  public:
    scratch_dir();
    ~scratch_dir();
    std::string path(const std::string &name) const { return dir_ + "/" + name; }

  private:
    std::string dir_;
};

// The whole contents of a file, or "(none)" when it cannot be opened.
std::string file_contents(const std::string &path);

}  // namespace vorn_test
