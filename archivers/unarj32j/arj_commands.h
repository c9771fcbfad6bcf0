// The commands of UNARJ32J.DLL over one archive: extraction with the same
// safe-path rules as the other libraries (nothing lands outside the target
// folder, a file appears only when its CRC-32 matched), test and list.
#pragma once

#include "archivers/common/owner_window.h"
#include "archivers/common/report.h"
#include "arj_archive.h"
#include "arj_command.h"

namespace kt::unarj {

int RunArjCommand(const ArjCommand& cmd, kt::arc::Report& report, kt::arc::OwnerWindow& owner);

// Decodes one member into sink and checks its CRC-32; 0 or an ERROR_ code
// (garbled, split across volumes, unknown method, broken data, CRC).
// `why` receives the reason for the report.
int DecodeArjMember(const ArjFile& file, const ArjMember& m, kt::lzh::Sink& sink, std::string* why);

}  // namespace kt::unarj
