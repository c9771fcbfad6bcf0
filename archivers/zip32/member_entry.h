// The entry record for a file or folder about to be added: name, DOS and
// Unix times and attributes.
#pragma once

#include <sys/stat.h>

#include <string>

#include "archivers/zip_container/zip_format.h"

namespace kt::zip32 {

// `dosOnly` (-k) records DOS attributes and marks the entry as made on MS-DOS.
kt::zip::ZipEntry MemberEntry(const std::string& name, const struct stat& st, bool dosOnly);

}  // namespace kt::zip32
