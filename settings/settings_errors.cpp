#include "settings_errors.h"

namespace kt {

std::string FormatMessage(const char* pattern, const std::string& value) {
    std::string text(pattern);
    std::size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, value);
    return text;
}

}  // namespace kt
