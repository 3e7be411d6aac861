// The run-time error report: console text, crash file and message, crash
// routines in their order, abort and the exit status, each in a child process.
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "support.h"

using namespace vorn_test;

namespace {

void say_a() { printf("a;"); }
void say_b() { printf("b;"); }

}  // namespace

TEST(Errors, ReportsCrashRoutinesMessageFileAndExit)
{
    // Crash routines run newest first, once; one that fails starts a new report and the rest still run.
    expect_child(
        [] {
            wrap_crash_routine(say_a);
            wrap_crash_routine(say_b);
            wrap_crash_routine([] {
                printf("[%d]", error_count);
                runtime_error("again\n");
            });
            runtime_error("first\n");
        },
        "RUN_TIME_ERROR : first\n[1]RUN_TIME_ERROR : again\nb;a;", 1);
    // do_crash_routines empties the stack; abort flushes the streams and runs no crash routine.
    expect_child(
        [] {
            wrap_crash_routine(say_a);
            wrap_crash_routine(say_b);
            do_crash_routines();
            printf("|%d|", error_count);
            wrap_crash_routine(say_a);
            wrap_abort(3);
        },
        "b;a;|0|", 3);

    // A crash file gets the report, "name:number" on its first line, even when a crash message (the last
    // one set) replaces the report after the crash routines.
    scratch_dir dir;
    std::string path = dir.path("crash.txt");
    std::ofstream(path) << "stale contents that must go\n";
    expect_child(
        [&] {
            wrap_crash_file(make_string(path.c_str()));
            wrap_crash_routine(say_a);
            runtime_error("index %d gone\n", 7);
        },
        "RUN_TIME_ERROR : index 7 gone\na;--> see " + path + "\n", 1);
    std::string report = file_contents(path);
    size_t line_end = report.find('\n');
    EXPECT_NE(report.substr(0, line_end).find(':'), std::string::npos);
    EXPECT_EQ(report.substr(line_end + 1), "index 7 gone\n\n");
    expect_child(
        [&] {
            wrap_crash_file(make_string(path.c_str()));
            wrap_crash_message(make_string("first"));
            wrap_crash_message(42);
            wrap_crash_routine(say_a);
            runtime_error("quiet\n");
        },
        "a;42", 1);
    report = file_contents(path);
    EXPECT_EQ(report.substr(report.find('\n') + 1), "quiet\n\n");

    // A program that never fails makes no crash file.
    std::remove(path.c_str());
    expect_child([&] { wrap_crash_file(make_string(path.c_str())); }, "", 0);
    EXPECT_NE(access(path.c_str(), F_OK), 0);
}
