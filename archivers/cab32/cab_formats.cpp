#include "cab_formats.h"

#include <archive.h>

namespace kt::cab32 {
namespace {

void EnableCab(struct archive* a) {
    archive_read_support_format_cab(a);
    // Names without the UTF-8 flag are in the code page of the Windows
    // tools that make most cabinets here.
    archive_read_set_format_option(a, "cab", "hdrcharset", "CP932");
}

std::string CabMethod(int, int) { return "cab"; }

}  // namespace

const kt::unpack::ReadingFormats kCabFormats{EnableCab, CabMethod, nullptr, nullptr, true};

}  // namespace kt::cab32
