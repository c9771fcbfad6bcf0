// Member names between the archive's byte forms (CP932 or another code
// page, UTF-16LE extended headers, "\" or 0xFF separators) and the UTF-8
// "/"-separated paths the library works with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kt::unlha {

// Stored bytes of a name or folder (separators already "/") in the code
// page of header 0x46 (0 when absent) as UTF-8.
std::string StoredToUtf8(std::string_view bytes, uint32_t codePage, char osId);

std::string Utf16leToUtf8(std::string_view utf16le);

// Whether a file name's bytes are UTF-8; a name that is not (written in
// another locale's encoding) is stored as its bytes, without a code page.
bool IsValidUtf8Name(std::string_view name);
std::string Utf8ToUtf16le(std::string_view utf8);

// The CP932 form of a UTF-8 name for the archive; lossy is set when CP932
// cannot hold it (each such character is then "_").
std::string NameToCp932(std::string_view utf8, bool* lossy);

}  // namespace kt::unlha
