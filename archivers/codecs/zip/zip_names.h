// Entry names between the archive's bytes and the UTF-8 the system uses.
#pragma once

#include <string>
#include <string_view>

namespace kt::zip {

// The UTF-8 name of a stored name. With the UTF-8 flag the bytes are taken as
// they are; otherwise ASCII and valid UTF-8 stay (Unix writers store the
// locale's UTF-8 without the flag), then CP932 (Japanese Windows writers),
// then CP437, the format's own legacy code page. `unicodePath` is the name of
// a verified 0x7075 field, preferred when present. Backslashes written by some
// Windows tools become "/".
std::string DecodeEntryName(std::string_view raw, bool utf8Flag, std::string_view unicodePath = {});

bool IsAscii(std::string_view s);
bool IsValidUtf8(std::string_view s);

}  // namespace kt::zip
