// A fuzz target for the reading routines' byte-level decoding: the input is
// written to a real file that is then read back through the file table with
// a mix of wrap_gets, wrap_getc and wrap_get_bytes.  Every result must be
// the end marker or a well-formed temporary, the position may only move
// forward and never past the end, and nothing read may outlive the run.
//
// Input: one byte choosing the open mode, one byte choosing the sequence of
// reads, then the file's contents.
#include <unistd.h>

#include "harness.h"

namespace {

// Checks a read result: -1, or a temporary sequence of at most `limit`
// elements; then lets it go.
bool take_result(vorn_handle r, int32_t limit)
{
    if (r == static_cast<vorn_handle>(-1))
        return false;
    check(vorn_is_sequence(r), "a read gives a sequence or -1");
    check(refcount(r) == 0, "a read result is a temporary");
    int32_t n = length(r);
    check(n >= 0 && n <= limit,
          "a read result has a sensible length");  // a zero byte may cut a line to nothing
    destroy(r);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    uint8_t mode = data[0], plan = data[1];
    std::string path = "/tmp/vorn_reading_fuzz_" + std::to_string(getpid());
    FILE *out = std::fopen(path.c_str(), "wb");
    std::fwrite(data + 2, 1, size - 2, out);
    std::fclose(out);
    const int32_t file_size = static_cast<int32_t>(size - 2);

    int before = live_records();
    int32_t fn = wrap_open(build_string(path.c_str()), build_string(mode & 1 ? "rb" : "r"));
    check(fn >= 3 && fn <= 20, "a readable file gets a file number");
    int32_t last = 0;
    for (int step = 0;; ++step) {
        bool more;
        switch ((plan >> (2 * (step % 4))) & 3) {
        case 0:
            more = take_result(wrap_gets(fn), file_size + 1);
            break;
        case 1: {
            int32_t c = wrap_getc(fn);
            check(c == -1 || (c >= 0 && c <= 255), "getc gives a byte or -1");
            more = c != -1;
            break;
        }
        default: {
            int32_t count = 1 + (step * 7 + mode) % 97;
            more = take_result(wrap_get_bytes(fn, count), count);
            break;
        }
        }
        int32_t where = wrap_where(fn);
        check(where >= last && where <= file_size, "the position moves forward within the file");
        last = where;
        if (!more)
            break;
    }
    check(last == file_size, "the end of input is the end of the file");
    wrap_close(fn);
    check(live_records() == before, "every record made while reading is freed");
    std::remove(path.c_str());
    return 0;
}
