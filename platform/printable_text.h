// Text from an archive shown on a terminal or in a report. A member name is
// chosen by whoever made the archive: an ESC, CR or LF in it would move the
// cursor, recolour the screen or forge a line of the report. Such bytes are
// shown as \xNN instead, and so are bytes that are not UTF-8 (a terminal in
// an 8-bit mode reads a lone 0x9B as a control sequence).
#pragma once

#include <string>
#include <string_view>

namespace kt {

// The text with C0 controls, DEL, C1 controls and bytes outside valid UTF-8
// written as \xNN; everything else unchanged.
std::string PrintableText(std::string_view text);

}  // namespace kt
