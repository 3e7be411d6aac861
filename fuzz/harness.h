// harness.h -- what every fuzz target shares: the differential test's model, a cursor over
// the input, a value drawn from it, the start-up (VORN_FUZZ_QUIET discards standard output)
// and the entry point, which runs the target's `fuzz_one` and checks that no record is left.
#include "../tests/differential/model.h"

namespace {

// Reads the input byte by byte; zeros past its end.
struct reader {
    const uint8_t *p;
    size_t n;
    uint8_t byte() { return n ? (--n, *p++) : 0; }
    uint32_t word()
    {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k)
            v = v << 8 | byte();
        return v;
    }
};

// An integer of any size, a double (`wide`: any bit pattern), or a sequence
// (bytes or handles) of up to 15 such values, nested at most `depth` deep.
model::Value value_from(reader &in, int depth, bool wide)
{
    uint8_t how = in.byte();
    uint32_t w = in.word();
    int32_t i = int32_t((w & 0xC0000000u) == 0x80000000u ? w & 0x7FFFFFFFu : w);
    uint64_t bits = uint64_t(w) << 32 | in.word();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    int kind = how % (depth > 0 ? 4 : 2);
    std::vector<model::Value> e;
    for (int n = kind >= 2 ? how >> 4 : 0; n > 0; --n)
        e.push_back(kind == 2 ? model::integer(in.byte()) : value_from(in, depth - 1, wide));
    return kind == 0   ? model::integer(i)
           : kind == 1 ? model::dbl(wide ? d : i + (how >> 2) % 4 * 0.25)
                       : model::seq(e, kind == 2 ? model::Form::bytes : model::Form::words);
}

// Stops the run with `what` on standard error when `ok` fails.
void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

}  // namespace

void fuzz_one(const uint8_t *data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    int before = vorn_live_records();
    fuzz_one(data, size);
    check(vorn_live_records() == before, "no record left behind");
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    init_command_line(*argc, *argv);
    init_files();
#ifdef VORN_FUZZ_QUIET
    if (std::freopen("/dev/null", "w", stdout) == nullptr)
        return 1;
#endif
    return 0;
}
