// The process environment, commands through a real shell, wildcards, real
// directories in a scratch folder, the working directory and the clock.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>

#include "support.h"

using namespace vorn_test;

namespace {

class System : public store_test {
  protected:
    void TearDown() override
    {
        for (vorn_handle h : borrowed_)
            drop(h);
        store_test::TearDown();
    }
    // A string for a routine that borrows it, destroyed when the test ends.
    vorn_handle lent(const std::string &text) { return borrowed_.emplace_back(make_string(text.c_str())); }
    vorn_handle name(const std::string &n) const { return make_string(dir_.path(n).c_str()); }
    scratch_dir dir_;
    std::vector<vorn_handle> borrowed_;
};

// The fields after the name of the entry `entry_name` in a listing, or "none".
std::string entry_of(vorn_handle list, const std::string &entry_name)
{
    for (vorn_handle e : elements(list))
        if (chars(elements(e)[0]) == entry_name)
            return "{" + show(e).substr(show(e).find("},") + 2);
    return "none";
}

}  // namespace

TEST_F(System, EnvironmentCommandsAndWildcards)
{
    vorn_handle setting = held(make_string("VORN_A=bar")),
                view = held(view_of(make_string("VORN_B=123456"), 1, 9));
    wrap_putenv(setting), wrap_putenv(view);
    const_cast<char *>(chars(setting))[7] = 'x';  // the environment kept its own copy
    EXPECT_EQ(take_bytes(wrap_getenv(lent("VORN_A"))) + take_bytes(wrap_getenv(lent("VORN_B"))), "bar12");
    wrap_putenv(lent("VORN_A="));
    EXPECT_EQ(wrap_getenv(lent("VORN_A")), vorn_handle(-1));
    for (int k = 0; k < 1000; ++k)  // each copy freed once the environment lets go of it
        wrap_putenv(lent("VORN_C=" + std::to_string(k)));
    EXPECT_EQ(take_bytes(wrap_system_get(lent("printf %s \"$VORN_C\""))), "999");
    let_go({&setting, &view});
    const char *not_bytes = "argument to putenv must be a (byte)sequence\n";
    expect_fatal({{[] { wrap_getenv(5); }, "argument to getenv must be a sequence\n"},
                  {[] { wrap_putenv(seq("{65,61,66}")); }, not_bytes},
                  {[] { wrap_putenv(build_sequence(0)); }, not_bytes},
                  {[] { wrap_putenv(make_string("NOEQUALS")); }, "No room in environment\n"},
                  {[] { wrap_system(seq("{1,{2}}")); }, "sequence found inside character string"}});

    const std::pair<const char *, int32_t> statuses[] = {
        {"exit 2", 2}, {"true", 0}, {"kill -9 $$", 137}, {"no-such-command-here 2>/dev/null", 127}};
    for (auto &[command, status] : statuses)
        EXPECT_EQ(wrap_system_exec(lent(command)), status) << command;
    EXPECT_EQ(wrap_system_put(lent("cat > " + dir_.path("fed")), lent("one\ntwo")), 0);
    EXPECT_EQ(file_contents(dir_.path("fed")), "one\ntwo");
    EXPECT_EQ(wrap_system_put(lent("exit 4"), lent(std::string(1 << 20, 'x'))), 4);  // no SIGPIPE
    expect_shown({{wrap_system_get(lent("echo hello")), "b{104,101,108,108,111,10}"},
                  {wrap_system_get(lent("echo gone; exit 3")), "3"},
                  {wrap_system_get(lent("kill -15 $$")), "143"},
                  {wrap_system_get(lent("true")), "{}"},
                  {wrap_system_get(lent("printf 'ab\\000cd'")), "b{97,98}"}});
    EXPECT_EQ(take_bytes(wrap_system_get(lent("head -c 8000000 /dev/zero | tr '\\0' y"))),
              std::string(8000000, 'y'));
    expect_child([] { std::printf("first "), wrap_system(make_string("echo second")); }, "first second\n", 0);

    for (auto &r :
         rows("- - 1, - * 0, a - 1, abc abc 1, abc ab 0, ab abc 0, abc a?c 1, ac a?c 0, a a* 1, abc a* 1, "
              "abc *c 1, abc *b 0, abcbc a*bc 1, aXbYc a*b*c 1, abc *? 1, a ?* 1, ab **b 1, aab *?b 1, "
              "b *?b 0, a.b.c *.c 1, abc a*?*c 1, ac a*?*c 0, abcd ?*d* 1, ba *a? 0, a a** 0, ab a** 1")) {
        std::string text = r[0] == "-" ? "" : r[0], pattern = r[1] == "-" ? "" : r[1];
        EXPECT_EQ(___match(text.c_str(), pattern.c_str()), std::stoi(r[2])) << text << " ~ " << pattern;
    }
    std::string name(10000, 'a'), stars = "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a";
    auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < 100; ++k)
        EXPECT_EQ(___match(name.c_str(), (stars + "b").c_str()), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));  // not exponential
    EXPECT_EQ(___match(name.c_str(), (std::string(5000, '*') + "a").c_str()), 1);

    vorn_handle pattern = held(make_string("*.TXT"));
    expect_shown({{wrap_wildcard_match(lent("a*"), lent("abc")), "1"},
                  {wrap_wildcard_match(lent("A*"), lent("abc")), "0"},
                  {wrap_wildcard_match(5, lent("5")), "0"},
                  {wrap_wildcard_file(pattern, make_string("readme.txt")), "1"},
                  {wrap_wildcard_file(make_string("*.*"), make_string("README")), "1"},
                  {wrap_wildcard_file(make_string("*.c"), make_double(2.5)), "0"}});
    EXPECT_EQ(counts({pattern}), "1");
    let_go({&pattern});
    expect_fatal([] { wrap_wildcard_file(seq("{{1}}"), make_string("a")); },
                 "sequence found inside character string");
}

TEST_F(System, DirectoryListingsAndTheWorkingDirectory)
{
    mkdir(dir_.path("sub").c_str(), 0755);
    const std::tuple<const char *, off_t, int> files[] = {
        {"a.txt", 3, 0644},   {"b.TXT", 0, 0644},      {"ro", 5, 0444},
        {".hidden", 1, 0644}, {"\xe9 x\xff", 2, 0644}, {"sub/sparse", (3l << 30) + 1, 0644}};
    for (auto &[n, size, mode] : files) {
        close(open(dir_.path(n).c_str(), O_CREAT | O_WRONLY, mode));
        ASSERT_EQ(truncate(dir_.path(n).c_str(), size), 0);
    }
    setenv("TZ", "XST-3", 1), tzset();
    struct timeval when[2] = {{1700000000, 0}, {1700000000, 0}};  // 22:13:20 UTC = 01:13:20 at +3
    utimes(dir_.path("a.txt").c_str(), when);

    vorn_handle all = wrap_dir(make_string((dir_.path("") + ".").c_str()));
    EXPECT_EQ(entry_of(all, "a.txt") + std::to_string(length(all)), "{0,3,2023,11,15,1,13,20}8");
    std::string attributes;
    for (const char *n : {"ro", ".hidden", "sub", ".", "..", "\xe9 x\xff"})
        attributes += entry_of(all, n).substr(0, 4);
    EXPECT_EQ(attributes, "{1,5{2,1{16,{16,{16,{0,2");
    vorn_handle first = elements(all)[0];
    EXPECT_EQ(counts({all, first, elements(first)[0]}), "0,1,1");
    destroy(all);
    unsetenv("TZ"), tzset();

    vorn_handle one = wrap_dir(name("a.txt")), sub = wrap_dir(name("s?b")), txt = wrap_dir(name("*.txt"));
    EXPECT_EQ(entry_of(one, "a.txt").substr(0, 4) + entry_of(txt, "a.txt").substr(0, 4), "{0,3{0,3");
    EXPECT_EQ(std::to_string(length(one)) + std::to_string(length(txt)) + std::to_string(length(sub)), "113");
    EXPECT_EQ(entry_of(sub, "sparse").substr(0, 15), "{0,3221225473d,");
    drop(one), drop(sub), drop(txt);
    expect_shown({{wrap_dir(name("missing")), "-1"},
                  {wrap_dir(name("a.txt/x")), "-1"},
                  {wrap_dir(build_sequence(0)), "-1"},
                  {wrap_dir(name("*.none")), "-1"}});
    expect_fatal([] { wrap_dir(7); }, "dir arg. must be a sequence\n");

    std::string before = take_bytes(wrap_current_dir()), deep(70, 'd');
    EXPECT_EQ(wrap_change_dir(name("")), 0);
    EXPECT_EQ(take_bytes(wrap_current_dir()) + "/", dir_.path(""));
    for (vorn_handle d : {name("missing"), build_sequence(0), vorn_handle(5), make_double(1.0)})
        EXPECT_EQ(wrap_change_dir(d), -1);
    mkdir(dir_.path(deep).c_str(), 0755);
    EXPECT_EQ(wrap_change_dir(make_string(deep.c_str())), 0);
    EXPECT_EQ(wrap_current_dir(), vorn_handle(0));  // 92 characters
    EXPECT_EQ(wrap_change_dir(make_string(before.c_str())), 0);
}

TEST_F(System, ClockReadsTheSameInstantEverywhere)
{
    setenv("TZ", "XST-3", 1), tzset();
    std::string date, text;
    vorn_timeval record;
    time_t seconds;
    do {  // again if a second passed between the reads
        EXPECT_EQ(vorn_gettimeofday(&record, nullptr), 0);
        date = show_drop(wrap_date()), text = take_bytes(wrap_fdate());
        seconds = record.seconds;
    } while (static_cast<time_t>(std::stod(show_drop(wrap_time()))) != seconds);
    struct tm t;
    localtime_r(&seconds, &t);
    char want[120];
    int n = std::snprintf(want, sizeof want, "{%d,%d,%d,%d,%d,%d,%d,%d}", t.tm_year + 1900, t.tm_mon + 1,
                          t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_wday + 1, t.tm_yday + 1);
    strftime(want + n, sizeof want - n, "%a %b %e %H:%M:%S %Y", &t);
    EXPECT_EQ(date + text, want);
    EXPECT_LT(record.microseconds, 1000000u);
    unsetenv("TZ"), tzset();
}
