#include "app/sendto_entries.h"

#include "app/program_names.h"
#include "app/sendto_entry_text.h"
#include "app/shell_paths.h"
#include "platform/atomic_file.h"
#include "platform/path_text.h"

namespace kt {

std::vector<TSendToEntry> SendToEntries() {
    const std::string name = kProgramTitle;
    return {
        {fmThunar, FileManagerMenuFolder(fmThunar) + "/" + name + ".desktop"},
        {fmNautilus, FileManagerMenuFolder(fmNautilus) + "/" + name},
        {fmCaja, FileManagerMenuFolder(fmCaja) + "/" + name},
        {fmNemo, FileManagerMenuFolder(fmNemo) + "/" + name + ".nemo_action"},
        {fmDolphin, FileManagerMenuFolder(fmDolphin) + "/" + name + ".desktop"},
    };
}

bool WriteSendToEntry(const TSendToEntry& entry, const std::string& appPath,
                      const std::string& workDir) {
    // The folders often do not exist until the first entry goes there.
    MakeFolders(FolderOf(entry.Path), 0755);
    switch (entry.Manager) {
        case fmThunar:
            // "%F" hands every selected file to one start of the program.
            return CreateShortcut(entry.Path, appPath, "%F", workDir, kSendToComment);
        case fmNautilus:
            return WriteFileAtomically(
                entry.Path, SendToScript("NAUTILUS_SCRIPT_SELECTED_FILE_PATHS", appPath, workDir),
                0755);
        case fmCaja:
            return WriteFileAtomically(
                entry.Path, SendToScript("CAJA_SCRIPT_SELECTED_FILE_PATHS", appPath, workDir),
                0755);
        case fmNemo:
            return WriteFileAtomically(entry.Path, NemoAction(appPath), 0644);
        case fmDolphin:
            // KIO refuses to start a service menu of the user's that is not
            // executable.
            return WriteFileAtomically(entry.Path, ServiceMenu(appPath), 0755);
        default:
            return false;
    }
}

}  // namespace kt
