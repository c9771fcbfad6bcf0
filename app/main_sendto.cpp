// Send To registration: one button puts the program's shortcut into the file
// manager's Send To folder or takes it out again, and always says which of
// the two a press will do.
#include <unistd.h>

#include <QDir>
#include <QPushButton>
#include <cerrno>

#include "app/kaltri_common.h"
#include "app/main_window.h"
#include "platform/qt/busy.h"
#include "platform/qt/prompt.h"
#include "platform/qt/shell_places.h"

namespace kt {

namespace {

// "KalvoraTrindle" in double quotes, as every Send To message begins.
std::string QuotedTitle() { return std::string("\"") + kProgramTitle + "\""; }

QString U(const char* text) { return QString::fromUtf8(text); }

}  // namespace

bool TFormMain::CheckSendTo() {
    // The file manager's own Send To folder, not a sibling of the desktop:
    // that is the folder it really reads.
    FSendToLink = SendToFolderPath() + "/" + kProgramTitle + ".desktop";
    const bool entered = PathKind(FSendToLink) == 2;
    if (entered) {
        ButtonSendEntry->setText(U("解除(&T)"));
        ButtonSendEntry->setToolTip(U("エクスプローラーの「送る」から削除します"));
    } else {
        ButtonSendEntry->setText(U("設定(&T)"));
        ButtonSendEntry->setToolTip(U("エクスプローラーの「送る」に登録します"));
    }
    ProcessMessages();
    return entered;
}

void TFormMain::ButtonSendEntryClick() {
    const bool current = CheckSendTo();
    if (current != FSendToEntered) {
        ShowMessage("SendToフォルダが変更されたようです。。。");
        FSendToEntered = current;
    }
    if (FSendToEntered) {
        if (MessageDlg(QuotedTitle() + "をコンテキストメニューの「送る」から削除します。\r" +
                           "よろしいですか？",
                       {mbYes, mbNo}) != mrYes) {
            ShowMessage("処理を中断します。");
            return;
        }
        // A shortcut that is still there afterwards is reported, not
        // announced as removed.
        const bool removed = ::unlink(FSendToLink.c_str()) == 0 || errno == ENOENT;
        ShowMessage(QuotedTitle() +
                    (removed ? "をコンテキストメニューの「送る」から削除しました"
                             : "をコンテキストメニューの「送る」から削除できませんでした"));
    } else {
        if (MessageDlg(QuotedTitle() + "をコンテキストメニューの「送る」に登録します。\r" +
                           "よろしいですか？",
                       {mbYes, mbNo}) != mrYes) {
            ShowMessage("処理を中断します。");
            return;
        }
        // The file manager's Send To folder often does not exist until the
        // first entry goes there.
        QDir().mkpath(QString::fromStdString(SendToFolderPath()));
        // "%F" hands every selected file to one start of the program.
        const bool saved =
            CreateShortcut(FSendToLink, GetAppPath(), "%F", GetAppDir(), kProgramTitle);
        ShowMessage(QuotedTitle() +
                    (saved ? "をコンテキストメニューの「送る」に登録しました"
                           : "をコンテキストメニューの「送る」に登録できませんでした"));
    }
    FSendToEntered = CheckSendTo();
}

}  // namespace kt
