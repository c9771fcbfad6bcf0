#include "cab_formats.h"

#include <archive.h>

#include <cstdint>
#include <fstream>

namespace kt::cab32 {
namespace {

void EnableCab(struct archive* a) {
    archive_read_support_format_cab(a);
    // Names without the UTF-8 flag are in the code page of the Windows
    // tools that make most cabinets here.
    archive_read_set_format_option(a, "cab", "hdrcharset", "CP932");
}

std::string CabMethod(int, int) { return "cab"; }

// The header states the cabinet's whole length, and nothing else covers it:
// a cabinet cut at a block boundary, or grown by bytes no reader sees, is
// told only by that length. A file that does not start with a cabinet (a
// self-extractor) is left to libarchive alone.
kt::unpack::ScanEnd ScanCab(const std::string& path, std::vector<kt::unpack::MemberFacts>*) {
    std::ifstream in(path, std::ios::binary);
    unsigned char h[12];
    if (!in.read(reinterpret_cast<char*>(h), sizeof h) || h[0] != 'M' || h[1] != 'S' ||
        h[2] != 'C' || h[3] != 'F')
        return kt::unpack::ScanEnd::Unreadable;
    const uint32_t stated = h[8] | h[9] << 8 | h[10] << 16 | static_cast<uint32_t>(h[11]) << 24;
    in.seekg(0, std::ios::end);
    const auto size = static_cast<uint64_t>(in.tellg());
    if (stated > size) return kt::unpack::ScanEnd::CutShort;
    return stated == size ? kt::unpack::ScanEnd::Complete : kt::unpack::ScanEnd::LengthDiffers;
}

}  // namespace

const kt::unpack::ReadingFormats kCabFormats{EnableCab, CabMethod, ScanCab, nullptr, true};

}  // namespace kt::cab32
