// The library's commands, each run inside one call of the command function.
#pragma once

#include <ctime>

#include "run_context.h"

namespace kt::unlha {

// The archive path of the command line (".lzh" added when the name has no
// extension).
std::string ArchivePath(const std::string& given);

// True when a member is selected by the command's names (all when none).
bool Selected(const LhaCommand& cmd, const MemberHeader& h);

int RunPack(RunContext& ctx);     // a, u, f, d
int RunExtract(RunContext& ctx);  // x, e, t
int RunList(RunContext& ctx);     // l, v
int RunExtractToMemory(RunContext& ctx, uint8_t* buffer, uint32_t size, time_t* time,
                       uint16_t* attr, uint32_t* written);

}  // namespace kt::unlha
