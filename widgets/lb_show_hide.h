// TLbShowHide: a text label that starts invisible, keeps its given size and
// centres its text both ways; the logo panel holds four of them.
#ifndef KT_WIDGETS_LB_SHOW_HIDE_H
#define KT_WIDGETS_LB_SHOW_HIDE_H

#include <QLabel>

class TLbShowHide : public QLabel {
    Q_OBJECT
public:
    explicit TLbShowHide(QWidget* parent = nullptr);
};

#endif
