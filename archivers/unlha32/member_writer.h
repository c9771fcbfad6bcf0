// Writes one file or folder as a member into the archive being built:
// header, packed data (or stored data when packing would not shrink it),
// then the header again with the real sizes and CRC.
#pragma once

#include "archivers/codecs/lzh/lzh_encoder.h"
#include "platform/atomic_file.h"
#include "run_context.h"
#include "source_files.h"

namespace kt::unlha {

struct PackSettings {
    char method[6] = "-lh7-";
    bool storeOnly = false;
    int level = 2;
    kt::lzh::Effort effort = kt::lzh::Effort::Normal;
};

// The settings the switches of cmd ask for (-o5/-o6/-o7, -z, -h, -jm).
// 0, or ERROR_COMMAND_NAME with *message for a value that has no meaning.
int PackSettingsFor(const LhaCommand& cmd, PackSettings* s, std::string* message);

// 0, or an ERROR_ code (the report says which file); ERROR_USER_CANCEL
// when the owner window stopped the run.
int WriteMember(RunContext& ctx, const PackSettings& s, const SourceFile& f, kt::AtomicFile& out,
                MemberHeader* written);

}  // namespace kt::unlha
