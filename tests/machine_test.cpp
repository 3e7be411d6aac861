// The machine interface: blocks of the low region written and read through
// the library and directly, the poke and peek forms, ranges, texts, calls
// into code, the dispatcher's ids, and the byte and float conversions.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "support.h"

using namespace vorn_test;

namespace {

using RawMemory = store_test;
using Machine = store_test;
using Conversions = store_test;

unsigned char *ptr(vorn_handle address) { return reinterpret_cast<unsigned char *>(uintptr_t{address}); }
vorn_handle pair(vorn_handle address, int32_t count) { return build_sequence(2, address, count); }

}  // namespace

TEST_F(RawMemory, BlocksLieLowHoldWhatIsWrittenAndAreReused)
{
    std::vector<vorn_handle> blocks;
    for (size_t n : {0u, 2u, 100u, 5000u, 1u << 20, 64u << 20, 300u << 20, 200u << 20, 200u << 20}) {
        vorn_handle a = wrap_allocate(n);
        ASSERT_TRUE(vorn_is_integer(a) && a > 0 && a < 0x80000000u) << n;
        if (n > 0) {  // first and last byte, written directly and through the library
            ptr(a)[0] = 7;
            wrap_poke(a + n - 1, 9);
            EXPECT_EQ(wrap_peek(a) * 10 + ptr(a)[n - 1], 79u) << n;
        }
        blocks.push_back(a);
    }
    for (vorn_handle a : blocks)
        wrap_free(a);
    wrap_free(0);
    vorn_handle again = wrap_allocate(300u << 20);
    EXPECT_NE(std::find(blocks.begin(), blocks.end(), again), blocks.end());
    wrap_free(again);
    EXPECT_EQ(wrap_allocate(static_cast<vorn_handle>(-1)), 0u);  // 4 GiB cannot lie low
}

TEST_F(RawMemory, PokePeekRangesTextsAndReleases)
{
    vorn_handle a = wrap_allocate(64);
    vorn_handle kept = held(seq("{1,2.7,3}"));
    const struct {
        void (*write)(vorn_handle, vorn_handle);
        vorn_handle value;
        std::vector<int> want;
    } writes[] = {{wrap_poke, 300, {44}},
                  {wrap_poke, static_cast<vorn_handle>(-1), {255}},
                  {wrap_poke, make_double(65.9), {65}},
                  {wrap_poke, kept, {1, 2, 3}},
                  {wrap_poke, make_string("ab"), {97, 98}},
                  {wrap_poke4, static_cast<vorn_handle>(-1), {255, 255, 255, 255}},
                  {wrap_poke4, make_double(4294967295.0), {255, 255, 255, 255}},
                  {wrap_poke4, make_string("\xc8"), {200, 0, 0, 0}},
                  {wrap_poke4, words_of({258, -2}), {2, 1, 0, 0, 254, 255, 255, 255}}};
    for (const auto &w : writes) {
        std::memset(ptr(a), 0xAA, 8);
        w.write(a, w.value);
        EXPECT_EQ(std::vector<int>(ptr(a), ptr(a) + w.want.size()), w.want);
    }
    EXPECT_EQ(counts({kept}), "1");
    wrap_poke(0x80000000u, null_sequence);  // nothing written, no test
    std::memcpy(ptr(a), "\xc8\x01\x00\x00\x00\x00\x00\x90", 8);
    vorn_handle wide = make_double(static_cast<double>(reinterpret_cast<uintptr_t>("wide")));
    expect_shown({{wrap_peek(a), "200"},
                  {wrap_peek(make_double(a + 1.9)), "1"},
                  {wrap_peek(pair(a, 1)), "b{200}"},
                  {wrap_peek(build_sequence(2, wide, 4)), "b{119,105,100,101}"},
                  {wrap_peek4(a), "456"},
                  {wrap_peek4(pair(a, 2)), "{456,-1879048192d}"}});
    EXPECT_EQ(peek(a, 1), -56);
    auto *block = reinterpret_cast<char *>(peek(make_double(a), 3));
    EXPECT_EQ(std::string(block, 4), std::string("\xc8\x01\x00\x00", 4));
    std::free(block);

    std::memcpy(ptr(a), "0123456789", 11);
    wrap_mem_copy(a + 1, make_double(a), 10);  // overlapping: no smearing
    wrap_mem_set(a + 11, 0x141, 3);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(ptr(a)), 14), "00123456789AAA");
    vorn_handle text = allocate_string(make_string("hello"));
    expect_shown({{peeks(text), "b{104,101,108,108,111}"}, {peeks(text + 5), "{}"}});
    wrap_free(a);
    wrap_free(text);
    let_go({&kept});
}

TEST_F(RawMemory, CallRunsExecutableCodeOnly)
{
    vorn_handle a = wrap_allocate(8192);
    unsigned char *page = ptr((a + 4095) & ~4095u);
    std::memcpy(page, "\xb8\x2a\x00\x00\x00\xc3\xb8\x00\x00\x00\x90\xc3", 12);  // 42; 0x90000000
    vorn_handle at = static_cast<vorn_handle>(reinterpret_cast<uintptr_t>(page));
    EXPECT_NE(run_child([&] { dup2(open("/dev/null", O_WRONLY), 2), wrap_call(at); }).status, 0);  // faults
    ASSERT_EQ(mprotect(page, 4096, PROT_READ | PROT_EXEC), 0);
    expect_shown({{wrap_call(at), "42"}, {wrap_call(make_double(at + 6)), "-1879048192d"}});
    mprotect(page, 4096, PROT_READ | PROT_WRITE);
    wrap_free(a);
}

TEST_F(RawMemory, MisuseIsFatal)
{
    vorn_handle d = make_double(10.0), a = wrap_allocate(16);
    char poke_d[40];
    std::snprintf(poke_d, sizeof poke_d, "Ill. Poke adres (%x)\n", d);
    expect_fatal({{[&] { wrap_allocate(d); }, "Arg. of allocator must be a integer!\n"},
                  {[&] { wrap_free(d); }, "Arg. of free is no allocated argument!\n"},
                  {[&] { wrap_allocate_low(1); }, "allocate_low not implemented !\n"},
                  {[&] { wrap_free_low(1); }, "free_low has not implemented !\n"},
                  {[&] { wrap_poke(d, 1); }, poke_d},
                  {[&] { wrap_poke4(d, seq("{1}")); }, poke_d},
                  {[&] { wrap_mem_copy(d, a, 1); }, poke_d},
                  {[&] { wrap_mem_set(d, 0, 0); }, poke_d},
                  {[&] { poke(static_cast<int32_t>(d), "", 1); }, poke_d},
                  {[&] { wrap_poke(d, seq("{1,{2},3}")); }, "At poke : sequence in sequence not allowed\n"},
                  {[&] { wrap_peek(pair(a, 0)); }, "Length of peek must be a greater zero\n"},
                  {[&] { wrap_peek4(build_sequence(2, a, d)); }, "Length of peek must be a integer\n"},
                  {[&] { wrap_peek(build_sequence(1, a)); }, "Length of peek must be a integer\n"},
                  {[&] { wrap_dos_interrupt(0); }, "Dos_int not implemented ! (sorry)\n"},
                  {[&] { machine(32, 0); }, "allocate_low not implemented !\n"},
                  {[&] { machine(33, 0); }, "free_low has not implemented !\n"}});
    wrap_free(a);
    destroy(d);
}

TEST_F(Machine, IdsDoTheirServicesAndWarnOtherwise)
{
    expect_child(
        [] {
            for (int32_t id : {5, 7, 64, -1})
                machine(id, 0);
        },
        "warning: machine id 5 has not been implemented\nwarning: machine id 7 has not been implemented\n"
        "warning: machine id 64 has not been implemented\nwarning: machine id -1 has not been implemented\n",
        0);
    EXPECT_EQ(machine(43, 0), 0u);
    EXPECT_EQ(machine(43, 0), 0u);
    EXPECT_EQ(machine(60, 1), 0u);
    vorn_handle a = machine(16, 10);
    EXPECT_TRUE(a > 0 && a < 0x80000000u);
    machine(17, a);
    expect_shown({{machine(25, 0), "{1,1}"}, {wrap_peek(pair(machine(55, 0), 4)), "b{127,69,76,70}"}});

    char before[4096];
    ASSERT_NE(getcwd(before, sizeof before), nullptr);
    EXPECT_EQ(take_bytes(machine(23, 0)), before);
    EXPECT_EQ(machine(63, make_string("")), static_cast<vorn_handle>(-1));
    EXPECT_EQ(machine(63, make_string("..")), 0u);
    char after[4096];
    EXPECT_EQ(getcwd(after, sizeof after), std::string(before).substr(0, std::string(before).rfind('/')));
    EXPECT_EQ(chdir(before), 0);
}

TEST_F(Conversions, ExactBytesAndValues)
{
    expect_shown({{int_to_bytes(1), "b{1,0,0,0}"},
                  {int_to_bytes(static_cast<vorn_handle>(-1)), "b{255,255,255,255}"},
                  {int_to_bytes(make_double(256.9)), "b{0,1,0,0}"},
                  {int_to_bytes(make_double(-1.5)), "b{255,255,255,255}"},
                  {int_to_bytes(make_double(4294967295.0)), "b{255,255,255,255}"},
                  {bytes_to_int(seq("b{1,0,0,0}")), "1"},
                  {bytes_to_int(seq("b{255,255,255,255}")), "-1"},
                  {bytes_to_int(words_of({256, 0, 0, 0})), "256"},
                  {bytes_to_int(seq("b{0,0,0,144}")), "-1879048192d"},
                  {atom_to_float32(1), "b{0,0,128,63}"},
                  {atom_to_float32(make_double(0.1)), "b{205,204,204,61}"},
                  {atom_to_float32(16777217), "b{0,0,128,75}"},
                  {atom_to_float32(make_double(1e300)), "b{0,0,128,127}"},
                  {atom_to_float32(make_double(-INFINITY)), "b{0,0,128,255}"},
                  {atom_to_float64(1), "b{0,0,0,0,0,0,240,63}"},
                  {atom_to_float64(make_double(NAN)), "b{0,0,0,0,0,0,248,127}"},
                  {float32_to_atom(seq("b{0,0,128,63}")), "1d"},
                  {float32_to_atom(words_of({256, 0, 128, 63})), "1d"},
                  {float32_to_atom(seq("b{0,0,128,255}")), "-infd"},
                  {float64_to_atom(seq("b{0,0,0,0,0,0,248,127}")), "nand"},
                  {float64_to_atom(seq("b{0,0,0,0,0,0,240,63}")), "1d"}});
    expect_fatal({{[] { bytes_to_int(seq("{1,2,3}")); }, "Bytes_to_int should have a sequence of 4 bytes\n"},
                  {[] { atom_to_float32(seq("{}")); }, "Expected atom, not a sequence."},
                  {[] { atom_to_float64(seq("{1}")); }, "Expected atom, not a sequence."},
                  {[] { float32_to_atom(1); }, "float32_to_int should have a sequence of 4 bytes\n"},
                  {[] { float64_to_atom(seq("b{1,2,3,4,5,6,7}")); },
                   "float64_to_int should have a sequence of 8 bytes\n"}});
}
