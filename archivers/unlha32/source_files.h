// The files a packing command takes: names and patterns of the command
// line, resolved against the base folder, walked with -r, filtered by -a
// (hidden files), -jx (exclusions) and -jo/-job (dates), each given the name
// it gets in the archive (-x: with or without folders).
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

#include "run_context.h"

namespace kt::unlha {

struct SourceFile {
    std::string path;    // on disk
    std::string stored;  // in the archive, "/" separated
    struct stat st {};
    bool IsDirectory() const { return S_ISDIR(st.st_mode); }
};

// Fills files; names that match nothing are reported and make the context
// fail with ERROR_NOT_FIND_FILE.
void CollectSources(RunContext& ctx, std::vector<SourceFile>* files);

// The name a path given on the command line gets in the archive.
std::string StoredNameFor(const LhaCommand& cmd, const std::string& given);

}  // namespace kt::unlha
