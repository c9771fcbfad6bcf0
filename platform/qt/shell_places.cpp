#include "platform/qt/shell_places.h"

#include <QDir>
#include <QStandardPaths>

namespace kt {

namespace {

std::string Clean(const QString& path) {
    if (path.isEmpty()) return {};
    return QDir::cleanPath(path).toStdString();
}

std::string Writable(QStandardPaths::StandardLocation location) {
    return Clean(QStandardPaths::writableLocation(location));
}

// XDG_DATA_HOME or XDG_CONFIG_HOME; the base directory rules say to use the
// default below the home folder when the variable is unset, empty or relative.
std::string XdgHome(const char* variable, const char* fallback) {
    const QString value = qEnvironmentVariable(variable);
    if (QDir::isAbsolutePath(value)) return Clean(value);
    return Clean(QDir::homePath() + "/" + fallback);
}

std::string DataHome() { return XdgHome("XDG_DATA_HOME", ".local/share"); }
std::string ConfigHome() { return XdgHome("XDG_CONFIG_HOME", ".config"); }

}  // namespace

std::string ShellFolderPath(int csidl) {
    switch (csidl) {
        case CSIDL_DESKTOP:
        case CSIDL_DESKTOPDIRECTORY:
            return Writable(QStandardPaths::DesktopLocation);
        case CSIDL_DRIVES:
            return "/";
        case CSIDL_FAVORITES:
            return Clean(QDir::homePath());
        case CSIDL_PROGRAMS:
        case CSIDL_STARTMENU:
            return DataHome() + "/applications";
        case CSIDL_RECENT:
            return DataHome() + "/RecentDocuments";
        case CSIDL_SENDTO:
            return SendToFolderPath();
        case CSIDL_STARTUP:
            return ConfigHome() + "/autostart";
        case CSIDL_TEMPLATES:
            return Writable(QStandardPaths::TemplatesLocation);
        default:
            return {};
    }
}

std::string SendToFolderPath() { return DataHome() + "/Thunar/sendto"; }

std::string FileManagerMenuFolder(TFileManager manager) {
    switch (manager) {
        case fmThunar:
            return SendToFolderPath();
        case fmNautilus:
            return DataHome() + "/nautilus/scripts";
        case fmCaja:
            return ConfigHome() + "/caja/scripts";
        case fmNemo:
            return DataHome() + "/nemo/actions";
        case fmDolphin:
            return DataHome() + "/kio/servicemenus";
        default:
            return {};
    }
}

bool FileManagerInstalled(TFileManager manager) {
    static const char* const kPrograms[fmCount] = {"thunar", "nautilus", "caja", "nemo", "dolphin"};
    if (manager < 0 || manager >= fmCount) return false;
    return !QStandardPaths::findExecutable(QString::fromLatin1(kPrograms[manager])).isEmpty();
}

}  // namespace kt
