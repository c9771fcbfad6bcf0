// The entries that put the program into the file managers' context menus:
// one per file manager, each in the form that file manager reads, all named
// after the program.
#pragma once

#include <string>
#include <vector>

#include "app/sendto_entry_text.h"
#include "platform/qt/shell_places.h"

namespace kt {

struct TSendToEntry {
    TFileManager Manager;
    std::string Path;  // full path of the entry file
};

// Every file manager's entry, Thunar's (the Send To shortcut) first.
std::vector<TSendToEntry> SendToEntries();

// Writes the entry, making its folder when missing, so that the file manager
// starts `appPath` in `workDir` (the user's home: the open dialog starts
// there) with every selected file. Written atomically; true when saved.
bool WriteSendToEntry(const TSendToEntry& entry, const std::string& appPath,
                      const std::string& workDir);

}  // namespace kt
