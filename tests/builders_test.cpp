// Building sequences: literals and byte packing, repetitions, the text of an
// object, procedure and function clean-up, the start-up objects.
#include "support.h"

using namespace vorn_test;

using Builders = store_test;

TEST_F(Builders, BuildSequenceAndRepeatPackBytes)
{
    vorn_handle s = build_sequence(3, 65, 66, 67);
    EXPECT_EQ(news, vorn_record_of(s));
    EXPECT_EQ(refcount(s), 0);
    EXPECT_STREQ(chars(s), "ABC");
    vorn_handle spaces = repeat(32, 3), e = build_sequence(0);
    EXPECT_STREQ(chars(spaces), "   ");
    EXPECT_NE(e, null_sequence);
    vorn_handle d = make_double(0.5), dd = build_sequence(2, d, d);
    EXPECT_EQ(refcount(d), 2);
    // Other values and storage forms are checked against the model by the differential test.
    expect_shown({{s, "b{65,66,67}"}, {spaces, "b{32,32,32}"}, {e, "{}"}, {dd, "{0.5d,0.5d}"}});

    d = make_double(1.25);
    vorn_handle r = repeat(d, 3);
    EXPECT_EQ(refcount(d), 3);
    EXPECT_EQ(elements(r), (std::vector<vorn_handle>{d, d, d}));
    destroy(r);
    int32_t before = refcount(null_sequence);
    EXPECT_EQ(repeat(make_double(2), 0), null_sequence);  // releases its value
    EXPECT_EQ(repeat(make_string("x"), static_cast<vorn_handle>(-2)), null_sequence);
    EXPECT_EQ(refcount(null_sequence), before);
    expect_fatal([] { repeat(1, make_double(2.0)); }, "sec. arg of repeat must be a integer\n");
}

TEST_F(Builders, ConvertString)
{
    vorn_handle owned = make_string("text");
    EXPECT_EQ(convert_string(owned), vorn_record_of(owned)->data);  // no copy
    destroy(owned);

    const struct {
        vorn_handle x;
        const char *want;
    } texts[] = {
        {seq("{72,105.7}"), "Hi"}, {seq("{300,-1.5}"), ",\xFF"},  // 300 & 255 = 44, trunc(-1.5) & 255
        {seq("{}"), " "}, {300, "300"}, {0xFFFFFFFF, "-1"}, {make_double(2.5), "2.5"},
        {view_of(make_string("abcdef"), 2, 3), "bcd"},  // a view is copied and terminated
    };
    for (auto &t : texts) {
        EXPECT_STREQ(convert_string(t.x), t.want);
        drop(t.x);
    }
    EXPECT_EQ(leaks.made(), 0);

    // Eight pool slots: the ninth conversion reuses the first one's buffer.
    char *first = convert_string(1);
    for (int k = 2; k <= 8; ++k)
        convert_string(static_cast<vorn_handle>(k));
    EXPECT_STREQ(first, "1");
    EXPECT_EQ(convert_string(123456), first);
    EXPECT_STREQ(first, "123456");
    expect_fatal([] { convert_string(build_sequence(2, 65, build_sequence(0))); },
                 "sequence found inside character string");
}

TEST_F(Builders, CleanupAndTheStartUpObjects)
{
    vorn_handle a = held(make_double(1)), b = held(make_string("kept"));
    reference(b);  // also held elsewhere
    proc_cleanup(3, a, b, 17);
    EXPECT_EQ(refcount(b), 1);
    EXPECT_EQ(leaks.made(), 1);
    proc_cleanup(1, b);
    EXPECT_EQ(leaks.made(), 0);

    // The value returned survives the release of the variable holding it and goes back as a temporary.
    vorn_handle r = make_string("result"), v = held(r);
    EXPECT_EQ(func_cleanup(r, 1, v), r);
    EXPECT_EQ(refcount(r), 0);
    destroy(r);
    EXPECT_EQ(func_cleanup(5, 0), 5u);

    // A returned view gets storage of its own; its base dies with the variable.
    vorn_handle base = held(make_string("abcdef")), view = view_of(base, 3, 2);
    vorn_handle out = func_cleanup(view, 1, base);
    EXPECT_EQ(out, view);
    EXPECT_EQ(vorn_record_of(out)->base, 0u);
    EXPECT_EQ(refcount(out), 0);
    EXPECT_STREQ(convert_string(out), "cd");
    destroy(out);

    // The start-up objects: the command line and the empty sequence, each held once.
    vorn_handle line = command_line();
    EXPECT_EQ(line, command_line());
    EXPECT_GE(length(line), 1);
    EXPECT_EQ(counts({line, null_sequence}), "1,1");
    EXPECT_EQ(stored_length(null_sequence), 0);

    expect_child([] {
        char arg0[] = "prog", arg1[] = "", arg2[] = "two words";
        char *argv[] = {arg0, arg1, arg2};
        init_command_line(3, argv);
        vorn_handle l = command_line();
        printf("%d|", length(l));
        for (vorn_handle w : elements(l))
            printf("%d:%d:%d:%s|", refcount(w), stored_length(w), wrap_sequence(w), convert_string(w));
        printf("%d", refcount(null_sequence));
    }, "3|1:-4:1:prog|1:0:1: |1:-9:1:two words|1", 0);
}
