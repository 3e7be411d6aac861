// A fuzz target for the reading routines: a real file read back with a mix of wrap_gets,
// wrap_getc and wrap_get_bytes (results sensible, the position moving forward to the end).
// Input: the open mode (bit 0: binary), the plan of reads, the file's contents.
#include <unistd.h>

#include "harness.h"

void fuzz_one(const uint8_t *data, size_t size)
{
    if (size < 2)
        return;
    std::string path = "/tmp/vorn_reading_fuzz_" + std::to_string(getpid());
    FILE *out = std::fopen(path.c_str(), "wb");
    std::fwrite(data + 2, 1, size - 2, out);
    std::fclose(out);
    const int32_t file_size = int32_t(size - 2);
    int32_t fn = wrap_open(build_string(path.c_str()), build_string(data[0] & 1 ? "rb" : "r"));
    check(fn >= 3 && fn <= 20, "a readable file gets a file number");
    int32_t last = 0, c = 0;
    for (int step = 0; c != -1; ++step) {
        int how = (data[1] >> (2 * (step % 4))) & 3, count = 1 + (step * 7 + data[0]) % 97;
        vorn_handle r = how == 1 ? vorn_handle(wrap_getc(fn))
                        : how    ? wrap_get_bytes(fn, count)
                                 : wrap_gets(fn);
        c = r == vorn_handle(-1) ? -1 : how == 1 ? int32_t(r) : 0;
        bool sensible =
            how == 1 ? c >= 0 && c <= 255
                     : vorn_is_sequence(r) && refcount(r) == 0 && length(r) <= (how ? count : file_size + 1);
        check(c == -1 || sensible, "a character, or a temporary of a sensible length");
        if (c != -1 && how != 1)
            destroy(r);
        check(wrap_where(fn) >= last && wrap_where(fn) <= file_size,
              "the position moves forward within the file");
        last = wrap_where(fn);
    }
    check(last == file_size, "the end of input is the end of the file");
    wrap_close(fn);
    std::remove(path.c_str());
}
