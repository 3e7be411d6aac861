// main.cpp -- the differential test's command line: runs seeded random
// programs in batches, each batch in a child process (so a crash or an
// unexpected fatal error is caught), and shrinks a failing program by
// dropping steps before printing it with the seed that makes it.
//
//   vorn_differential [--programs N] [--seed S] [--steps L] [--program I] [--show] [--trace]
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <regex>
#include <string>

#include <vorn.h>

#include "runner.h"

using namespace diff;

// Sanitizer reports end the process with a status of their own, not the
// status 1 that a run-time error ends with.
extern "C" const char *__asan_default_options() { return "exitcode=66"; }
extern "C" const char *__ubsan_default_options() { return "exitcode=67:print_stacktrace=1"; }
// Present under LeakSanitizer: finds heap blocks nothing points to any more.
extern "C" int __lsan_do_recoverable_leak_check() __attribute__((weak));

namespace {

struct Options {
    long programs = 1000;
    uint64_t seed = 1;
    int steps = 40;
    long only = -1;      // run just this program, and show it
    bool show = false;   // print every program before running it
    int max_failures = 5;
};

uint64_t program_seed(uint64_t seed, long index)
{
    uint64_t z = seed + 0x9E3779B97F4A7C15ull * uint64_t(index + 1);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// How many records the object table has to spare when a program starts.
int room_of(uint64_t seed, long index) { return int(program_seed(seed, index) >> 40) % 48; }

Progress *shared_progress()
{
    void *p = mmap(nullptr, sizeof(Progress), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        std::perror("mmap");
        std::exit(2);
    }
    return new (p) Progress();
}

// Runs `body` in a child with standard output captured; the child's exit
// status is what `body` returns.
std::string in_child(const std::function<int()> &body, int *status)
{
    std::fflush(stdout);
    int fds[2];
    if (pipe(fds) != 0) {
        std::perror("pipe");
        std::exit(2);
    }
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], 1);
        close(fds[1]);
        int code = body();
        std::fflush(stdout);
        _exit(code);
    }
    close(fds[1]);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, size_t(n));
    close(fds[0]);
    int raw = 0;
    waitpid(pid, &raw, 0);
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return out;
}

constexpr int program_failed = 3;
// A program that runs longer than this is stopped (SIGALRM) and reported.
constexpr unsigned program_seconds = 20;

int run_and_report(const Program &program, Progress &progress, int room)
{
    std::string failure = run_program(program, progress, room);
    if (failure.empty() && __lsan_do_recoverable_leak_check && __lsan_do_recoverable_leak_check())
        failure = "heap-leak: storage no record points to (LeakSanitizer's report above)";
    if (failure.empty())
        return 0;
    std::printf("%s", failure.c_str());
    return program_failed;
}

// The failure a child's end tells of, "" for none.
std::string failure_of(int status, const std::string &out, const Program &program, long step)
{
    if (status == 0)
        return "";
    if (status == program_failed)
        return out;
    std::string at = step >= 0 && size_t(step) < program.size()
                         ? " at step " + std::to_string(step) + " " + op_name(program[size_t(step)].op) : "";
    if (status == 1)
        return "unexpected-fatal: \"" + out + "\"" + at;
    if (status == 128 + SIGALRM)
        return "hang: no end after " + std::to_string(program_seconds) + " s" + at;
    return "crash: status " + std::to_string(status) + " \"" + out + "\"" + at;
}

// The kind of failure and the routine it happened in: a shrunk program must
// keep failing the same way.
std::string signature(const std::string &failure)
{
    std::smatch m;
    std::string kind = failure.substr(0, failure.find_first_of(": "));
    static const std::regex step_re(" at step [0-9]+ (\\S+)$");
    if (std::regex_search(failure, m, step_re))
        return kind + " " + m[1].str();
    return kind;
}

std::string run_one(const Program &program, int room, Progress *scratch)
{
    *scratch = Progress();
    int status = 0;
    std::string out = in_child([&] {
        alarm(program_seconds);
        return run_and_report(program, *scratch, room);
    }, &status);
    return failure_of(status, out, program, scratch->step);
}

// Drops steps while the program keeps failing the same way.
Program shrink(Program program, int room, const std::string &failure, long failing_step, Progress *scratch)
{
    std::string want = signature(failure);
    auto still_fails = [&](const Program &candidate) {
        std::string f = run_one(candidate, room, scratch);
        return !f.empty() && signature(f) == want;
    };
    if (failing_step >= 0 && size_t(failing_step) + 1 < program.size()) {
        Program cut(program.begin(), program.begin() + failing_step + 1);
        if (still_fails(cut))
            program = cut;
    }
    for (size_t chunk = program.size() / 2; chunk >= 1; chunk /= 2) {
        for (size_t start = 0; start < program.size();) {
            Program candidate = program;
            size_t end = std::min(program.size(), start + chunk);
            candidate.erase(candidate.begin() + long(start), candidate.begin() + long(end));
            if (!candidate.empty() && still_fails(candidate))
                program = candidate;
            else
                start += chunk;
        }
    }
    return program;
}

void print_program(const Program &program, FILE *to)
{
    std::fprintf(to, "  (all variables start as the integer 0; ~x is a temporary, @x an object held\n"
                     "   for the call, view(...) a temporary slice of a temporary padded base)\n");
    for (size_t k = 0; k < program.size(); ++k)
        std::fprintf(to, "  %2zu: %s\n", k, show(program[k]).c_str());
    std::fflush(to);
}

void report(const Options &opt, long index, const std::string &failure, const Program &program, int room,
            long step, Progress *scratch)
{
    std::printf("FAILED seed %llu program %ld: %s\n", (unsigned long long)opt.seed, index, failure.c_str());
    std::printf("  reproduce: vorn_differential --seed %llu --program %ld\n", (unsigned long long)opt.seed, index);
    Program small = shrink(program, room, failure, step, scratch);
    std::string again = run_one(small, room, scratch);
    std::printf("  minimal program, %zu of %zu steps, the object table with %d records to spare (%s):\n",
                small.size(), program.size(), room, again.c_str());
    print_program(small, stdout);
}

bool parse(int argc, char **argv, Options &opt)
{
    for (int k = 1; k < argc; ++k) {
        std::string a = argv[k];
        bool has_value = k + 1 < argc;
        if (a == "--programs" && has_value)
            opt.programs = std::atol(argv[++k]);
        else if (a == "--seed" && has_value)
            opt.seed = std::strtoull(argv[++k], nullptr, 10);
        else if (a == "--steps" && has_value)
            opt.steps = std::atoi(argv[++k]);
        else if (a == "--program" && has_value)
            opt.only = std::atol(argv[++k]);
        else if (a == "--show")
            opt.show = true;
        else if (a == "--trace")
            trace_steps = true;
        else
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    Options opt;
    if (!parse(argc, argv, opt)) {
        std::fprintf(stderr, "usage: vorn_differential [--programs N] [--seed S] [--steps L] [--program I] [--show] [--trace]\n");
        return 2;
    }
    init_command_line(argc, argv);
    Progress *progress = shared_progress();
    Progress *scratch = shared_progress();
    long first = opt.only >= 0 ? opt.only : 0;
    long last = opt.only >= 0 ? opt.only + 1 : opt.programs;
    int failures = 0;
    constexpr long batch = 100;
    while (first < last && failures < opt.max_failures) {
        long end = std::min(last, first + batch);
        int status = 0;
        std::string out = in_child([&] {
            for (long i = first; i < end; ++i) {
                progress->program = i;
                progress->step = -1;
                alarm(program_seconds);
                Program program = generate(program_seed(opt.seed, i), opt.steps);
                if (opt.show || opt.only >= 0) {
                    std::fprintf(stderr, "program %ld:\n", i);
                    print_program(program, stderr);
                }
                if (int code = run_and_report(program, *progress, room_of(opt.seed, i)))
                    return code;
                ++progress->programs;
            }
            return 0;
        }, &status);
        if (status == 0) {
            std::fputs(out.c_str(), stdout);
            first = end;
            continue;
        }
        long index = progress->program;
        Program program = generate(program_seed(opt.seed, index), opt.steps);
        std::string failure = failure_of(status, out, program, progress->step);
        report(opt, index, failure, program, room_of(opt.seed, index), progress->step, scratch);
        ++failures;
        ++progress->programs;
        first = index + 1;
    }
    std::printf("vorn_differential: seed %llu, %ld programs, %ld steps run (%ld of them fatal reports checked "
                "in a child), %ld steps skipped where the rules leave the outcome open; %d failed\n",
                (unsigned long long)opt.seed, progress->programs, progress->steps, progress->fatal,
                progress->skipped, failures);
    return failures ? 1 : 0;
}
