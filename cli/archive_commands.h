// kaltri list, test and extract: any format whose library is present, found
// by extension or, failing that, by content.
#pragma once

#include <atomic>
#include <string>

#include "messages.h"

namespace kaltri {

int ListArchive(const std::string& archive, Lang lang);
int TestArchive(const std::string& archive, Lang lang);
int ExtractArchive(const std::string& archive, const std::string& outDir, Lang lang,
                   const std::atomic<bool>& interrupted);

}  // namespace kaltri
