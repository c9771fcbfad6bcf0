#include "platform/qt/update_bracket.h"

#include <QWidget>

namespace kt {

TUpdateBracket::TUpdateBracket(QWidget* widget)
    : FWidget(widget), FWasEnabled(widget && widget->updatesEnabled()) {
    if (FWidget) FWidget->setUpdatesEnabled(false);
}

TUpdateBracket::~TUpdateBracket() {
    if (FWidget && FWasEnabled) FWidget->setUpdatesEnabled(true);
}

}  // namespace kt
