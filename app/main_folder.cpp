// The target folder choice: the folder dialog behind the folder button, and
// a folder dropped onto the folder box.
#include <QLineEdit>
#include <QToolButton>

#include "app/shell_paths.h"
#include "app/main_window.h"
#include "platform/qt/busy.h"
#include "widgets/drop_dst.h"
#include "widgets/shbffex.h"

namespace kt {

void TFormMain::CreateFolderChoice() {
    SHBrowseForFolderExIn = new TSHBrowseForFolderEx(this);
    SHBrowseForFolderExIn->SetCaption("圧縮ファイル格納先フォルダを選択してください");
    DropDstDir->OnFileDrop = [this](TDropDst* sender, const std::vector<std::string>& files, int x,
                                    int y) { DropDstDirFileDrop(sender, files, x, y); };
    connect(SpeedButtonSelect, &QToolButton::clicked, this, [this] { SpeedButtonSelectClick(); });
}

void TFormMain::SpeedButtonSelectClick() {
    // The dialog opens at the folder the box names, else at the computer's
    // file systems (also for a box that names a file).
    const std::string text = EditSelect->text().toStdString();
    if (PathKind(text) == 0) {
        SHBrowseForFolderExIn->SetSelectFolder(sfManual);
        SHBrowseForFolderExIn->SetSelectFolderName(text);
    } else {
        SHBrowseForFolderExIn->SetSelectFolder(sfDrives);
        SHBrowseForFolderExIn->SetSelectFolderName("");
    }
    if (SHBrowseForFolderExIn->Execute()) SetChosenFolder(SHBrowseForFolderExIn->FolderName());
}

void TFormMain::DropDstDirFileDrop(TDropDst*, const std::vector<std::string>& files, int, int) {
    THourglass hourglass;
    if (files.size() == 1 && PathKind(files.front()) == 0) SetChosenFolder(files.front());
}

void TFormMain::SetChosenFolder(const std::string& path) {
    FChosenFolderBytes = path;
    EditSelect->setText(QString::fromStdString(path));
}

std::string TFormMain::ChosenFolder() const {
    // A folder whose name is not valid UTF-8 cannot be typed; when the box
    // still shows the one that was picked or dropped, its own bytes count.
    const QString text = EditSelect->text();
    if (!FChosenFolderBytes.empty() && text == QString::fromStdString(FChosenFolderBytes))
        return FChosenFolderBytes;
    return text.toStdString();
}

}  // namespace kt
