// Foreign routines against real libraries (the C and math libraries, the test
// library built beside the tests), calls back into this program with their
// reference hand-over and the fatal messages.
#include <unistd.h>

#include "support.h"

using namespace vorn_test;

namespace {

// A handle made for one call, dropped (destroyed when nobody holds it) at the end of the statement.
struct temp {
    vorn_handle h;
    operator vorn_handle() const { return h; }
    ~temp() { drop(h); }
};

// Machine words from and to handles: an integer, or a double when wider (dropped once read).
int64_t word_of(vorn_handle h)
{
    int64_t w = vorn_is_double(h) ? int64_t(vorn_double_value(h)) : int32_t(h);
    w = vorn_is_sequence(h) ? INT64_MAX : w;  // never a word
    drop(h);
    return w;
}
vorn_handle word(int64_t w)
{
    return w >= VORN_MIN_INTEGER && w <= INT32_MAX ? vorn_handle(w) : make_double(w);
}

int64_t load(const char *name) { return word_of(open_dll(temp{make_string(name)})); }
int64_t find(int64_t lib, const char *name)
{
    return word_of(define_c_func(temp{word(lib)}, temp{make_string(name)}));
}
int64_t call(vorn_handle (*f)(vorn_handle, vorn_handle), int64_t routine, vorn_handle list)
{
    return word_of(f(temp{word(routine)}, list));
}

// A routine of the translated program: the sum of its arguments, which it gives up as it returns.
vorn_handle add_and_let_go(vorn_handle a, vorn_handle b)
{
    vorn_handle sum = add(a, b);
    proc_cleanup(2, a, b);
    return sum;
}

}  // namespace

using Foreign = store_test;

TEST_F(Foreign, LibrariesAndRoutinesAreFoundByExactName)
{
    int64_t libc = load("libc.so.6"), libm = load("libm.so.6");
    EXPECT_EQ(load("libc.so.6"), libc);
    EXPECT_EQ(load("/nonexistent/libnone.so"), 0);
    EXPECT_NE(find(libm, "cos"), -1);
    EXPECT_EQ(word_of(define_c_proc(temp{word(libc)}, temp{make_string("abs")})), find(libc, "abs"));
    // case differs, only in a library libm depends on, no library, not a library, not a word
    std::pair<int64_t, const char *> missing[] = {
        {libc, "STRLEN"}, {libm, "strlen"}, {0, "strlen"}, {12345, "strlen"}, {libc, "no_such_routine"}};
    for (auto [library, name] : missing)
        EXPECT_EQ(find(library, name), -1) << library << " " << name;
    EXPECT_EQ(define_c_func(null_sequence, null_sequence), vorn_handle(-1));
}

TEST_F(Foreign, CallsPassArgumentsInOrderAndBringResultsBack)
{
    int64_t lib = load(VORN_FOREIGN_LIB), libc = load("libc.so.6");
    for (int n = 0; n <= 15; ++n) {  // signs, order and a wide value (a double) all arrive
        uint64_t sum = 7;
        vorn_handle list = build_sequence(0);
        for (int64_t k = 0, a; k < n; ++k, sum = sum * 31 + uint64_t(a), list = append(list, word(a)))
            a = k == 2 ? (INT64_C(1) << 40) + 5 : k % 2 ? -977 * k : 1000003 * k;
        list = held(list);
        EXPECT_EQ(call(c_func, find(lib, ("sum" + std::to_string(n)).c_str()), list),
                  int64_t(sum % 1000000007));
        let_go({&list});
    }
    vorn_handle ab = held(make_string("ab")), many = held(repeat(1, 16));
    vorn_handle hello = allocate_string(make_string("hello")), text = held(build_sequence(1, hello));
    EXPECT_EQ(call(c_func, find(lib, "add32"), ab), 195);
    EXPECT_EQ(stored_length(ab), 2);  // widened in place
    EXPECT_EQ(call(c_func, find(lib, "sum15"), many), 0);
    EXPECT_EQ(call(c_func, find(libc, "strlen"), text), 5);
    let_go({&ab, &many, &text});
    wrap_free(hello);
    c_proc(temp{word(find(lib, "keep"))}, build_sequence(1, -7));
    // routines of no arguments; 0 and -1 are no address and call nothing
    std::pair<int64_t, int64_t> results[] = {{find(lib, "kept"), -7},
                                             {find(lib, "high_bit32"), INT32_MIN},
                                             {find(lib, "minus_one"), -1},
                                             {find(lib, "wide"), 0x7f1234567890},
                                             {find(libc, "getpid"), getpid()},
                                             {0, 0},
                                             {-1, 0}};
    for (auto [routine, result] : results)
        EXPECT_EQ(call(c_func, routine, null_sequence), result) << routine;
    EXPECT_EQ(call(c_func, find(libc, "abs"), words_of({-5})), 5);
}

TEST_F(Foreign, CallFuncHandsReferencesToTheRoutine)
{
    int64_t routine = reinterpret_cast<int64_t>(&add_and_let_go);
    vorn_handle x = make_double(1.5), y = make_double(2.5);
    vorn_handle list = held(build_sequence(2, x, y)), many = held(repeat(x, 16)),
                ab = held(make_string("ab"));
    EXPECT_EQ(call(call_func, routine, list), 4);
    EXPECT_EQ(call(call_func, routine, many), 0);
    EXPECT_EQ(counts({list, many, x, y}), "1,1,17,1");  // held elements survive, counts unchanged
    EXPECT_EQ(call(call_func, routine, ab), 195);
    EXPECT_EQ(stored_length(ab), 2);
    let_go({&list, &many, &ab});
    // temporary lists are freed, their references go to the routine or, uncalled, are released: no leak
    EXPECT_EQ(call(call_func, routine, build_sequence(2, make_double(1.0), make_double(2.0))), 3);
    EXPECT_EQ(call(call_func, routine, repeat(make_double(1.0), 16)), 0);
    call_proc(0, build_sequence(1, make_double(1.0)));
}

TEST(ForeignFatal, MessagesNameTheRoutine)
{
    expect_fatal({{[] { c_proc(1, 5); }, "2nd parameter of c_/call_proc must be a sequence\n"},
                  {[] { c_func(1, 5); }, "2nd parameter of c_/call_func must be a sequence\n"},
                  {[] { call_proc(1, 5); }, "2e parameter of c_/call_proc must be a sequence\n"},
                  {[] { call_func(1, 5); }, "2e parameter of c_/call_func must be a sequence\n"},
                  {[] { define_c_var(0, 0); }, "FIXME: not supported\n"}});
}
