// The check for installed archiver libraries, run once at the window's first
// paint: which formats can be made, whether ZIP passwords are possible, the
// red warnings with their hints, and the one message when nothing is usable.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <array>

#include "app/shell_paths.h"
#include "app/main_window.h"
#include "app/ui_text.h"
#include "platform/file_scan.h"
#include "platform/library_loader.h"
#include "platform/qt/prompt.h"

namespace kt {

namespace {

enum TDllName { dnUnlha, dnZip32j, dnZip32, dnIzip32j, dnZcrypt32, dnCount };
constexpr std::array<const char*, dnCount> kDllNames = {"UNLHA32.DLL", "ZIP32J.DLL", "ZIP32.DLL",
                                                        "IZIP32J.DLL", "ZCRYPT32.DLL"};

// The folders searched, each ending in "/": every non-empty PATH piece as
// written (not trimmed, so quotation marks stay part of it), then the
// program's own folder, which the library loader searches as well.
std::vector<std::string> SearchFolders() {
    std::vector<std::string> folders = PathFolders();
    for (std::string& folder : folders)
        if (folder.back() != '/') folder += '/';
    folders.push_back(GetProgramFolder() + "/");
    return folders;
}

void SetLabel(QLabel* label, const char* caption, const char* hint) {
    label->setText(U(caption));
    label->setToolTip(U(hint));
}

}  // namespace

bool TFormMain::CheckArchiverDlls() {
    std::array<bool, dnCount> found{};
    for (const std::string& folder : SearchFolders()) {
        for (int i = 0; i < dnCount; ++i) {
            if (!found[i] && TypeOfPath(folder + kDllNames[i]) == PathType::File) found[i] = true;
        }
    }

    if (found[dnUnlha]) {
        SetLabel(LabelLzhMsg, "", "");
        RadioButtonLzh->setEnabled(true);
    } else {
        SetLabel(LabelLzhMsg, "UNLHA32.DLLが見つかりません",
                 "UNLHA32.DLL をインストールしないと圧縮できません。");
        RadioButtonLzh->setEnabled(false);
        RadioButtonZip->setChecked(true);
    }

    const bool engine = found[dnZip32] || found[dnIzip32j];
    if (found[dnZip32j] && engine) {
        SetLabel(LabelZipMsg, "", "");
        RadioButtonZip->setEnabled(true);
    } else {
        if (found[dnZip32j]) {
            SetLabel(LabelZipMsg, "必要なDLLが見つかりません",
                     "ZIP32.DLL または IZIP32J.DLL をインストールしないと圧縮できません。");
        } else if (engine) {
            SetLabel(LabelZipMsg, "ZIP32J.DLLが見つかりません",
                     "ZIP32J.DLL をインストールしないと圧縮できません。");
        } else {
            SetLabel(LabelZipMsg, "必要なDLLが見つかりません",
                     "ZIP32J.DLL および、ZIP32.DLL または IZIP32J.DLL "
                     "をインストールしないと圧縮できません。");
        }
        RadioButtonZip->setEnabled(false);
        RadioButtonLzh->setChecked(true);
    }

    FPassEnabled = found[dnZip32] || found[dnZcrypt32];
    if (FPassEnabled) {
        LabelZipPass->setToolTip(U("ZIP形式で圧縮する場合のみ指定できます（全ファイルで共通）"));
        EditZipPass->setToolTip(LabelZipPass->toolTip());
        LabelPassLen->setToolTip(
            U("入力されているパスワードの文字数です（０ならパスワードは設定されません）"));
    } else {
        const QString hint =
            U("ZIP32.DLL または ZCRYPT32.DLL をインストールしないとパスワードは設定できません。");
        for (QWidget* w :
             std::initializer_list<QWidget*>{LabelZipPass, EditZipPass, LabelPassLen}) {
            w->setToolTip(hint);
        }
    }
    for (QWidget* w : std::initializer_list<QWidget*>{LabelZipPass, EditZipPass, LabelPassLen}) {
        w->setEnabled(FPassEnabled);
    }

    if (!LabelLzhMsg->text().isEmpty() && !LabelZipMsg->text().isEmpty()) {
        ButtonExec->setEnabled(false);
        ShowMessage("必要なDLLがインストールされていないと使用できません。。。");
        return false;
    }
    return true;
}

void TFormMain::FormPaint() {
    if (FDllChecked) return;
    // Set before the check, so a paint while its message box is open does
    // not start it again.
    FDllChecked = true;
    CheckArchiverDlls();
    RadioButtonZipClick();
}

void TFormMain::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    // The check may show a modal message box, which must not open inside a
    // paint event: it runs right after this paint. Several paints before it
    // runs post it several times; only the first one checks.
    if (!FDllChecked) QTimer::singleShot(0, this, [this] { FormPaint(); });
}

}  // namespace kt
