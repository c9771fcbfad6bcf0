// Running an outside tool (unzip, 7z, lhasa, the built kaltri) through the
// shell, as a user would.
#pragma once

#include <string>

namespace kt::test {

struct TToolRun {
    int Code = -1;  // the exit status; -1 when the tool did not exit normally
    std::string Out;
};

// Runs a shell command line; its standard output, and its exit status.
TToolRun RunTool(const std::string& command);

// A text quoted for the shell, whatever it holds.
std::string Quote(const std::string& text);

}  // namespace kt::test
