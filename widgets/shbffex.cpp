#include "widgets/shbffex.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QWidget>

#include "widgets/shbffex_dialog.h"
#include "platform/qt/prompt.h"
#include "platform/qt/shell_places.h"

namespace kt {

namespace {

constexpr unsigned BIF_RETURNONLYFSDIRS = 0x1;
constexpr unsigned BIF_DONTGOBELOWDOMAIN = 0x2;
constexpr unsigned BIF_STATUSTEXT = 0x4;
constexpr unsigned BIF_RETURNFSANCESTORS = 0x8;

// The shell folder of each TRootFolder / TSelectFolder value, in their order;
// the manual value falls back to the desktop.
constexpr int kFolderCsidl[] = {
    CSIDL_DESKTOP,   CSIDL_DESKTOP,  CSIDL_DRIVES,    CSIDL_DESKTOPDIRECTORY,
    CSIDL_FAVORITES, CSIDL_PROGRAMS, CSIDL_RECENT,    CSIDL_SENDTO,
    CSIDL_STARTMENU, CSIDL_STARTUP,  CSIDL_TEMPLATES,
};

QString FromPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}
std::string ToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString ExistingFolder(const QString& path) {
    if (path.isEmpty() || !QDir::isAbsolutePath(path) || !QFileInfo(path).isDir()) return {};
    return QDir::cleanPath(path);
}

// The folder of a root or initial-selection setting: a usable manual path, or
// else the shell folder of the value (the desktop for the manual value); empty
// when that folder does not exist. As the tree's root the desktop stands for
// "/": like the desktop at the top of the shell's namespace, it holds every
// folder, the desktop folder included.
QString FindFolder(int value, bool manual, const std::string& name, bool asRoot) {
    if (manual && !name.empty()) {
        const QString folder = ExistingFolder(FromPath(name));
        if (!folder.isEmpty()) return folder;
    }
    const int csidl = kFolderCsidl[value];
    if (asRoot && csidl == CSIDL_DESKTOP) return QStringLiteral("/");
    return ExistingFolder(FromPath(ShellFolderPath(csidl)));
}

}  // namespace

unsigned BrowseFlags(const TSHBrowseOptions& options) {
    unsigned flags = 0;
    for (TSHBrowseOption option : options) {
        switch (option) {
            case sboDontGoBelowDomain:
                flags |= BIF_DONTGOBELOWDOMAIN;
                break;
            case sboReturnFSAncestors:
                flags |= BIF_RETURNFSANCESTORS;
                break;
            case sboReturnOnlyFSDirs:
                flags |= BIF_RETURNONLYFSDIRS;
                break;
            case sboStatusTextAndShowPath:
            case sboStatusText:
                flags |= BIF_STATUSTEXT;
                break;
        }
    }
    return flags;
}

QPoint CenterScreenPosition(const QRect& workArea, const QSize& dialog) {
    return QPoint((workArea.width() - dialog.width()) / 2,
                  (workArea.height() - dialog.height()) / 3);
}

TSHBrowseForFolderEx::TSHBrowseForFolderEx(QObject* owner) : QObject(owner) {}

bool TSHBrowseForFolderEx::Execute() {
    FFolderName.clear();
    FDisplayName.clear();
    const QString root = FindFolder(FRootFolder, FRootFolder == rfManual, FRootFolderName, true);
    if (root.isEmpty()) return false;
    FInitialSelection =
        FindFolder(FSelectFolder, FSelectFolder == sfManual, FSelectFolderName, false);
    FStatusShowsPath = FOptions.count(sboStatusTextAndShowPath) != 0;
    const unsigned flags = BrowseFlags(FOptions);

    auto* owner = qobject_cast<QWidget*>(parent());
    QWidget* mainWindow = owner ? owner->window() : DialogOwner();
    TSHBrowseDialog dialog(mainWindow, QString::fromStdString(FCaption),
                           (flags & BIF_STATUSTEXT) != 0);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.SetRoot(root);
    connect(&dialog, &TSHBrowseDialog::SelectionChanged, this, [&](const QString& path) {
        // Only folders with a file-system path may be chosen; the handler
        // can still grey or enable OK after this.
        if (flags & BIF_RETURNONLYFSDIRS) dialog.EnableOK(!path.isEmpty());
        BrowseCallback(&dialog, BFFM_SELCHANGED, path);
    });
    BrowseCallback(&dialog, BFFM_INITIALIZED, QString());

    const bool chosen = dialog.exec() == QDialog::Accepted;
    if (mainWindow) mainWindow->activateWindow();
    if (chosen) {
        FDisplayName = dialog.SelectedDisplayName().toStdString();
        FFolderName = ToPath(dialog.SelectedPath());
    }
    FInitialSelection.clear();
    return chosen;
}

void TSHBrowseForFolderEx::BrowseCallback(TSHBrowseDialog* dialog, Notification message,
                                          const QString& path) {
    std::string showText;
    TOKButtonState okState = obsNoChange;
    if (message == BFFM_INITIALIZED) {
        // The status line is cleared before the first selection, so that
        // what that selection shows stays on the line.
        dialog->SetStatusText(QString());
        if (FInitialSelection.isEmpty() || !dialog->SetSelection(FInitialSelection))
            dialog->SelectRoot();
        PlaceDialog(dialog);
        return;
    }
    const std::string pathText = ToPath(path);
    DoSelectionChanged(dialog, pathText, showText, okState);
    if (FStatusShowsPath) showText = pathText;
    dialog->SetStatusText(FromPath(showText));
    if (okState == obsEnable) dialog->EnableOK(true);
    if (okState == obsDisable) dialog->EnableOK(false);
}

void TSHBrowseForFolderEx::PlaceDialog(TSHBrowseDialog* dialog) const {
    if (FShowStyle == ssCenterScreen) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            dialog->move(CenterScreenPosition(screen->availableGeometry(), dialog->size()));
    } else if (FShowStyle == ssClient) {
        auto* form = qobject_cast<QWidget*>(parent());
        if (form && form->isWindow() && form->testAttribute(Qt::WA_WState_Created))
            dialog->move(form->mapToGlobal(QPoint(0, 0)));
    }
}

void TSHBrowseForFolderEx::DoSelectionChanged(QWidget* Wnd, const std::string& Path,
                                              std::string& ShowText,
                                              TOKButtonState& OKButtonState) {
    if (OnSelectionChanged) OnSelectionChanged(this, Wnd, Path, ShowText, OKButtonState);
}

}  // namespace kt
