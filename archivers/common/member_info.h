// The search record (INDIVIDUALINFO) of one member, filled the one way every
// reading library fills it from what its format knows of the member.
#pragma once

#include <cstdint>
#include <string>

#include "platform/archiver_api.h"

namespace kt::arc {

// What one member shows, in full widths.
struct MemberInfo {
    std::string name;
    bool folder = false;  // shown with a trailing "/"
    uint64_t originalSize = 0;
    uint64_t compressedSize = 0;
    uint32_t crc = 0;
    unsigned osType = 0;
    uint32_t dosDateTime = 0;  // MS-DOS date in the high half, time in the low
    std::string attribute;
    std::string mode;  // the method as the format writes it ("-lh5-", "Deflate", ...)
};

// Compressed per mille of original: 0 for an empty member, at most 0xFFFF.
uint16_t RatioPerMille(uint64_t compressed, uint64_t original);

// Clears info, then fills it from m; sizes beyond 32 bits show as
// 0xFFFFFFFF (the full sizes go through GetOriginalSizeEx and
// GetCompressedSizeEx), texts are cut to their fields.
void FillIndividualInfo(const MemberInfo& m, INDIVIDUALINFO& info);

}  // namespace kt::arc
