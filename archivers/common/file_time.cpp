#include "file_time.h"

#include <ctime>

namespace kt::arc {
namespace {
constexpr int64_t kFiletimeEpochDiff = 11644473600LL;  // 1601-01-01 .. 1970-01-01 in seconds
}

uint32_t UnixToDosDateTime(int64_t unixSeconds) {
    time_t t = static_cast<time_t>(unixSeconds);
    struct tm tm {};
    if (!localtime_r(&t, &tm) || tm.tm_year < 80) return (0u << 25) | (1u << 21) | (1u << 16);
    if (tm.tm_year > 207)
        return (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
    uint32_t date =
        static_cast<uint32_t>(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    uint32_t time = static_cast<uint32_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
    return date << 16 | time;
}

int64_t DosDateTimeToUnix(uint32_t dos) {
    struct tm tm {};
    uint32_t date = dos >> 16, time = dos & 0xFFFF;
    tm.tm_year = static_cast<int>((date >> 9) & 0x7F) + 80;
    tm.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
    tm.tm_mday = static_cast<int>(date & 0x1F);
    tm.tm_hour = static_cast<int>((time >> 11) & 0x1F);
    tm.tm_min = static_cast<int>((time >> 5) & 0x3F);
    tm.tm_sec = static_cast<int>((time & 0x1F) * 2);
    tm.tm_isdst = -1;
    if (tm.tm_mon < 0) tm.tm_mon = 0;
    if (tm.tm_mday == 0) tm.tm_mday = 1;
    return static_cast<int64_t>(mktime(&tm));
}

uint64_t UnixToFiletime(int64_t unixSeconds, uint32_t nanoseconds) {
    if (unixSeconds < -kFiletimeEpochDiff) return 0;
    return static_cast<uint64_t>(unixSeconds + kFiletimeEpochDiff) * 10000000ULL +
           nanoseconds / 100;
}

bool FiletimeToUnix(uint64_t filetime, int64_t* unixSeconds, uint32_t* nanoseconds) {
    if (filetime == 0) return false;
    *unixSeconds = static_cast<int64_t>(filetime / 10000000ULL) - kFiletimeEpochDiff;
    *nanoseconds = static_cast<uint32_t>(filetime % 10000000ULL) * 100;
    return true;
}

}  // namespace kt::arc
