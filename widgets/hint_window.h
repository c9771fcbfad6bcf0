// THintWindow: the toolkit's plain hint window, a borderless-or-framed popup
// that shows one hint text above every other window without taking the focus.
// TApplicationHints creates it through a replaceable window class, so a
// component can give the whole application hints of its own look.
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

class QPainter;

namespace kt {

class THintWindow : public QWidget {
    Q_OBJECT
public:
    THintWindow();

    // The rectangle (at 0, 0) that the text needs when wrapped at maxWidth:
    // the text's extent plus 6 pixels across and 2 down.
    virtual QRect CalcHintRect(int maxWidth, const QString& hint) const;

    // Shows the hint in the screen rectangle rect, made 4 pixels taller and
    // moved back onto the screen where it would leave it.
    virtual void ActivateHint(QRect rect, const QString& hint);

    // Hides the window and forgets its text.
    void ReleaseHint();

    const QString& Caption() const { return FCaption; }

protected:
    // The parts of the standard activation, for hint windows that add to it.
    void PlaceHint(QRect rect, const QString& hint);
    void ShowPlaced();

    // Draws the hint; the standard look is the text at (2, 2) in the tool-tip
    // colours.
    virtual void Paint(QPainter& canvas, const QRect& clip);
    // Whether the background is filled with the hint colour before Paint.
    virtual bool ErasesBackground() const { return true; }

    void paintEvent(QPaintEvent* event) override;

    // Window creation parameters: the standard hint window has a one-pixel
    // border.
    bool FBorder = true;

private:
    QString FCaption;
};

}  // namespace kt
