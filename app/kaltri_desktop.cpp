// The desktop folder comes from the XDG user folders, which Qt reads.
#include <QStandardPaths>

#include "app/shell_paths.h"

namespace kt {

std::string GetDesktopDir() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (dir.isEmpty()) return std::string();
    return ToLongPath(dir.toStdString());
}

}  // namespace kt
