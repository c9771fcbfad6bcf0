// kaltri pack --per-item with items inside one another: an archive made
// inside a folder that another item packs whole would be walked into that
// folder's archive if both ran at once, its half-written temporary with it.
#pragma once

#include <string>

#include "archive/source_paths.h"

namespace kaltri {

// True when some item's archive is made inside a folder packed whole: in the
// output folder `outDir`, or, without one, beside the item.
bool ArchiveLandsInPackedFolder(const kt::TSources& sources, const std::string& outDir);

}  // namespace kaltri
