// The one application object of a widget test program, made on first use
// with the program's font setup (the tests run with QT_QPA_PLATFORM=offscreen).
#pragma once

#include <QApplication>

#include "platform/qt/fonts.h"

namespace kt::test {

inline QApplication& App() {
    static int argc = 1;
    static char name[] = "kt_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* a = new QApplication(argc, argv);
        InstallJapaneseFontFallback();
        QApplication::setFont(DesignFont(12));
        return a;
    }();
    return *app;
}

}  // namespace kt::test
