#include "archivers/common/member_info.h"

#include <cstring>

#include "archivers/common/owner_window.h"

namespace kt::arc {
namespace {

DWORD Clip(uint64_t size) {
    return static_cast<DWORD>(size > 0xFFFFFFFFull ? 0xFFFFFFFFull : size);
}

}  // namespace

uint16_t RatioPerMille(uint64_t compressed, uint64_t original) {
    if (original == 0) return 0;
    uint64_t r = compressed / original * 1000 + compressed % original * 1000 / original;
    return static_cast<uint16_t>(r > 0xFFFF ? 0xFFFF : r);
}

void FillIndividualInfo(const MemberInfo& m, INDIVIDUALINFO& info) {
    std::memset(&info, 0, sizeof info);
    info.dwOriginalSize = Clip(m.originalSize);
    info.dwCompressedSize = Clip(m.compressedSize);
    info.dwCRC = m.crc;
    info.uOSType = m.osType;
    info.wRatio = RatioPerMille(m.compressedSize, m.originalSize);
    info.wDate = static_cast<WORD>(m.dosDateTime >> 16);
    info.wTime = static_cast<WORD>(m.dosDateTime & 0xFFFF);
    bool slash = m.folder && (m.name.empty() || m.name.back() != '/');
    CopyFixed(info.szFileName, slash ? m.name + "/" : m.name);
    CopyFixed(info.szAttribute, m.attribute);
    CopyFixed(info.szMode, m.mode);
}

}  // namespace kt::arc
