// What CAB32.DLL reads: cabinets through libarchive (MSZIP, LZX, stored).
#pragma once

#include "archivers/unpack/archive_reader.h"

namespace kt::cab32 {

extern const kt::unpack::ReadingFormats kCabFormats;

}  // namespace kt::cab32
