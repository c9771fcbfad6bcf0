// A walk over the member headers of a RAR 4 or RAR 5 archive, for what
// libarchive does not check or tell: the CRC-32 of each member's data (not
// verified for stored members) and the encryption marks (not reported for
// RAR 5). Data is skipped, never read.
#pragma once

#include <string>
#include <vector>

#include "archivers/unpack/archive_reader.h"

namespace kt::unrar32 {

// One entry per file or folder header, in stored order, over the volumes of
// RarVolumes(path) (a member going on into the next volume is one entry). CutShort when the
// file ends before the end-of-archive header (a RAR 4 archive of producers
// older than 2.9, which wrote no end block, that ends exactly after a whole
// member is Complete), Unreadable when a header makes no sense.
kt::unpack::ScanEnd ScanRarHeaders(const std::string& path,
                                   std::vector<kt::unpack::MemberFacts>* facts);

// The files of a RAR volume set read as one, starting with `first`: the
// volumes that follow it beside it by the new naming (name.part2.rar, ...)
// or the old one (name.rar, name.r00, ...), as far as they are present;
// only `first` when it is no volume.
std::vector<std::string> RarVolumes(const std::string& first);

// What UNRAR32.DLL reads: RAR 4 and 5 through libarchive, with the facts of
// ScanRarHeaders.
extern const kt::unpack::ReadingFormats kRarFormats;

}  // namespace kt::unrar32
