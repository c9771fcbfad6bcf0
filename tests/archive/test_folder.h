// The archive layer's tests: scratch folders, files, and outside tools whose
// output is compared.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/files.h"
#include "tests/support/run_tool.h"
#include "tests/support/temp_folder.h"

namespace kt::test {

// The standard output of a shell command line.
inline std::string Shell(const std::string& command) { return RunTool(command).Out; }

}  // namespace kt::test
