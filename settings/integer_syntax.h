// Integer text as the settings store reads it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kt {

// Leading blanks, an optional sign, then decimal digits or "$" and
// hexadecimal digits, and nothing after. The value is a signed 32-bit integer:
// decimal text outside its range is not a number, while hexadecimal text may
// use all 32 bits ("$FFFFFFFF" is -1, "$80000005" a system colour). Nothing
// for any other text.
std::optional<std::int32_t> ParseInteger(std::string_view text);

}  // namespace kt
