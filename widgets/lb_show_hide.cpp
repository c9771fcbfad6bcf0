#include "widgets/lb_show_hide.h"

namespace kt {

TLbShowHide::TLbShowHide(QWidget* parent) : QLabel(parent) {
    // Hidden explicitly, so showing the parent does not show the label.
    setVisible(false);
    setAlignment(Qt::AlignCenter);
    // No automatic sizing: the label keeps the size it is given.
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

}  // namespace kt
