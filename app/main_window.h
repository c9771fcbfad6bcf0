// TFormMain: the program's one fixed-size window. Its operations are spread
// over files by concern: main_window.cpp (construction, start-up and
// shut-down, the option groups), main_list.cpp (the input list), and one
// file for each further concern (settings, folder choice, Send To, logo, the
// run, the library check). Controls and fields are public so that each of
// those files, and the tests, reach them by the names of the window design.
#pragma once

#include "app/program_names.h"

#include <QWidget>
#include <cstdint>
#include <string>
#include <memory>
#include <vector>

#include "archive/source_paths.h"
#include "platform/message_hub.h"

class QAction;
class QFileDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class QToolButton;

namespace kt {

class TAppHint;
class TArchiveFile;
class TBlendImage;
class TDropDst;
class TKWallListView;
class TProgressBracket;
class TSHBrowseForFolderEx;
struct TListColumn;
class TLbShowHide;
class TListItemData;
class TRegManager;

class TFormMain : public QWidget {
    Q_OBJECT

public:
    // `params` are the program's command-line parameters (files and folders
    // to list), without the program name.
    explicit TFormMain(std::vector<std::string> params = {}, QWidget* parent = nullptr);
    ~TFormMain() override;

    // ---- Controls, in the order of the window design ----
    QToolButton* SpeedButtonHelp;
    QFrame* PanelBase;
    QLabel* LabelInfile;
    QLabel* LabelFileNum;
    QProgressBar* ProgressBar;
    QGroupBox* GroupBoxFolderInfo;
    QRadioButton* RadioButtonInfile;
    QRadioButton* RadioButtonSelect;
    QLabel* LabelFolder;
    QLineEdit* EditSelect;
    QToolButton* SpeedButtonSelect;
    QGroupBox* GroupBoxArcFormat;
    QRadioButton* RadioButtonLzh;
    QRadioButton* RadioButtonZip;
    QLabel* LabelLzhMsg;
    QLabel* LabelZipMsg;
    QLabel* LabelZipPass;
    QLineEdit* EditZipPass;
    QLabel* LabelPassLen;
    QPushButton* ButtonOpen;
    QPushButton* ButtonListClear;
    TKWallListView* KWallListViewInfile;
    QPushButton* ButtonExec;
    QPushButton* ButtonSendEntry;
    QPushButton* ButtonEnd;
    QFrame* PanelLogo;
    // The logo panel's contents (main_logo.cpp).
    TBlendImage* BlendImageLogo = nullptr;
    TLbShowHide* LbShowHide2 = nullptr;
    TLbShowHide* LbShowHide3 = nullptr;
    TLbShowHide* LbShowHide4 = nullptr;
    TLbShowHide* LbShowHide1 = nullptr;

    // ---- Components without a window of their own ----
    TDropDst* DropDstList;  // on the input list
    TDropDst* DropDstDir;   // on the folder box; its handler belongs to the folder choice
    TSHBrowseForFolderEx* SHBrowseForFolderExIn;
    QFileDialog* OpenDialogInfile;
    QMenu* PopupMenuListView;
    QAction* NAllSelect;
    QAction* N2;
    QAction* NDel;
    QAction* N4;
    QAction* NNotExec;
    QAction* NExecEnd;
    QTimer* TimerLogoMove = nullptr;  // the logo's 200 ms step
    TAppHint* AppHint1 = nullptr;     // the look of every hint
    // Packs each entry of a run (main_run.cpp, which also frees it).
    struct TArchiveFileDeleter {
        void operator()(TArchiveFile* archive) const;
    };
    std::unique_ptr<TArchiveFile, TArchiveFileDeleter> ArchiveFile;

    // ---- Fields (all zero or false when the window is created) ----
    std::uint8_t FSortPattern = 0;  // 0 directory, 1 file name, 2 state
    bool FSortAscent = false;
    bool FDllChecked = false;
    bool FPassEnabled = false;
    int FLogoStep = 0;
    bool FLogoMove = false;
    std::string FSendToLink;
    bool FSendToEntered = false;
    // The help file: the program's path with ".html".
    std::string FHelpFile;
    // The command-line parameters given to the constructor.
    std::vector<std::string> FParams;

    // ---- Start-up, shut-down, options (main_window.cpp) ----
    void FormCreate();
    void FormDestroy();
    void RadioButtonSelectClick();
    void RadioButtonZipClick();
    void EditZipPassChange();
    void SpeedButtonHelpClick();
    void ButtonEndClick();
    void EnableControls(bool enable);

    // ---- Window settings (main_settings.cpp) ----
    TRegManager* RegManager = nullptr;  // the settings manager, INI mode
    void LoadSettings();
    void SaveSettings();

    // ---- Input list (main_list.cpp) ----
    void AddFiles(const std::vector<std::string>& files);
    // How the list turns paths into sources (see archive/source_paths.h).
    static const TSourceRules kListRules;
    void AddEntry(std::string path);
    void ClearList();
    void ShowFileCount();
    void ShowSortMark();
    void SetEntryState(int row, std::uint8_t state);
    void SetSelectedState(std::uint8_t state);
    // Sorts the whole list by the sort settings (inside the caller's bracket).
    void SortList();
    int KWallListViewInfileCompare(const TListItemData* a, const TListItemData* b) const;
    void KWallListViewInfileColumnClick(const TListColumn& column);
    void DropDstListFileDrop(TDropDst* sender, const std::vector<std::string>& files, int x, int y);
    void ButtonOpenClick();
    void ButtonListClearClick();
    void NAllSelectClick();
    void NDelClick();
    void NNotExecClick();
    void NExecEndClick();

    // ---- Logo and hints (main_logo.cpp) ----
    // Start-up step 7: the logo runs from its first step when FLogoMove is set.
    void StartLogo();
    void TimerLogoMoveTimer();
    void BlendImageLogoClick();
    void ShowLogoHint();

    // ---- Target folder choice (main_folder.cpp) ----
    void SpeedButtonSelectClick();
    void DropDstDirFileDrop(TDropDst* sender, const std::vector<std::string>& files, int x, int y);
    // The folder box's text as a path: the exact bytes of a picked or
    // dropped folder while the box still shows it.
    void SetChosenFolder(const std::string& path);
    std::string ChosenFolder() const;

    // ---- Send To registration (main_sendto.cpp) ----
    bool CheckSendTo();
    void ButtonSendEntryClick();

    // ---- The batch run (main_run.cpp) ----
    void ButtonExecClick();
    void ScrollToEntry(int row);
    // True while ButtonExecClick is running.
    bool Running() const { return FRunning; }
    // Steps of the progress bar per entry, so that it moves inside a long one.
    static constexpr int kProgressSteps = 100;
    // The window's handle in the message hub, handed to the archivers.
    HWND FWindowHandle = nullptr;
    // Worker processes a run packs in: 0 for one per core; 1 packs in the
    // window's own process.
    int FRunWorkers = 0;

    // ---- Archiver library check (main_dllcheck.cpp) ----
    bool CheckArchiverDlls();
    void FormPaint();

protected:
    void paintEvent(QPaintEvent* event) override;  // main_dllcheck.cpp
    void closeEvent(QCloseEvent* event) override;  // main_run.cpp

private:
    void CreateControls();
    void CreateListComponents();  // main_list.cpp: columns, drop target, dialog, menu
    void CreateRegManager();      // main_settings.cpp: the settings manager and its items
    void CreateFolderChoice();    // main_folder.cpp: folder dialog, folder-box drop
    void SetTabOrder();
    void CreateLogo();     // main_logo.cpp
    void CreateAppHint();  // main_logo.cpp
    void SetLogoTimerEnabled(bool enabled);
    void CreateArchiveFile();  // main_run.cpp: the component's run settings

    bool FDestroyed = false;
    // The run: under way, and a close asked for while it was (main_run.cpp).
    bool FRunning = false;
    bool FCloseRequested = false;
    // The progress of the AddFiles call under way, stepped by AddEntry.
    TProgressBracket* FAddProgress = nullptr;
    std::string FChosenFolderBytes;  // the folder last picked or dropped
};

// Background colours of an edit box: the window colour (editable) or the
// button face (off).
void SetEditColor(QLineEdit* edit, bool windowColor);

}  // namespace kt
