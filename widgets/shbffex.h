// TSHBrowseForFolderEx: a non-visual component that shows the folder browser
// as a modal dialog and gives back the chosen folder.
//
// Over a bare browser it adds the choice of root and initially selected
// folder (a shell folder or a given path, see platform/qt/shell_places.h), the
// placement of the dialog, an event on every change of selection that may set
// the status text and grey or enable OK, and a status line that shows the
// selected path. Setting a property only stores the value; everything happens
// in Execute.
#ifndef KT_WIDGETS_SHBFFEX_H
#define KT_WIDGETS_SHBFFEX_H

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <functional>
#include <set>
#include <string>

class QWidget;

namespace kt {

class TSHBrowseDialog;

enum TRootFolder {
    rfDesktop,
    rfManual,
    rfDrives,
    rfDesktopDir,
    rfFavorites,
    rfPrograms,
    rfRecent,
    rfSendTo,
    rfStartMenu,
    rfStartup,
    rfTemplates,
};

enum TSelectFolder {
    sfDesktop,
    sfManual,
    sfDrives,
    sfDesktopDir,
    sfFavorites,
    sfPrograms,
    sfRecent,
    sfSendTo,
    sfStartMenu,
    sfStartup,
    sfTemplates,
};

enum TShowStyle { ssNone, ssCenterScreen, ssClient };

enum TSHBrowseOption {
    sboDontGoBelowDomain,
    sboReturnFSAncestors,
    sboReturnOnlyFSDirs,
    sboStatusTextAndShowPath,
    sboStatusText,
};
using TSHBrowseOptions = std::set<TSHBrowseOption>;

enum TOKButtonState { obsNoChange, obsEnable, obsDisable };

// Wnd is the dialog; ShowText and OKButtonState start empty and obsNoChange
// and are what the handler wants shown.
using TSHBrowseEvent = std::function<void(QObject* Sender, QWidget* Wnd, const std::string& Path,
                                          std::string& ShowText, TOKButtonState& OKButtonState)>;

// The browser flags of a set of options, as the shell numbers them.
unsigned BrowseFlags(const TSHBrowseOptions& options);

// Where the centre-screen style puts a dialog: centred across the work area
// and at one third of its height. The work area's own left and top are not
// added: the position is taken as screen coordinates as it is.
QPoint CenterScreenPosition(const QRect& workArea, const QSize& dialog);

class TSHBrowseForFolderEx : public QObject {
    Q_OBJECT
public:
    explicit TSHBrowseForFolderEx(QObject* owner);

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& value) { FCaption = value; }
    TSelectFolder SelectFolder() const { return FSelectFolder; }
    void SetSelectFolder(TSelectFolder value) { FSelectFolder = value; }
    const std::string& SelectFolderName() const { return FSelectFolderName; }
    void SetSelectFolderName(const std::string& value) { FSelectFolderName = value; }
    TRootFolder RootFolder() const { return FRootFolder; }
    void SetRootFolder(TRootFolder value) { FRootFolder = value; }
    const std::string& RootFolderName() const { return FRootFolderName; }
    void SetRootFolderName(const std::string& value) { FRootFolderName = value; }
    TShowStyle ShowStyle() const { return FShowStyle; }
    void SetShowStyle(TShowStyle value) { FShowStyle = value; }
    const TSHBrowseOptions& Options() const { return FOptions; }
    void SetOptions(const TSHBrowseOptions& value) { FOptions = value; }
    TSHBrowseEvent OnSelectionChanged;

    // Results of the last Execute, emptied when it starts.
    const std::string& FolderName() const { return FFolderName; }
    const std::string& DisplayName() const { return FDisplayName; }

    // Shows the dialog modally; true when the user closed it with OK, false
    // when cancelled or when the root folder cannot be found.
    virtual bool Execute();

protected:
    virtual void DoSelectionChanged(QWidget* Wnd, const std::string& Path, std::string& ShowText,
                                    TOKButtonState& OKButtonState);

private:
    enum Notification { BFFM_INITIALIZED, BFFM_SELCHANGED };
    void BrowseCallback(TSHBrowseDialog* dialog, Notification message, const QString& path);
    void PlaceDialog(TSHBrowseDialog* dialog) const;

    std::string FCaption;
    TSelectFolder FSelectFolder = sfDrives;
    std::string FSelectFolderName;
    TRootFolder FRootFolder = rfDesktop;
    std::string FRootFolderName;
    TShowStyle FShowStyle = ssClient;
    TSHBrowseOptions FOptions{sboReturnOnlyFSDirs};
    std::string FFolderName;
    std::string FDisplayName;
    // Working state of one Execute.
    QString FInitialSelection;
    bool FStatusShowsPath = false;
};

}  // namespace kt

#endif
