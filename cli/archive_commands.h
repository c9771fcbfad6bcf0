// kaltri list, test and extract: any format whose library is present, found
// by extension or, failing that, by content.
#pragma once

#include <atomic>
#include <string>

#include "messages.h"

namespace kaltri {

int ListArchive(const std::string& archive, Lang lang);
// password: the ZIP password, empty for none (other formats refuse one).
int TestArchive(const std::string& archive, const std::string& password, Lang lang);
int ExtractArchive(const std::string& archive, const std::string& outDir, const std::string& password, Lang lang,
                   const std::atomic<bool>& interrupted);

}  // namespace kaltri
