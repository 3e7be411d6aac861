// Building beyond the differential run: repeat's empty results, the text pool,
// procedure and function clean-up, the start-up objects.
#include "support.h"

using namespace vorn_test;

using Builders = store_test;

TEST_F(Builders, ConvertStringAndEmptyRepeats)
{
    vorn_handle owned = make_string("text");
    EXPECT_EQ(convert_string(owned), vorn_record_of(owned)->data);  // no copy
    destroy(owned);
    // Elements are cut to 8 bits, a view is copied and terminated.
    const struct {
        vorn_handle x;
        const char *want;
    } texts[] = {{seq("{72,105.7}"), "Hi"},
                 {0xFFFFFFFF, "-1"},
                 {make_double(2.5), "2.5"},
                 {view_of(make_string("abcdef"), 2, 3), "bcd"}};
    for (auto &t : texts) {
        EXPECT_STREQ(convert_string(t.x), t.want);
        drop(t.x);
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

    vorn_handle line = command_line();
    EXPECT_EQ(counts({line, null_sequence}), "1,1");
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
