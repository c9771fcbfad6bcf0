// The error raised when a text cannot be converted to what it should hold (a
// number, a colour, a date switch). One definition shared by the archive
// layer and the settings store, so both can be used in one file.
#pragma once

#include <stdexcept>

namespace kt {

class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace kt
