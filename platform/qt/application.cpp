#include "platform/qt/application.h"

#include <exception>

#include "platform/qt/prompt.h"

namespace kt {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowMessage(e.what());
    } catch (...) {
        ShowMessage("不明なエラーが発生しました。");
    }
    return false;
}

}  // namespace kt
