// What an archiver library's error code means, in words, for kaltri's
// messages: a bare "error 32819" tells the user nothing.
#pragma once

#include <string>

#include "messages.h"

namespace kaltri {

// The meaning of code in the user's language, e.g. "CRC error in the data";
// for a code without a known meaning, "error 0x8xxx".
std::string ErrorMeaning(Lang lang, int code);

}  // namespace kaltri
