#include "json_lines.h"

#include <cstdio>

namespace kaltri {

std::string JsonLine(const Json& object) {
    return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string JsonDosTime(unsigned date, unsigned time) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:%02u", 1980 + (date >> 9),
                  (date >> 5) & 15, date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2);
    return buf;
}

}  // namespace kaltri
