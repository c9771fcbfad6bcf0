// The report text of one library command, handed to the caller's output
// buffer at the end: cut to the buffer's size and always terminated.
#pragma once

#include <string>
#include <string_view>

#include "platform/windows_types.h"

namespace kt::arc {

class Report {
public:
    // Appends one line (a line break is added); control characters and
    // bytes that are not UTF-8 are written as \xNN.
    void Line(std::string_view text);
    const std::string& Text() const { return text_; }
    // Copies the text into output (outputSize bytes, terminator included);
    // nothing happens for a null buffer or size 0.
    void CopyTo(LPSTR output, DWORD outputSize) const;

private:
    std::string text_;
};

}  // namespace kt::arc
