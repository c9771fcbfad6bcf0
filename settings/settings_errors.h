// Errors the settings store raises to its caller. Registry errors are
// kt::ERegistryException (platform/registry_store.h).
#pragma once

#include <stdexcept>
#include <string>

#include "platform/convert_error.h"

namespace kt {

// An INI file the system refused to write: "%s に書き込めません".
class EIniFileException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The pattern with its one "%s" replaced by `value`.
std::string FormatMessage(const char* pattern, const std::string& value);

}  // namespace kt
