// support.h -- what every test suite shares: counting live records, and
// running a piece of a program in a child process to watch how it ends.
#pragma once

#include <vorn.h>

#include <functional>
#include <string>

namespace vorn_test {

// Records handed out and not on the free list.
int live_records();

// What a child process wrote to standard output and how it ended.
struct child_result {
    std::string out;
    int status;  // exit status, or 128 + signal number
};

// Runs `body` in a forked child whose standard output is captured; the child
// exits with status 0 if `body` returns.
child_result run_child(const std::function<void()> &body);

// Runs a command through the shell and captures its standard output.
child_result run_command(const std::string &command);

// A double and a string as temporaries, for brevity.
vorn_handle make_double(double d);
vorn_handle make_string(const char *text);

// Every test starts and ends with the same number of live records.
class leak_check {
public:
    leak_check() : before_(live_records()) {}
    int made() const { return live_records() - before_; }

private:
    int before_;
};

}  // namespace vorn_test
