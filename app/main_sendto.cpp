// Send To registration: one button puts the program's entries into the
// context menus of the file managers (Thunar's Send To shortcut and the
// entries of every other one installed) or takes them all out again, and
// always says which of the two a press will do.
#include <unistd.h>

#include <QPushButton>
#include <algorithm>
#include <cerrno>

#include "app/shell_paths.h"
#include "app/main_window.h"
#include "app/sendto_entries.h"
#include "app/ui_text.h"
#include "platform/qt/busy.h"
#include "platform/qt/prompt.h"

namespace kt {

namespace {

// "KalvoraTrindle" in double quotes, as every Send To message begins.
std::string QuotedTitle() { return std::string("\"") + kProgramTitle + "\""; }

}  // namespace

bool TFormMain::CheckSendTo() {
    // The file manager's own Send To folder, not a sibling of the desktop:
    // that is the folder it really reads.
    const std::vector<TSendToEntry> entries = SendToEntries();
    FSendToLink = entries.front().Path;
    // Any one entry counts: the press then takes out all of them.
    const bool entered = std::any_of(entries.begin(), entries.end(),
                                     [](const TSendToEntry& e) { return PathKind(e.Path) == 2; });
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
        // An entry that is still there afterwards is reported, not
        // announced as removed.
        bool removed = true;
        for (const TSendToEntry& entry : SendToEntries())
            if (::unlink(entry.Path.c_str()) != 0 && errno != ENOENT) removed = false;
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
        // Thunar's shortcut always, as designed; the other file managers'
        // entries where they are installed. All or none: a half-made
        // registration would leave the button saying it is registered.
        std::vector<std::string> written;
        bool saved = true;
        for (const TSendToEntry& entry : SendToEntries()) {
            if (entry.Manager != fmThunar && !FileManagerInstalled(entry.Manager)) continue;
            if (!WriteSendToEntry(entry, GetAppPath(), SendToWorkFolder())) {
                saved = false;
                break;
            }
            written.push_back(entry.Path);
        }
        if (!saved)
            for (const std::string& path : written) ::unlink(path.c_str());
        ShowMessage(QuotedTitle() +
                    (saved ? "をコンテキストメニューの「送る」に登録しました"
                           : "をコンテキストメニューの「送る」に登録できませんでした"));
    }
    FSendToEntered = CheckSendTo();
}

}  // namespace kt
