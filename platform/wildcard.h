// The archivers' wildcard rules, shared by file collection and the archiver
// libraries: "*" any run of characters, "?" exactly one character (a whole
// UTF-8 character), letters compared without regard to ASCII case, and "*.*"
// matching every name, with or without a dot.
#pragma once

#include <string_view>

namespace kt {

bool WildcardMatch(std::string_view pattern, std::string_view name);

// True when the text holds "*" or "?".
bool HasWildcard(std::string_view text);

}  // namespace kt
