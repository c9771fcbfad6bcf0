// Entry names between the archive's bytes and the UTF-8 the system uses.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kt::zip {

// The name of a stored name, first cut at a NUL. With the UTF-8 flag the
// bytes are taken as they are, and so are ASCII and valid UTF-8 (Unix
// writers store the locale's UTF-8 without the flag). For a DOS or Windows
// producer (dosHost) other bytes are CP932 (Japanese Windows writers), else
// CP437, the format's own legacy code page, and "\" separates folders. For
// any other producer the bytes are the file name it had and are kept as
// they are, "\" included. `unicodePath` is the name of a verified 0x7075
// field, preferred when present.
std::string DecodeEntryName(std::string_view raw, bool utf8Flag, bool dosHost,
                            std::string_view unicodePath = {});

// Whether the "version made by" of an entry names a DOS or Windows file
// system (FAT, HPFS, NTFS, VFAT), whose names use "\" and a code page.
bool IsDosHost(uint16_t versionMadeBy);

bool IsAscii(std::string_view s);
bool IsValidUtf8(std::string_view s);

}  // namespace kt::zip
