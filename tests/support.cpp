// support.cpp -- shared test machinery and the suites' start-up: the
// library's start-up objects are made once, as a translated program does.
#include "support.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace vorn_test {

int live_records()
{
    int free_count = 0;
    for (int32_t i = free_tail; i != 0; i = objects[i].count)
        ++free_count;
    return object_count - free_count;
}

static int decode_status(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
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
    std::fflush(stdout);
    FILE *p = popen(command.c_str(), "r");
    if (p == nullptr)
        return {"popen failed", -1};
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    return {out, decode_status(pclose(p))};
}

vorn_handle make_double(double d) { return vorn_double_handle(new_double(d)); }
vorn_handle make_string(const char *text) { return build_string(text); }

}  // namespace vorn_test

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    init_command_line(argc, argv);
    return RUN_ALL_TESTS();
}
