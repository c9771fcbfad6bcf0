#include "error_box.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

namespace kt {
namespace {

TErrorBoxHandler& Handler() {
    static TErrorBoxHandler handler;
    return handler;
}

}  // namespace

TErrorBoxHandler SetErrorBoxHandler(TErrorBoxHandler handler) {
    TErrorBoxHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}

void ShowErrorBox(const std::string& text) {
    if (Handler()) {
        Handler()(text);
        return;
    }
    // Without a window system (a command-line use of the store) the text
    // still reaches the user.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(),
                    QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}

}  // namespace kt
