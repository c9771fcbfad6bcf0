#include "app/sendto_entry_text.h"

#include "app/desktop_entry_text.h"
#include "app/program_names.h"
#include "app/shell_paths.h"

namespace kt {

namespace {

std::string SingleQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

// GNOME Files and Caja start a script with the selection in an environment
// variable, one absolute path a line (their argv holds paths relative to the
// folder shown, which the change of folder below would break).
std::string SendToScript(const char* variable, const std::string& appPath,
                         const std::string& workDir) {
    return std::string("#!/bin/sh\n") + "# Hands the selected files to " + kProgramTitle + ".\n" +
           "cd " + SingleQuoted(workDir) + " || exit 1\n" +
           "IFS='\n'\n" +  // one path a line, spaces and all
           "set -f\n" +    // no wildcards in file names
           "exec " + SingleQuoted(appPath) + " $" + variable + "\n";
}

// Nemo puts the selection in place of %F, each path in the quotes Quote
// asks for, then splits the line as GLib's shell parser does.
std::string NemoAction(const std::string& appPath) {
    std::string action = "[Nemo Action]\n";
    action += std::string("Name=") + kProgramTitle + "\n";
    action += std::string("Comment=") + kSendToComment + "\n";
    action += std::string("Icon-Name=") + kProgramIconName + "\n";
    action += "Exec=" + EntryValue(DoubleQuotedArgument(appPath) + " %F") + "\n";
    // Nemo hides an action whose program is gone.
    action += "Dependencies=" + EntryValue(appPath) + ";\n";
    action += "Selection=notnone\n";
    action += "Extensions=any;\n";
    action += "Quote=double\n";
    return action;
}

// Dolphin's service menu: an action for files and folders of any type whose
// Exec line follows the desktop entry rules.
std::string ServiceMenu(const std::string& appPath) {
    std::string menu = "[Desktop Entry]\n";
    menu += "Type=Service\n";
    menu += std::string("Name=") + kProgramTitle + "\n";
    menu += "MimeType=all/all;\n";
    menu += "X-KDE-Protocols=file\n";
    menu += "TryExec=" + EntryValue(appPath) + "\n";
    menu += std::string("Actions=") + kProgramTitle + ";\n\n";
    menu += std::string("[Desktop Action ") + kProgramTitle + "]\n";
    menu += std::string("Name=") + kProgramTitle + "\n";
    menu += std::string("Icon=") + kProgramIconName + "\n";
    menu += "Exec=" + EntryValue(QuoteExecArgument(appPath) + " %F") + "\n";
    return menu;
}

std::string SendToWorkFolder() {
    const std::string home = GetEnvString("HOME");
    return !home.empty() && home.front() == '/' ? home : std::string("/");
}

}  // namespace kt
