// Reading what a test made: one file, or a whole tree to compare before and
// after a run.
#pragma once

#include <map>
#include <string>

namespace kt::test {

// The bytes of a file; empty when it cannot be read.
std::string ReadAll(const std::string& path);

// Every regular file below `root`, by path relative to it, with its bytes.
std::map<std::string, std::string> ReadTree(const std::string& root);

}  // namespace kt::test
