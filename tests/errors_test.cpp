// The run-time error report: console text, crash file, crash message, crash
// routines in their order, abort, and the exit status.  Every fatal path runs
// in a child process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "support.h"

using namespace vorn_test;

namespace {

std::string read_file(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string temp_path(const char *name)
{
    return testing::TempDir() + "vorn_" + std::to_string(getpid()) + "_" + name;
}

void say_a() { printf("a;"); }
void say_b() { printf("b;"); }
void say_c() { printf("c;"); }

}  // namespace

TEST(Errors, PlainReportAndExitStatus)
{
    auto r = run_child([] { runtime_error("attempt to divide by %d\n", 0); });
    EXPECT_EQ(r.out, "RUN_TIME_ERROR : attempt to divide by 0\n");
    EXPECT_EQ(r.status, 1);

    r = run_child([] { runtime_error(error_subscript_bound, "subscript", 5, 3); });
    EXPECT_EQ(r.out, "RUN_TIME_ERROR : subscript : subscript 5 out of range [1 .. 3]\n");

    const struct {
        const char *format, *want;
    } formats[] = {
        {error_atom_error, "op : cann't operate on a Atom .\n"},
        {error_subscript_error, "op : subscript error ! should be a integer .\n"},
        {error_slice_neg, "op : slice length cannot be negative\n"},
    };
    for (auto &f : formats) {
        r = run_child([&] { runtime_error(f.format, "op"); });
        EXPECT_EQ(r.out, std::string("RUN_TIME_ERROR : ") + f.want);
    }
    r = run_child([] { runtime_error(error_slice_length, "slice assign", 2, 3); });
    EXPECT_EQ(r.out, "RUN_TIME_ERROR : slice assign : sequence lengths are not the same (2 != 3)\n");
    r = run_child([] { runtime_error(error_slice_lbound, "slice", 0, 4); });
    EXPECT_EQ(r.out, "RUN_TIME_ERROR : slice : subscript 0 .. out of range [1..4]\n");
    r = run_child([] { runtime_error(error_slice_hbound, "slice", 9, 4); });
    EXPECT_EQ(r.out, "RUN_TIME_ERROR : slice : .. subscript 9 out of range [1..4]\n");
}

TEST(Errors, CrashRoutinesRunNewestFirstOnce)
{
    auto r = run_child([] {
        wrap_crash_routine(say_a);
        wrap_crash_routine(say_b);
        wrap_crash_routine(say_c);
        runtime_error("boom\n");
    });
    EXPECT_EQ(r.out, "RUN_TIME_ERROR : boom\nc;b;a;");
    EXPECT_EQ(r.status, 1);

    // do_crash_routines empties the stack: the error path then runs none.
    r = run_child([] {
        wrap_crash_routine(say_a);
        wrap_crash_routine(say_b);
        do_crash_routines();
        printf("|%d|", error_count);
        runtime_error("late\n");
    });
    EXPECT_EQ(r.out, "b;a;|0|RUN_TIME_ERROR : late\n");

    // An error inside a crash routine starts a new report; the failing
    // routine is already off the stack and the rest still run.
    r = run_child([] {
        wrap_crash_routine(say_a);
        wrap_crash_routine([] {
            printf("[%d]", error_count);
            runtime_error("again\n");
        });
        runtime_error("first\n");
    });
    EXPECT_EQ(r.out, "RUN_TIME_ERROR : first\n[1]RUN_TIME_ERROR : again\na;");
    EXPECT_EQ(r.status, 1);
}

TEST(Errors, CrashMessageReplacesTheReport)
{
    auto r = run_child([] {
        wrap_crash_message(42);
        wrap_crash_routine(say_a);
        runtime_error("hidden\n");
    });
    EXPECT_EQ(r.out, "a;42");
    EXPECT_EQ(r.status, 1);

    r = run_child([] {
        wrap_crash_message(make_string("first"));
        wrap_crash_message(make_string("Sorry, it broke.\n"));
        runtime_error("hidden\n");
    });
    EXPECT_EQ(r.out, "Sorry, it broke.\n");
}

TEST(Errors, CrashFileGetsTheReport)
{
    std::string path = temp_path("crash.txt");
    {
        std::ofstream old(path);
        old << "stale contents that must go\n";
    }
    auto r = run_child([&] {
        wrap_crash_file(make_string(path.c_str()));
        wrap_crash_routine(say_a);
        runtime_error("index %d gone\n", 7);
    });
    EXPECT_EQ(r.out, "RUN_TIME_ERROR : index 7 gone\na;--> see " + path + "\n");
    EXPECT_EQ(r.status, 1);
    std::string report = read_file(path);
    size_t line_end = report.find('\n');
    ASSERT_NE(line_end, std::string::npos);
    EXPECT_NE(report.substr(0, line_end).find(':'), std::string::npos);  // "name:number"
    EXPECT_EQ(report.substr(line_end + 1), "index 7 gone\n\n");

    // With a crash message too, the file still gets the report but standard
    // output shows only the message.
    r = run_child([&] {
        wrap_crash_file(make_string(path.c_str()));
        wrap_crash_message(make_string("bye\n"));
        runtime_error("quiet\n");
    });
    EXPECT_EQ(r.out, "bye\n");
    report = read_file(path);
    EXPECT_EQ(report.substr(report.find('\n') + 1), "quiet\n\n");

    // A crash file that cannot be created drops only the file copy.
    r = run_child([] {
        wrap_crash_file(make_string("/nonexistent-dir/crash.txt"));
        runtime_error("still reported\n");
    });
    EXPECT_EQ(r.out, "RUN_TIME_ERROR : still reported\n--> see /nonexistent-dir/crash.txt\n");

    // A program that never fails never creates the file.
    std::remove(path.c_str());
    r = run_child([&] { wrap_crash_file(make_string(path.c_str())); });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(access(path.c_str(), F_OK), 0);
}

TEST(Errors, AbortAndExit)
{
    auto r = run_child([] {
        wrap_crash_routine(say_a);
        printf("before");
        wrap_abort(3);
    });
    EXPECT_EQ(r.out, "before");  // streams are flushed, no crash routine runs
    EXPECT_EQ(r.status, 3);
    r = run_child([] { Pexit(0); });
    EXPECT_EQ(r.status, 0);
}
