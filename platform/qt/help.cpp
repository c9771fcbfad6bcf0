#include "platform/qt/help.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include "platform/qt/prompt.h"

namespace kt {

namespace {

bool OpenWithDesktop(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

TDocumentOpener& Opener() {
    static TDocumentOpener opener = OpenWithDesktop;
    return opener;
}

}  // namespace

void SetDocumentOpener(TDocumentOpener opener) {
    Opener() = opener ? std::move(opener) : TDocumentOpener(OpenWithDesktop);
}

bool ShowHelpContents(const std::string& helpFile) {
    if (!QFileInfo(QString::fromStdString(helpFile)).isFile()) {
        ShowMessage("ヘルプファイル " + helpFile + " が見つかりません。");
        return false;
    }
    // The desktop hands the page to its browser through xdg-open; the only
    // way this fails is that no such program is there to start, so the
    // message says so and where the page is, for opening it by hand.
    if (!Opener()(helpFile)) {
        ShowMessage(
            "ヘルプを表示するプログラム（xdg-open とブラウザ）が見つかりません。\r"
            "ヘルプファイルは " +
            helpFile + " にあります。ブラウザで開いてください。");
        return false;
    }
    return true;
}

}  // namespace kt
