// Names a quoted command line cannot carry. The libraries' command language
// has no escape for a double quote inside a quoted item, and a response file
// holds one name per line, so a name holding `"` or a line break goes in a
// file of NUL-ended items instead, which every library reads in place of its
// switch "--items0=FILE". Only such names take this way: every other
// command line stays as it was.
#pragma once

#include <string>
#include <vector>

namespace kt {

// True when the item holds a double quote, a carriage return or a line feed.
bool NeedsNulItems(const std::string& item);

// The switch that stands for a new private file holding `items`, each ended
// by a NUL byte: "--items0=/tmp/kt-items0-XXXXXX". The file lives until
// RemoveNulItemsFiles, which every library call runs when it returns.
// Throws EFCreateError when the file cannot be written.
std::string NulItemsSwitch(const std::vector<std::string>& items);

// Writes `items` NUL-ended into `path` (a response file the caller owns).
// Throws EFCreateError when it cannot be written.
void WriteNulItems(const std::string& path, const std::vector<std::string>& items);

// Removes every file NulItemsSwitch made on this thread.
void RemoveNulItemsFiles();

}  // namespace kt
