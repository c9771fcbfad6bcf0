#include "report.h"

#include "owner_window.h"

namespace kt::arc {

void Report::Line(std::string_view text) {
    text_.append(text);
    text_ += '\n';
}

void Report::CopyTo(LPSTR output, DWORD outputSize) const {
    if (!output || outputSize == 0) return;
    // Only the used part plus terminator is written: the caller's buffer may
    // be larger than what it initialised.
    std::size_t n = text_.size() < outputSize - 1 ? text_.size() : outputSize - 1;
    CopyFixed(output, n + 1, text_);
}

}  // namespace kt::arc
