// TLbShowHide: a text label that starts invisible, keeps its given size and
// centres its text both ways; the logo panel holds four of them.
#pragma once

#include <QLabel>

namespace kt {

class TLbShowHide : public QLabel {
    Q_OBJECT
public:
    explicit TLbShowHide(QWidget* parent = nullptr);
};

}  // namespace kt
