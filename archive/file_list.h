// Expansion of a file list's element forms into plain names, in list order.
// Used alike by the command builder, the response file and file collection.
#pragma once

#include <string>
#include <vector>

#include "archive/archiver_types.h"

namespace kt {

// Wide text to the program's 8-bit text (UTF-8).
std::string WideToText(const std::wstring& text);
std::string WideToText(const std::u16string& text);

// A variant value as text: numbers in decimal, booleans "True"/"False".
std::string VarToText(const TVarValue& value);

// The names an element stands for, appended to out.
void AppendNames(const TFileListElement& element, std::vector<std::string>& out);

// All names of the list, in order.
std::vector<std::string> ExpandFileList(const TFileList& files);

}  // namespace kt
