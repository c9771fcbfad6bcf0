#include "error_box.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "platform/qt/prompt.h"

namespace kt {

void ShowErrorBox(const std::string& text) {
    if (dynamic_cast<TMessageBoxPrompt*>(&Prompts()) == nullptr) {
        Prompts().Ask(text, {mbOK});
        return;
    }
    // Without a window system (a command-line use of the store) the text
    // still reaches the user.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8("KalvoraTrindle"),
                    QString::fromStdString(text), QMessageBox::Ok, DialogOwner());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace kt
