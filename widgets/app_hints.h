// TApplicationHints: the application's hint machinery. A control's hint is its
// Qt tool tip; this object replaces Qt's own tool-tip popup with a hint window
// of a replaceable class, shown after HintPause when the mouse rests on a
// control, hidden after HintHidePause, and shown after HintShortPause when the
// mouse moves on to another control while hints are active. There is one per
// application.
#pragma once

#include <QColor>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>
#include <functional>

#include "widgets/hint_window.h"

class QWidget;

namespace kt {

// What the machinery is about to show; a show-hint handler may change it.
struct THintInfo {
    QWidget* HintControl = nullptr;
    QPoint HintPos;        // screen position of the hint window's top-left corner
    int HintMaxWidth = 0;  // the text is wrapped at this width
    QColor HintColor;
    QRect CursorRect;  // in the control's coordinates
    QPoint CursorPos;  // in the control's coordinates
    int ReshowTimeout = 0;
    int HideTimeout = 0;
    QString HintStr;
};

using TShowHintEvent = std::function<void(QString& hintStr, bool& canShow, THintInfo& hintInfo)>;
using THintWindowClass = std::function<THintWindow*()>;

class TApplicationHints : public QObject {
    Q_OBJECT
public:
    static TApplicationHints& Instance();

    // Switching hints off destroys the hint window; switching them on creates
    // a new one of the current window class.
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool on);

    void SetHintWindowClass(THintWindowClass windowClass);
    // Switches hints off and on: the hint window is made anew.
    void RecreateHintWindow();
    THintWindow* HintWindow() const { return FHintWindow; }

    int HintPause() const { return FHintPause; }
    void SetHintPause(int ms) { FHintPause = ms; }
    int HintHidePause() const { return FHintHidePause; }
    void SetHintHidePause(int ms) { FHintHidePause = ms; }
    int HintShortPause() const { return FHintShortPause; }
    void SetHintShortPause(int ms) { FHintShortPause = ms; }

    // The hint of the control under the mouse; OnHint fires when it changes.
    const QString& Hint() const { return FHint; }
    std::function<void(QObject* sender)> OnHint;
    TShowHintEvent OnShowHint;

    // The wrap width the machinery offers for a hint near the given point:
    // the width of that screen.
    int HintMaxWidthAt(QPoint globalPos) const;

    // The mouse is over control (nullptr: over no window of ours) at the
    // screen position pos: starts, keeps or cancels the pending hint.
    void HintMouseMessage(QWidget* control, QPoint globalPos);
    // Shows the hint of control now, as the show delay does when it ends.
    void ActivateHintFor(QWidget* control, QPoint globalPos);
    // Hides the hint; it comes back only when the mouse reaches another control.
    void CancelHint();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TApplicationHints();
    ~TApplicationHints() override;
    void SetHint(const QString& hint);
    static QWidget* HintControlOf(QWidget* widget);

    bool FShowHint = true;
    int FHintPause = 500;
    int FHintHidePause = 2500;
    int FHintShortPause = 50;
    THintWindowClass FWindowClass;
    QPointer<THintWindow> FHintWindow;
    QPointer<QWidget> FHintControl;
    QPoint FCursorPos;
    bool FHintActive = false;  // a hint was shown and the mouse has stayed on our controls
    QString FHint;
    QTimer FShowTimer;
    QTimer FHideTimer;
};

}  // namespace kt
