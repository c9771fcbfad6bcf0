// The c command: a new tar archive (optionally gzip or bzip2 packed), or a
// single compressed file when the archive is named file.gz / file.bz2,
// written atomically over any archive of that name.
#pragma once

#include "archivers/common/progress.h"
#include "archivers/common/report.h"
#include "tar_command.h"

namespace kt::tar32 {

int CreateArchive(const TarCommand& cmd, kt::arc::Report& report,
                  kt::arc::ProgressSender& progress);

}  // namespace kt::tar32
