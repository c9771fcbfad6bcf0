// The texts of the file managers' entries that put the program into their
// context menus (scripts, Nemo actions, Dolphin service menus): no toolkit,
// no file system, only what each file manager reads.
#pragma once

#include <string>

namespace kt {

// What the entries say of themselves in the menus' descriptions.
inline constexpr const char* kSendToComment = "選んだファイルを1つずつ LZH/ZIP 書庫に圧縮します";

// The working folder of a started entry: the user's home, else "/".
std::string SendToWorkFolder();

// GNOME Files' and Caja's script: it starts `appPath` in `workDir` with the
// absolute paths of the selection, one a line, from the file manager's
// environment variable `variable`.
std::string SendToScript(const char* variable, const std::string& appPath,
                         const std::string& workDir);

// Nemo's action: %F in the quotes its Quote key asks for; hidden once
// `appPath` is gone (Dependencies).
std::string NemoAction(const std::string& appPath);

// Dolphin's service menu for files and folders of any type; hidden once
// `appPath` is gone (TryExec).
std::string ServiceMenu(const std::string& appPath);

}  // namespace kt
