// The shell's special folders, as folders on a Linux desktop.
//
// The folder dialog and the Send To registration name folders by the shell's
// folder numbers; these functions say which real folder stands for each. The
// places follow the XDG base and user directories (HOME, XDG_DATA_HOME,
// XDG_CONFIG_HOME, user-dirs.dirs), read afresh at every call.
#ifndef KT_PLATFORM_QT_SHELL_PLACES_H
#define KT_PLATFORM_QT_SHELL_PLACES_H

#include <string>

namespace kt {

enum : int {
    CSIDL_DESKTOP = 0x00,
    CSIDL_PROGRAMS = 0x02,
    CSIDL_FAVORITES = 0x06,
    CSIDL_STARTUP = 0x07,
    CSIDL_RECENT = 0x08,
    CSIDL_SENDTO = 0x09,
    CSIDL_STARTMENU = 0x0B,
    CSIDL_DESKTOPDIRECTORY = 0x10,
    CSIDL_DRIVES = 0x11,
    CSIDL_TEMPLATES = 0x15,
};

// The folder that stands for a shell folder, without a trailing "/" (except
// "/" itself); empty for a number without a place. Whether the folder exists
// is not checked.
//   desktop, desktop directory: the XDG desktop folder
//   drives: "/", the top of every mounted file system
//   favorites: the home folder
//   programs, start menu: $XDG_DATA_HOME/applications (the applications menu)
//   recent: $XDG_DATA_HOME/RecentDocuments
//   Send To: $XDG_DATA_HOME/Thunar/sendto
//   startup: $XDG_CONFIG_HOME/autostart
//   templates: the XDG templates folder
std::string ShellFolderPath(int csidl);

// The folder whose entries the file manager's Send To menu lists.
std::string SendToFolderPath();

// The file managers that can hand selected files to a program from their
// context menus, each through entries of its own in a folder of its own.
enum TFileManager { fmThunar, fmNautilus, fmCaja, fmNemo, fmDolphin, fmCount };

// The folder a file manager reads those entries from:
//   Thunar: the Send To folder above
//   GNOME Files: $XDG_DATA_HOME/nautilus/scripts
//   Caja: $XDG_CONFIG_HOME/caja/scripts
//   Nemo: $XDG_DATA_HOME/nemo/actions
//   Dolphin: $XDG_DATA_HOME/kio/servicemenus
std::string FileManagerMenuFolder(TFileManager manager);

// Whether the file manager's program is on PATH.
bool FileManagerInstalled(TFileManager manager);

}  // namespace kt

#endif
