// harness.h -- what every fuzz target shares: the reference model and the
// record helpers of the differential test, a cursor over the input, and the
// start-up (define VORN_FUZZ_QUIET first to send standard output to /dev/null).
#include <vorn.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// The reference model is compiled into the target (one translation unit).
#include "../tests/differential/model.cpp"
#include "../tests/differential/records.h"

namespace {

// Reads the input byte by byte; zeros past its end.
struct reader {
    const uint8_t *p;
    size_t n;
    bool done() const { return n == 0; }
    uint8_t byte() { return n ? (--n, *p++) : 0; }
    uint32_t word()
    {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k)
            v = v << 8 | byte();
        return v;
    }
    double real()
    {
        uint64_t bits = static_cast<uint64_t>(word()) << 32 | word();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
};

// Any 32-bit value made a member of the integer class.
inline int32_t integer_of(uint32_t v)
{
    return int32_t((v & 0xC0000000u) == 0x80000000u ? v & 0x7FFFFFFFu : v);
}

// Checks `ok`, stopping the run with `what` on standard error when it fails.
void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

}  // namespace

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
