// Help pages: the help file is the program's path with ".html", shown by the
// desktop's browser.
#pragma once

#include <functional>
#include <string>

namespace kt {

// Opens a local document with the desktop's default program; true when the
// desktop accepted it. Tests replace the opener to see what would be opened.
using TDocumentOpener = std::function<bool(const std::string& path)>;
void SetDocumentOpener(TDocumentOpener opener);

// Shows the contents of the help file `helpFile`. A missing file is reported
// with a message box and gives false.
bool ShowHelpContents(const std::string& helpFile);

}  // namespace kt
