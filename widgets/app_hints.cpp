#include "widgets/app_hints.h"

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QScreen>
#include <QWidget>

namespace kt {

namespace {
// The hint appears below the mouse pointer, as tool tips do.
constexpr int kCursorHeightMargin = 20;
}  // namespace

TApplicationHints& TApplicationHints::Instance() {
    // Owned by the application object, so it goes with it.
    static QPointer<TApplicationHints> instance;
    if (!instance) instance = new TApplicationHints();
    return *instance;
}

TApplicationHints::TApplicationHints() : QObject(QCoreApplication::instance()) {
    FWindowClass = [] { return new THintWindow(); };
    FShowTimer.setSingleShot(true);
    FHideTimer.setSingleShot(true);
    // The delays are the user's settings; keep them to the millisecond.
    FShowTimer.setTimerType(Qt::PreciseTimer);
    FHideTimer.setTimerType(Qt::PreciseTimer);
    connect(&FShowTimer, &QTimer::timeout, this, [this] {
        if (FHintControl) ActivateHintFor(FHintControl, FCursorPos);
    });
    connect(&FHideTimer, &QTimer::timeout, this, [this] {
        if (FHintWindow) FHintWindow->ReleaseHint();
        FHintActive = false;
    });
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->installEventFilter(this);
        connect(app, &QCoreApplication::aboutToQuit, this, [this] { delete FHintWindow.data(); });
    }
}

// The hint window is a window of its own, so it has no parent to free it. It
// goes when the event loop ends; once the application object is being torn
// down, widgets can no longer be destroyed, and the process is ending anyway.
TApplicationHints::~TApplicationHints() {
    if (!QCoreApplication::closingDown()) delete FHintWindow.data();
}

void TApplicationHints::SetShowHint(bool on) {
    if (on == FShowHint) return;
    FShowHint = on;
    CancelHint();
    delete FHintWindow.data();
    if (on) FHintWindow = FWindowClass();
}

void TApplicationHints::SetHintWindowClass(THintWindowClass windowClass) {
    FWindowClass = windowClass ? std::move(windowClass) : [] { return new THintWindow(); };
}

void TApplicationHints::RecreateHintWindow() {
    SetShowHint(false);
    SetShowHint(true);
}

int TApplicationHints::HintMaxWidthAt(QPoint globalPos) const {
    const QScreen* screen = QGuiApplication::screenAt(globalPos);
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 640;
}

QWidget* TApplicationHints::HintControlOf(QWidget* widget) {
    // A control without a hint of its own shows its parent's.
    for (QWidget* w = widget; w; w = w->parentWidget()) {
        if (!w->toolTip().isEmpty()) return w;
        if (w->isWindow()) break;
    }
    return nullptr;
}

void TApplicationHints::SetHint(const QString& hint) {
    if (hint == FHint) return;
    FHint = hint;
    if (OnHint) OnHint(this);
}

void TApplicationHints::HintMouseMessage(QWidget* control, QPoint globalPos) {
    FCursorPos = globalPos;
    QWidget* hintControl = HintControlOf(control);
    SetHint(hintControl ? hintControl->toolTip() : QString());
    if (hintControl == FHintControl) return;

    FShowTimer.stop();
    FHideTimer.stop();
    if (FHintWindow) FHintWindow->ReleaseHint();
    FHintControl = hintControl;
    if (!control) FHintActive = false;  // the mouse left our windows
    if (!hintControl || !FShowHint) return;
    FShowTimer.start(FHintActive ? FHintShortPause : FHintPause);
}

void TApplicationHints::ActivateHintFor(QWidget* control, QPoint globalPos) {
    FShowTimer.stop();
    FHideTimer.stop();
    if (!FShowHint || !control) return;
    FHintControl = control;
    FCursorPos = globalPos;

    THintInfo info;
    info.HintControl = control;
    info.HintPos = globalPos + QPoint(0, kCursorHeightMargin);
    info.HintMaxWidth = HintMaxWidthAt(globalPos);
    info.HintColor = control->palette().color(QPalette::ToolTipBase);
    info.CursorRect = control->rect();
    info.CursorPos = control->mapFromGlobal(globalPos);
    info.HideTimeout = FHintHidePause;
    info.HintStr = control->toolTip();
    QString hint = info.HintStr;
    bool canShow = true;
    if (OnShowHint) OnShowHint(hint, canShow, info);
    if (!canShow || hint.isEmpty()) return;

    if (!FHintWindow) FHintWindow = FWindowClass();
    QRect rect = FHintWindow->CalcHintRect(info.HintMaxWidth, hint);
    rect.moveTopLeft(info.HintPos);
    FHintWindow->ActivateHint(rect, hint);
    FHintActive = true;
    if (info.HideTimeout > 0) FHideTimer.start(info.HideTimeout);
}

void TApplicationHints::CancelHint() {
    FShowTimer.stop();
    FHideTimer.stop();
    if (FHintWindow) FHintWindow->ReleaseHint();
    FHintActive = false;
}

bool TApplicationHints::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::ToolTip:
            // Qt's own tool-tip popup never shows; the hint window does.
            return true;
        case QEvent::Enter:
        case QEvent::Leave: {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (!widget || qobject_cast<THintWindow*>(widget->window())) break;
            if (event->type() == QEvent::Enter) {
                HintMouseMessage(widget,
                                 static_cast<QEnterEvent*>(event)->globalPosition().toPoint());
            } else {
                // Leaving a child returns the mouse to its parent; leaving a
                // window leaves our controls.
                HintMouseMessage(widget->isWindow() ? nullptr : widget->parentWidget(),
                                 QCursor::pos());
            }
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::Wheel:
        case QEvent::ApplicationDeactivate:
            if (FHintWindow && FHintWindow->isVisible()) CancelHint();
            FShowTimer.stop();
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace kt
