#include "platform/qt/busy.h"

#include <QApplication>
#include <QCursor>

namespace kt {

THourglass::THourglass() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }

THourglass::~THourglass() { QApplication::restoreOverrideCursor(); }

void ProcessMessages() { QCoreApplication::processEvents(); }

}  // namespace kt
