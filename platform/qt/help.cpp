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
    if (!Opener()(helpFile)) {
        ShowMessage("ヘルプファイル " + helpFile + " を開けません。");
        return false;
    }
    return true;
}

}  // namespace kt
