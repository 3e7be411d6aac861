// A fuzz target for the reading routines: the input is written to a real file
// that is read back through the file table with a mix of wrap_gets, wrap_getc
// and wrap_get_bytes.  Every result must be -1 or a temporary of a sensible
// length, the position only moves forward and ends at the end of the file,
// and nothing read may outlive the run.
//
// Input: the open mode (bit 0: binary), the plan of reads, the file's contents.
#include <unistd.h>

#include "harness.h"

namespace {

// A read result is -1, or a temporary sequence of at most `limit` elements (then let go).
bool take_result(vorn_handle r, int32_t limit)
{
    if (r == vorn_handle(-1))
        return false;
    check(vorn_is_sequence(r) && refcount(r) == 0 && length(r) <= limit, "a temporary of a sensible length");
    destroy(r);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    std::string path = "/tmp/vorn_reading_fuzz_" + std::to_string(getpid());
    FILE *out = std::fopen(path.c_str(), "wb");
    std::fwrite(data + 2, 1, size - 2, out);
    std::fclose(out);
    const int32_t file_size = int32_t(size - 2);
    int before = live_records();
    int32_t fn = wrap_open(build_string(path.c_str()), build_string(data[0] & 1 ? "rb" : "r"));
    check(fn >= 3 && fn <= 20, "a readable file gets a file number");
    int32_t last = 0, c = 0;
    for (int step = 0;; ++step) {
        int32_t count = 1 + (step * 7 + data[0]) % 97;
        switch ((data[1] >> (2 * (step % 4))) & 3) {
        case 0:
            c = take_result(wrap_gets(fn), file_size + 1) ? 0 : -1;
            break;
        case 1:
            c = wrap_getc(fn);
            check(c >= -1 && c <= 255, "getc gives a byte or -1");
            break;
        default:
            c = take_result(wrap_get_bytes(fn, count), count) ? 0 : -1;
        }
        int32_t where = wrap_where(fn);
        check(where >= last && where <= file_size, "the position moves forward within the file");
        last = where;
        if (c == -1)
            break;
    }
    check(last == file_size, "the end of input is the end of the file");
    wrap_close(fn);
    check(live_records() == before, "every record made while reading is freed");
    std::remove(path.c_str());
    return 0;
}
