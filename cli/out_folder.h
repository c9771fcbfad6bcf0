#pragma once

#include <string>

#include "messages.h"

namespace kaltri {

// Makes sure the --out folder exists: a missing one is created with its
// parents, after asking on a terminal unless `yes` (without a terminal it is
// created). False when it cannot be used; the reason has been printed.
bool CreateOutFolder(const std::string& folder, bool yes, bool terminal, Lang lang);

}  // namespace kaltri
