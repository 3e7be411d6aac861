// Building sequences: literals and byte packing, repetitions, the text of an
// object, procedure and function clean-up, the start-up objects.
#include <gtest/gtest.h>

#include <string>

#include "support.h"

using namespace vorn_test;

namespace {

vorn_handle element(vorn_handle s, int k) { return static_cast<vorn_handle *>(vorn_record_of(s)->data)[k]; }

}  // namespace

TEST(Builders, BuildSequencePacksBytes)
{
    leak_check leaks;
    vorn_handle s = build_sequence(3, 65, 66, 67);
    EXPECT_EQ(vorn_record_of(s)->length, -3);
    EXPECT_STREQ(static_cast<char *>(vorn_record_of(s)->data), "ABC");
    EXPECT_EQ(news, vorn_record_of(s));
    EXPECT_EQ(refcount(s), 0);
    destroy(s);

    struct {
        vorn_handle a, b;
    } words[] = {{65, 256}, {0xFFFFFFFF, 1}, {1000, 2}};
    for (auto &c : words) {
        vorn_handle t = build_sequence(2, c.a, c.b);
        EXPECT_EQ(vorn_record_of(t)->length, 2) << c.a;
        EXPECT_EQ(element(t, 0), c.a);
        destroy(t);
    }
    vorn_handle e = build_sequence(0);
    EXPECT_EQ(vorn_record_of(e)->length, 0);
    EXPECT_NE(e, null_sequence);
    destroy(e);

    vorn_handle d = make_double(0.5);
    vorn_handle dd = build_sequence(2, d, d);
    EXPECT_EQ(refcount(d), 2);
    destroy(dd);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Builders, Repeat)
{
    leak_check leaks;
    vorn_handle spaces = repeat(32, 3);
    EXPECT_EQ(vorn_record_of(spaces)->length, -3);
    EXPECT_STREQ(static_cast<char *>(vorn_record_of(spaces)->data), "   ");
    destroy(spaces);

    vorn_handle d = make_double(1.25);
    vorn_handle r = repeat(d, 3);
    EXPECT_EQ(vorn_record_of(r)->length, 3);
    EXPECT_EQ(refcount(d), 3);
    EXPECT_EQ(element(r, 0), d);
    EXPECT_EQ(element(r, 2), d);
    destroy(r);

    vorn_handle big = repeat(256, 2);
    EXPECT_EQ(vorn_record_of(big)->length, 2);
    destroy(big);
    vorn_handle neg = repeat(0xFFFFFFFF, 1);  // -1 is not a byte
    EXPECT_EQ(vorn_record_of(neg)->length, 1);
    destroy(neg);

    int32_t before = refcount(null_sequence);
    EXPECT_EQ(repeat(make_double(2), 0), null_sequence);  // releases its value
    EXPECT_EQ(repeat(make_string("x"), static_cast<vorn_handle>(-2)), null_sequence);
    EXPECT_EQ(refcount(null_sequence), before);
    EXPECT_EQ(leaks.made(), 0);

    auto c = run_child([] { repeat(1, make_double(2.0)); });
    EXPECT_EQ(c.out, "RUN_TIME_ERROR : sec. arg of repeat must be a integer\n");
    EXPECT_EQ(c.status, 1);
}

TEST(Builders, ConvertString)
{
    leak_check leaks;
    vorn_handle owned = make_string("text");
    EXPECT_EQ(convert_string(owned), vorn_record_of(owned)->data);  // no copy
    destroy(owned);

    vorn_handle mixed = build_sequence(2, 72, make_double(105.7));
    EXPECT_STREQ(convert_string(mixed), "Hi");
    destroy(mixed);
    vorn_handle wide = build_sequence(2, 300, make_double(-1.5));
    EXPECT_STREQ(convert_string(wide), ",\xFF");  // 300 & 255 = 44, trunc(-1.5) & 255
    destroy(wide);
    vorn_handle empty = build_sequence(0);
    EXPECT_STREQ(convert_string(empty), " ");
    destroy(empty);
    EXPECT_STREQ(convert_string(300), "300");
    EXPECT_STREQ(convert_string(0xFFFFFFFF), "-1");
    vorn_handle d = make_double(2.5);
    EXPECT_STREQ(convert_string(d), "2.5");
    destroy(d);

    // A view of a string is copied and terminated.
    vorn_handle s = make_string("abcdef");
    reference(s);
    int32_t v = new_sequence();
    objects[v].data = static_cast<char *>(vorn_record_of(s)->data) + 1;
    objects[v].length = -3;
    objects[v].base = s;
    EXPECT_STREQ(convert_string(vorn_sequence_handle(v)), "bcd");
    destroy(vorn_sequence_handle(v));
    EXPECT_EQ(leaks.made(), 0);

    // Eight pool slots: the ninth conversion reuses the first one's buffer.
    char *first = convert_string(1);
    for (int k = 2; k <= 8; ++k)
        convert_string(static_cast<vorn_handle>(k));
    EXPECT_STREQ(first, "1");
    EXPECT_EQ(convert_string(123456), first);
    EXPECT_STREQ(first, "123456");

    auto c = run_child([] { convert_string(build_sequence(2, 65, build_sequence(0))); });
    EXPECT_EQ(c.out, "RUN_TIME_ERROR : sequence found inside character string");
    EXPECT_EQ(c.status, 1);
}

TEST(Builders, ProcAndFuncCleanup)
{
    leak_check leaks;
    vorn_handle a = 0, b = 0;
    assign(&a, make_double(1));
    assign(&b, make_string("kept"));
    reference(b);  // also held elsewhere
    proc_cleanup(3, a, b, 17);
    EXPECT_EQ(refcount(b), 1);
    EXPECT_EQ(leaks.made(), 1);
    vorn_handle only = b;
    proc_cleanup(1, only);
    EXPECT_EQ(leaks.made(), 0);

    // The value returned survives the release of the variable holding it and
    // goes back as a temporary.
    vorn_handle r = make_string("result");
    vorn_handle v = 0;
    assign(&v, r);
    EXPECT_EQ(func_cleanup(r, 1, v), r);
    EXPECT_EQ(refcount(r), 0);
    destroy(r);
    EXPECT_EQ(func_cleanup(5, 0), 5u);

    // A returned view gets storage of its own; its base dies with the variable.
    vorn_handle base = 0;
    assign(&base, make_string("abcdef"));
    int32_t vi = new_sequence();
    objects[vi].data = static_cast<char *>(vorn_record_of(base)->data) + 2;
    objects[vi].length = -2;
    objects[vi].base = reference(base);
    vorn_handle view = vorn_sequence_handle(vi);
    vorn_handle out = func_cleanup(view, 1, base);
    EXPECT_EQ(out, view);
    EXPECT_EQ(vorn_record_of(out)->base, 0u);
    EXPECT_EQ(refcount(out), 0);
    EXPECT_STREQ(convert_string(out), "cd");
    destroy(out);
    EXPECT_EQ(leaks.made(), 0);
}

TEST(Builders, CommandLine)
{
    vorn_handle line = command_line();
    EXPECT_EQ(line, command_line());
    EXPECT_EQ(refcount(line), 1);
    EXPECT_GE(length(line), 1);
    EXPECT_EQ(refcount(null_sequence), 1);
    EXPECT_EQ(vorn_record_of(null_sequence)->length, 0);

    auto c = run_child([] {
        char arg0[] = "prog", arg1[] = "", arg2[] = "two words";
        char *argv[] = {arg0, arg1, arg2};
        init_command_line(3, argv);
        vorn_handle l = command_line();
        vorn_handle *w = static_cast<vorn_handle *>(vorn_record_of(l)->data);
        printf("%d|", length(l));
        for (int k = 0; k < 3; ++k)
            printf("%d:%d:%d:%s|", refcount(w[k]), vorn_record_of(w[k])->length, wrap_sequence(w[k]),
                   convert_string(w[k]));
        printf("%d", refcount(null_sequence));
    });
    EXPECT_EQ(c.out, "3|1:-4:1:prog|1:0:1: |1:-9:1:two words|1");
    EXPECT_EQ(c.status, 0);
}
