// Building sequences: literals and byte packing, repetitions, the text of an
// object, procedure and function clean-up, the start-up objects.
#include "support.h"

using namespace vorn_test;

using Builders = store_test;

TEST_F(Builders, BuildSequenceAndRepeatPackBytes)
{
    vorn_handle e = build_sequence(0), s = build_sequence(3, 65, 66, 67);
    EXPECT_EQ(news, vorn_record_of(s));
    EXPECT_EQ(refcount(s), 0);
    EXPECT_NE(e, null_sequence);
    vorn_handle d = make_double(0.5), dd = build_sequence(2, d, d);
    EXPECT_EQ(refcount(d), 2);
    expect_shown({{s, "b{65,66,67}"}, {e, "{}"}, {dd, "{0.5d,0.5d}"}});
    // Elements 0..255 are packed as bytes, anything else makes handles.
    for (vorn_handle x : {0u, 127u, 128u, 200u, 255u, 256u, 0xFFFFFFFFu}) {
        vorn_handle r = repeat(x, 3), b = build_sequence(2, 7, x);
        EXPECT_EQ(stored_length(r), x <= 255 ? -3 : 3) << x;
        EXPECT_EQ(stored_length(b), x <= 255 ? -2 : 2) << x;
        EXPECT_EQ(elements(r), (std::vector<vorn_handle>{x, x, x}));
        EXPECT_EQ(elements(b), (std::vector<vorn_handle>{7, x}));
        drop(r);
        drop(b);
    }

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

    // Elements are cut to 8 bits, a view is copied and terminated.
    const struct {
        vorn_handle x;
        const char *want;
    } texts[] = {{seq("{72,105.7}"), "Hi"},
                 {seq("{300,-1.5}"), ",\xFF"},
                 {seq("{}"), " "},
                 {300, "300"},
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

    // The result survives the release of its variable and goes back as a temporary.
    vorn_handle r = make_string("result"), v = held(r);
    EXPECT_EQ(func_cleanup(r, 1, v), r);
    EXPECT_EQ(refcount(r), 0);
    destroy(r);
    EXPECT_EQ(func_cleanup(5, 0), 5u);

    // A returned view gets storage of its own; its base dies with the variable.
    vorn_handle base = held(make_string("abcdef")), out = func_cleanup(view_of(base, 3, 2), 1, base);
    EXPECT_EQ(vorn_record_of(out)->base, 0u);
    EXPECT_EQ(refcount(out), 0);
    EXPECT_STREQ(convert_string(out), "cd");
    destroy(out);

    vorn_handle line = command_line();
    EXPECT_EQ(counts({line, null_sequence}), "1,1");
    EXPECT_EQ(stored_length(null_sequence), 0);
    expect_child(
        [] {
            char arg0[] = "prog", arg1[] = "", arg2[] = "two words";
            char *argv[] = {arg0, arg1, arg2};
            init_command_line(3, argv);
            vorn_handle l = command_line();
            printf("%d|", length(l));
            for (vorn_handle w : elements(l))
                printf("%d:%d:%d:%s|", refcount(w), stored_length(w), wrap_sequence(w), convert_string(w));
            printf("%d", refcount(null_sequence));
        },
        "3|1:-4:1:prog|1:0:1: |1:-9:1:two words|1", 0);
}
