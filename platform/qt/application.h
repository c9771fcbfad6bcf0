// The application object: an error that no handler catches reaches the
// general error report, a message box with the error's text, instead of
// ending the program.
#pragma once

#include <QApplication>

namespace kt {

class TApplication : public QApplication {
    Q_OBJECT

public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace kt
