#include "report.h"

#include "owner_window.h"
#include "platform/printable_text.h"

namespace kt::arc {

void Report::Line(std::string_view text) {
    // Lines carry member names chosen by whoever made the archive.
    text_.append(kt::PrintableText(text));
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
