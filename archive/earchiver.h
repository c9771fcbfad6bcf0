// The exceptions of the archive layer. EArchiver carries the layer's own
// fixed messages (missing library, missing entry, unsupported operation,
// unknown format); the other three stand for the failures of the file
// system and of text conversion that pass through the layer unchanged.
#pragma once

#include <stdexcept>
#include <string>

#include "platform/convert_error.h"

namespace kt {

class EArchiver : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A folder could not be entered or restored.
class EInOutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file (such as the response file) could not be created or written.
class EFCreateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file (an archive or a stub to be copied) could not be opened for reading.
class EFOpenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace kt
