// The update bracket for a widget: no repaint until the bracket closes, then
// one repaint of everything.
#pragma once

class QWidget;

namespace kt {

class TUpdateBracket {
public:
    explicit TUpdateBracket(QWidget* widget);
    ~TUpdateBracket();
    TUpdateBracket(const TUpdateBracket&) = delete;
    TUpdateBracket& operator=(const TUpdateBracket&) = delete;

private:
    QWidget* FWidget;
    bool FWasEnabled;
};

}  // namespace kt
