// --json: every record kaltri reports is one JSON object on a line of its
// own on stdout, for scripts (jq, Python's json module, ...).
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace kaltri {

using Json = nlohmann::ordered_json;

// The object as one line. Names that are not valid UTF-8 (a legacy file
// name on disk) have each bad byte replaced by U+FFFD rather than stopping
// the output.
std::string JsonLine(const Json& object);

// A DOS date and time as "YYYY-MM-DDThh:mm:ss".
std::string JsonDosTime(unsigned date, unsigned time);

}  // namespace kaltri
