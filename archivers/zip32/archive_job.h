// One job of the engine: read the old archive (if any), decide what every
// entry becomes, write the new archive beside the old one and rename it into
// place. Nothing on disk changes unless the whole job succeeds.
#pragma once

#include "zip32_engine.h"

namespace kt::zip32 {

int RunArchiveJob(const ZIP32_JOB& job);

}  // namespace kt::zip32
