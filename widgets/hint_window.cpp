#include "widgets/hint_window.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

namespace kt {

namespace {
constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
}

THintWindow::THintWindow()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::WindowTransparentForInput) {
    // A hint never takes the focus or the mouse; it may leave some pixels
    // unpainted, which then stay see-through.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
}

QRect THintWindow::CalcHintRect(int maxWidth, const QString& hint) const {
    const QRect text =
        QFontMetrics(font()).boundingRect(QRect(0, 0, std::max(maxWidth, 1), 0), kTextFlags, hint);
    return QRect(0, 0, text.width() + 6, text.height() + 2);
}

void THintWindow::ActivateHint(QRect rect, const QString& hint) {
    PlaceHint(rect, hint);
    ShowPlaced();
}

void THintWindow::ReleaseHint() {
    hide();
    FCaption.clear();
}

void THintWindow::PlaceHint(QRect rect, const QString& hint) {
    FCaption = hint;
    rect.setHeight(rect.height() + 4);
    const QScreen* screen = QGuiApplication::screenAt(rect.topLeft());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect desk = screen->geometry();
        if (rect.right() > desk.right()) rect.moveRight(desk.right());
        if (rect.bottom() > desk.bottom()) rect.moveBottom(desk.bottom());
        if (rect.left() < desk.left()) rect.moveLeft(desk.left());
        if (rect.top() < desk.top()) rect.moveTop(desk.top());
    }
    setGeometry(rect);
}

void THintWindow::ShowPlaced() {
    show();
    raise();
    update();
}

void THintWindow::Paint(QPainter& canvas, const QRect&) {
    canvas.setPen(palette().color(QPalette::ToolTipText));
    canvas.setFont(font());
    canvas.drawText(rect().adjusted(2, 2, 0, 0), kTextFlags, FCaption);
}

void THintWindow::paintEvent(QPaintEvent* event) {
    QPainter canvas(this);
    if (ErasesBackground()) canvas.fillRect(rect(), palette().color(QPalette::ToolTipBase));
    if (FBorder) {
        canvas.setPen(palette().color(QPalette::ToolTipText));
        canvas.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    Paint(canvas, event->rect());
}

}  // namespace kt
