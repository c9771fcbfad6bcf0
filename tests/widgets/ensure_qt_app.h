// One QApplication for a whole test program, made by whichever test needs it
// first; every widget test calls EnsureQtApp() in its set-up.
#ifndef KT_TESTS_ENSURE_QT_APP_H
#define KT_TESTS_ENSURE_QT_APP_H

#include <QApplication>

inline QApplication* EnsureQtApp() {
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "kt_tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    return qobject_cast<QApplication*>(QApplication::instance());
}

#endif
