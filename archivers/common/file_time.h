// Time conversions of archive headers: MS-DOS date/time (local time, date in
// the high word), Windows FILETIME (100 ns since 1601-01-01 UTC) and Unix
// seconds.
#pragma once

#include <cstdint>

namespace kt::arc {

// Local time as MS-DOS date << 16 | time; clamped to 1980-01-01..2107-12-31.
uint32_t UnixToDosDateTime(int64_t unixSeconds);
int64_t DosDateTimeToUnix(uint32_t dosDateTime);

uint64_t UnixToFiletime(int64_t unixSeconds, uint32_t nanoseconds = 0);
// False when the value lies outside what time_t can hold.
bool FiletimeToUnix(uint64_t filetime, int64_t* unixSeconds, uint32_t* nanoseconds);

}  // namespace kt::arc
