// Records, builders and the error report beyond the differential run: type tests, record reuse,
// copy on write, text conversion, clean-up, start-up objects, crash routines, crash file and exit status.
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "support.h"

using namespace vorn_test;

using ObjectStore = store_test;
using Builders = store_test;

namespace {

void say_a() { printf("a;"); }
void say_b() { printf("b;"); }

}  // namespace

TEST_F(ObjectStore, TypeTestsReleaseTemporariesAndWholeDoubles)
{
    EXPECT_EQ(platform(), 2);
    std::vector<int32_t> answers = {
        wrap_bytesequence(make_string("abc")), wrap_integer(1073741824),     wrap_integer(0xBFFFFFFF),
        wrap_integer(make_double(2.0)),        wrap_atom(make_double(2.0)),  wrap_sequence(build_sequence(0)),
        wrap_bytesequence(build_sequence(0)),  wrap_object(make_string("x"))};
    EXPECT_EQ(answers, (std::vector<int32_t>{1, 1, 0, 0, 1, 1, 0, 1}));
    vorn_handle whole = make_double(-7.0), half = make_double(2.5), big = make_double(2147483648.0);
    EXPECT_EQ(std::vector<int32_t>({DBL2INT(whole), DBL2INT(half), DBL2INT(big), DBL2INT(2)}),
              std::vector<int32_t>({-7, INT32_MIN, INT32_MIN, INT32_MIN}));
    for (vorn_handle h : {whole, half, big})
        destroy(h);
    expect_fatal([] { length(5); }, "length of an atom is undefined\n");
}

TEST_F(ObjectStore, RecordReuseAndDestroying)
{
    // Freed records are reused last freed first; destroy goes depth first, last element first.
    vorn_handle a = make_double(1.0), b = make_double(2.0), inner = words_of({b}),
                outer = words_of({a, inner});
    destroy(outer);
    for (vorn_handle h : {outer, a, inner, b})
        EXPECT_EQ(new_object(), static_cast<int32_t>(vorn_index(h)));
    for (vorn_handle h : {b, inner, a, outer})
        destroy(vorn_double_handle(vorn_index(h)));

    // clobber frees view and base, not the elements.
    vorn_handle d = make_double(3);
    clobber_sequence(view_of(build_sequence(2, d, d), 1, 1));
    EXPECT_EQ(refcount(d) + leaks.made(), 3);
    destroy(d);
}

TEST_F(ObjectStore, WideningAndCopyOnWrite)
{
    vorn_handle s = build_sequence(3, 200, 0, 65), t = make_string("xy");
    EXPECT_EQ(conv_byte2obj(s), 3);
    EXPECT_EQ(news, vorn_record_of(s));
    news = vorn_record_of(t);
    explode_sequence();
    EXPECT_EQ(show_drop(s) + show_drop(t), "{200,0,65}{120,121}");  // zero-extended, never -56

    // only_sequence copies only when the variable shares its sequence.
    vorn_handle d = make_double(1), a = held(build_sequence(2, d, 5)), b = held(a), alone = a;
    only_sequence(&b);
    EXPECT_TRUE(b != a && news == vorn_record_of(b));
    EXPECT_EQ(counts({a, b, d}), "1,1,2");
    only_sequence(&a);
    EXPECT_TRUE(a == alone && news == vorn_record_of(a));

    // A view held only by its variable owns a private copy; the former base dies with its last holder.
    s = held(make_string("hello"));
    vorn_handle v = held(view_of(s, 2, 3)), view_handle = v;
    assign(&s, 0);
    only_sequence(&v);
    EXPECT_EQ(v, view_handle);
    EXPECT_EQ(vorn_record_of(v)->base, 0u);
    EXPECT_STREQ(chars(v), "ell");
    proc_cleanup(3, a, b, v);
    expect_fatal([x = vorn_handle{3}]() mutable { only_sequence(&x); },
                 "assign subscript : cann't operate on a Atom .\n");
}

TEST_F(Builders, ConvertStringAndEmptyRepeats)
{
    vorn_handle owned = make_string("text");
    EXPECT_EQ(convert_string(owned), vorn_record_of(owned)->data);  // no copy
    destroy(owned);
    // Elements are cut to 8 bits, a view is copied and terminated.
    const std::pair<vorn_handle, const char *> texts[] = {{seq("{72,105.7}"), "Hi"},
                                                          {0xFFFFFFFF, "-1"},
                                                          {make_double(2.5), "2.5"},
                                                          {view_of(make_string("abcdef"), 2, 3), "bcd"}};
    for (auto [x, want] : texts) {
        EXPECT_STREQ(convert_string(x), want);
        drop(x);
    }
    // Eight pool slots: the ninth conversion reuses the first one's buffer.
    char *first = convert_string(1);
    for (int k = 2; k <= 8; ++k)
        convert_string(static_cast<vorn_handle>(k));
    EXPECT_EQ(convert_string(123456), first);
    EXPECT_STREQ(first, "123456");

    int32_t before = refcount(null_sequence);
    EXPECT_EQ(repeat(make_double(2), 0), null_sequence);  // releases its value
    EXPECT_EQ(repeat(make_string("x"), static_cast<vorn_handle>(-2)), null_sequence);
    EXPECT_EQ(refcount(null_sequence), before);
    expect_fatal({{[] { convert_string(build_sequence(2, 65, build_sequence(0))); },
                   "sequence found inside character string"},
                  {[] { repeat(1, make_double(2.0)); }, "sec. arg of repeat must be a integer\n"}});
}

TEST_F(Builders, CleanupAndTheStartUpObjects)
{
    vorn_handle a = held(make_double(1)), b = held(make_string("kept"));
    reference(b);  // also held elsewhere
    proc_cleanup(3, a, b, 17);
    EXPECT_EQ(refcount(b) + leaks.made(), 2);
    proc_cleanup(1, b);

    // The result survives the release of its variable and goes back as a temporary.
    vorn_handle r = make_string("result"), v = held(r);
    EXPECT_EQ(func_cleanup(r, 1, v), r);
    EXPECT_EQ(refcount(r), 0);
    destroy(r);
    // A returned view gets storage of its own; its base dies with the variable.
    vorn_handle base = held(make_string("abcdef")), out = func_cleanup(view_of(base, 3, 2), 1, base);
    EXPECT_EQ(vorn_record_of(out)->base, 0u);
    EXPECT_EQ(show_drop(out), "b{99,100}");

    EXPECT_EQ(counts({command_line(), null_sequence}), "1,1");
    expect_child(
        [] {
            char arg0[] = "prog", arg1[] = "", arg2[] = "two words";
            char *argv[] = {arg0, arg1, arg2};
            init_command_line(3, argv);
            vorn_handle l = command_line();
            printf("%d|", length(l));
            for (vorn_handle w : elements(l))
                printf("%d:%d:%s|", refcount(w), stored_length(w), convert_string(w));
            printf("%d", refcount(null_sequence));
        },
        "3|1:-4:prog|1:0: |1:-9:two words|1", 0);
}

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
