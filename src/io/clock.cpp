// clock.cpp -- the clock built-ins: local date as numbers and as text, the
// wall-clock time in seconds with a fraction, and the two-field time record.
// Seconds are read and kept in 64 bits, so nothing wraps in 2038.
#include <cstdio>
#include <ctime>

#include "../core/core.h"
#include "io.h"

using namespace vorn::core;

namespace {

// The wall clock: whole seconds since 1970 (UTC) and the microseconds of
// the current second.
struct wall_time {
    int64_t seconds;
    int32_t microseconds;
};
wall_time read_clock()
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return {static_cast<int64_t>(now.tv_sec), static_cast<int32_t>(now.tv_nsec / 1000)};
}

// The current time broken down in the local time zone, as the environment
// names it now (TZ may have been set since the last call).
struct tm local_now()
{
    time_t seconds = static_cast<time_t>(read_clock().seconds);
    struct tm t = {};
    tzset();
    localtime_r(&seconds, &t);
    return t;
}

}  // namespace

extern "C" {

// {year, month, day, hour, minute, second, weekday (Sunday 1), day of the
// year (1 January 1)}, local time, as a new sequence.
VORN_API vorn_handle wrap_date(void)
{
    struct tm t = local_now();
    int32_t fields[8] = {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,     t.tm_hour,
                         t.tm_min,         t.tm_sec,     t.tm_wday + 1, t.tm_yday + 1};
    handle *w = alloc_words(8);
    for (int k = 0; k < 8; ++k)
        w[k] = int_handle(fields[k]);
    return make_sequence(w, 8);
}

// The local time as a new 24-character string, "Fri Dec  4 02:22:21 2026".
VORN_API vorn_handle wrap_fdate(void)
{
    static const char days[][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char months[][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    struct tm t = local_now();
    char text[64];
    int n = std::snprintf(text, sizeof text, "%.3s %.3s%3d %.2d:%.2d:%.2d %d", days[t.tm_wday % 7],
                          months[t.tm_mon % 12], t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_year + 1900);
    return make_bytes(text, static_cast<size_t>(n));
}

// Seconds since 1970 (UTC) plus the microseconds x 0.000001, a new double.
VORN_API vorn_handle wrap_time(void)
{
    wall_time now = read_clock();
    return make_double(static_cast<double>(now.seconds) + now.microseconds * 0.000001);
}

// Fills the record with the seconds (their low 32 bits, read unsigned: good
// until 2106) and microseconds; 0 always.  The second argument is ignored.
VORN_API int32_t vorn_gettimeofday(vorn_timeval *record, void *)
{
    wall_time now = read_clock();
    if (record != nullptr) {
        record->seconds = static_cast<uint32_t>(now.seconds);
        record->microseconds = static_cast<uint32_t>(now.microseconds);
    }
    return 0;
}

}  // extern "C"
