// A walk over the member headers of a RAR 4 or RAR 5 archive, for what
// libarchive does not check or tell: the CRC-32 of each member's data (not
// verified for stored members) and the encryption marks (not reported for
// RAR 5). Data is skipped, never read.
#pragma once

#include <string>
#include <vector>

#include "archivers/unpack/archive_reader.h"

namespace kt::unrar32 {

// One entry per file or folder header, in stored order. False when the
// headers cannot be walked to the end mark.
bool ScanRarHeaders(const std::string& path, std::vector<kt::unpack::MemberFacts>* facts);

// What UNRAR32.DLL reads: RAR 4 and 5 through libarchive, with the facts of
// ScanRarHeaders.
extern const kt::unpack::ReadingFormats kRarFormats;

}  // namespace kt::unrar32
