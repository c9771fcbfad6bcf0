// The -a command: a new cabinet (one MSZIP folder) written with libgcab,
// atomically over any cabinet of that name.
#pragma once

#include "archivers/common/progress.h"
#include "archivers/common/report.h"
#include "cab_command.h"

namespace kt::cab32 {

int CreateCabinet(const CabCommand& cmd, kt::arc::Report& report,
                  kt::arc::ProgressSender& progress);

}  // namespace kt::cab32
