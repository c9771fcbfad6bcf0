// Running one UNZIP32.DLL command: extract, test or list.
#pragma once

#include "archivers/common/owner_window.h"
#include "archivers/common/report.h"
#include "unzip_command.h"

namespace kt::unzip32 {

int RunUnzip(const UnzipCommand& cmd, kt::arc::OwnerWindow& owner, kt::arc::Report& report);

}  // namespace kt::unzip32
