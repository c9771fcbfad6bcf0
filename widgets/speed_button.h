// TSpeedButton: a flat button that draws its glyph and caption side by side,
// centred together, edge to edge like a toolbar speed button (the style's
// own tool-button padding would cut short captions in narrow buttons). It
// takes no keyboard focus; its mnemonic still works.
#pragma once

#include <QToolButton>

namespace kt {

class TSpeedButton : public QToolButton {
    Q_OBJECT

public:
    explicit TSpeedButton(QWidget* parent = nullptr);

    // Pixels between glyph and caption.
    static constexpr int kSpacing = 4;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kt
