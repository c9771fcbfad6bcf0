#include "widgets/speed_button.h"

#include <QStyleOptionToolButton>
#include <QStylePainter>

namespace kt {

TSpeedButton::TSpeedButton(QWidget* parent) : QToolButton(parent) {
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setIconSize(QSize(16, 16));
}

void TSpeedButton::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionToolButton opt;
    initStyleOption(&opt);
    // A flat button shows its panel only under the mouse or pressed.
    if (!autoRaise() ||
        (opt.state & (QStyle::State_MouseOver | QStyle::State_Sunken | QStyle::State_On))) {
        p.drawPrimitive(QStyle::PE_PanelButtonTool, opt);
    }
    const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
    const QPixmap glyph = icon().pixmap(iconSize(), devicePixelRatio(), mode);
    const QString caption = text();
    const QFontMetrics fm = fontMetrics();
    const int textWidth =
        caption.isEmpty() ? 0 : fm.horizontalAdvance(QString(caption).remove('&'));
    const int glyphWidth = glyph.isNull() ? 0 : iconSize().width();
    const int gap = glyphWidth && textWidth ? kSpacing : 0;
    int x = (width() - (glyphWidth + gap + textWidth)) / 2;
    const int shift = isDown() ? 1 : 0;
    if (glyphWidth) {
        p.drawPixmap(x + shift, (height() - iconSize().height()) / 2 + shift, glyph);
        x += glyphWidth + gap;
    }
    if (textWidth) {
        const QRect textRect(x + shift, shift, width() - x, height());
        style()->drawItemText(&p, textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                              palette(), isEnabled(), caption, QPalette::ButtonText);
    }
}

}  // namespace kt
