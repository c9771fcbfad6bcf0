#include "platform/qt/prompt.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <algorithm>

namespace kt {

namespace {

constexpr const char* kTitle = "KalvoraTrindle";

TMessageBoxPrompt& MessageBoxPrompt() {
    static TMessageBoxPrompt prompt;
    return prompt;
}

TPromptService* gService = nullptr;

QPointer<QWidget>& RegisteredOwner() {
    static QPointer<QWidget> owner;
    return owner;
}

TMsgDlgBtn DefaultButton(const TMsgDlgButtons& ordered) {
    if (std::find(ordered.begin(), ordered.end(), mbYes) != ordered.end()) return mbYes;
    return ordered.empty() ? mbOK : ordered.front();
}

}  // namespace

const char* ButtonCaption(TMsgDlgBtn button) {
    switch (button) {
        case mbYes:
            return "はい(&Y)";
        case mbNo:
            return "いいえ(&N)";
        case mbAbort:
            return "中止(&A)";
        case mbNoToAll:
            return "すべていいえ(&O)";
        case mbYesToAll:
            return "すべてはい(&A)";
        case mbOK:
            return "OK";
    }
    return "";
}

TModalResult ButtonResult(TMsgDlgBtn button) {
    switch (button) {
        case mbYes:
            return mrYes;
        case mbNo:
            return mrNo;
        case mbAbort:
            return mrAbort;
        case mbNoToAll:
            return mrNoToAll;
        case mbYesToAll:
            return mrYesToAll;
        case mbOK:
            return mrOk;
    }
    return mrNone;
}

TMsgDlgButtons OrderedButtons(const TMsgDlgButtons& buttons) {
    TMsgDlgButtons ordered;
    for (TMsgDlgBtn b : {mbYes, mbNo, mbAbort, mbNoToAll, mbYesToAll, mbOK}) {
        if (std::find(buttons.begin(), buttons.end(), b) != buttons.end()) ordered.push_back(b);
    }
    if (ordered.empty()) ordered.push_back(mbOK);
    return ordered;
}

QWidget* DialogOwner() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* main = RegisteredOwner().data()) return main;
    return QApplication::activeWindow();
}

void SetDialogOwner(QWidget* window) { RegisteredOwner() = window; }

TPromptService& Prompts() { return gService ? *gService : MessageBoxPrompt(); }

void SetPromptService(TPromptService* service) { gService = service; }

TModalResult MessageDlg(const std::string& text, const TMsgDlgButtons& buttons) {
    return Prompts().Ask(text, buttons);
}

void ShowMessage(const std::string& text) { Prompts().Ask(text, {mbOK}); }

TModalResult TMessageBoxPrompt::Ask(const std::string& text, const TMsgDlgButtons& buttons) {
    QString shown = QString::fromStdString(text);
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));

    QMessageBox box(DialogOwner());
    box.setWindowTitle(QString::fromUtf8(kTitle));
    box.setIcon(QMessageBox::NoIcon);
    box.setText(shown);
    box.setTextFormat(Qt::PlainText);

    const TMsgDlgButtons ordered = OrderedButtons(buttons);
    const TMsgDlgBtn defaultButton = DefaultButton(ordered);
    std::vector<std::pair<QPushButton*, TMsgDlgBtn>> made;
    for (TMsgDlgBtn b : ordered) {
        // ActionRole keeps the buttons in the order they are added, whatever
        // the style's own button layout would do with Yes/No roles.
        QPushButton* pb =
            box.addButton(QString::fromUtf8(ButtonCaption(b)), QMessageBox::ActionRole);
        made.emplace_back(pb, b);
        if (b == defaultButton) box.setDefaultButton(pb);
    }
    // Closing the box with Escape or the title bar answers like the last
    // "way out": No when offered, else Abort, else OK.
    for (TMsgDlgBtn escape : {mbNo, mbAbort, mbOK}) {
        auto it =
            std::find_if(made.begin(), made.end(), [&](auto& p) { return p.second == escape; });
        if (it != made.end()) {
            box.setEscapeButton(it->first);
            break;
        }
    }
    box.exec();
    for (auto& [pb, b] : made) {
        if (box.clickedButton() == pb) return ButtonResult(b);
    }
    return mrNone;
}

TScriptedAnswerer::TScriptedAnswerer() : FPrevious(gService) { SetPromptService(this); }

TScriptedAnswerer::~TScriptedAnswerer() { SetPromptService(FPrevious); }

TModalResult TScriptedAnswerer::Ask(const std::string& text, const TMsgDlgButtons& buttons) {
    const TMsgDlgButtons ordered = OrderedButtons(buttons);
    Asked.push_back({text, ordered});
    if (Answers.empty()) {
        ++Unscripted;
        return ButtonResult(DefaultButton(ordered));
    }
    TModalResult answer = Answers.front();
    Answers.pop_front();
    return answer;
}

}  // namespace kt
