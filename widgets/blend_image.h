// TBlendImage: a control that shows picture B laid over picture A at an offset
// and mixed with the weight Mode/16, in 17 steps from A alone (0) to B alone
// (16). A new Mode recomputes the mixed picture and paints it at once, so a
// timer stepping Mode fades between the two pictures without flicker.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

namespace kt {

// Mixes B, placed with its top-left pixel at (x, y) in A's coordinates, into a
// copy of A. Every colour byte of the overlap becomes the byte formula of the
// given mode (0 ... 16); everything else is A's. The result is 24 bits per
// pixel and A's size. A and B are converted to 24 bits per pixel in place when
// they are not already. Fails, leaving the result untouched, when A or B is
// empty, they do not overlap, or the mode is outside 0 ... 16.
bool BlendBitmaps(QImage& result, QImage& a, int x, int y, QImage& b, int mode);

// Reduces a 15-, 16-, 24- or 32-bit picture to an 8-bit picture over a fixed
// palette of levelsR x levelsG x levelsB colours, with error diffusion from the
// bottom row up. Target and source may be the same picture. Fails, leaving the
// target untouched, for fewer than 2 levels of a channel, more than 256
// colours, an empty source or a source of another depth.
bool ReduceColors(QImage& target, const QImage& source, int levelsR, int levelsG, int levelsB);

class TBlendImage : public QWidget {
    Q_OBJECT
public:
    explicit TBlendImage(QWidget* parent = nullptr);

    // The window definition's settings are applied between BeginLoad() and
    // Loaded(): meanwhile setters only store, and Loaded() blends once.
    void BeginLoad();
    void Loaded();
    bool IsLoading() const { return FLoading; }

    const QImage& BmpA() const { return FBmpA; }
    const QImage& BmpB() const { return FBmpB; }
    void SetBmpA(const QImage& picture);
    void SetBmpB(const QImage& picture);
    // Changes a picture in place; the control follows the change.
    void EditBmpA(const std::function<void(QImage&)>& edit);
    void EditBmpB(const std::function<void(QImage&)>& edit);

    int Mode() const { return FMode; }
    void SetMode(int mode);  // kept within 0 ... 16
    int OfsX() const { return FOfsX; }
    void SetOfsX(int x);
    int OfsY() const { return FOfsY; }
    void SetOfsY(int y);

    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool on);
    bool Center() const { return FCenter; }
    void SetCenter(bool on);
    bool Stretch() const { return FStretch; }
    void SetStretch(bool on);

    // The mixed picture as last computed; empty until the first successful
    // blend and after a failing one.
    const QImage& Result() const { return FResult; }

    void UpdateImage();

    std::function<void(QObject* sender)> OnClick;
    std::function<void(QObject* sender)> OnDblClick;

    // Colour depth of the display the control is shown on; at 8 bits or less
    // the mixed picture is reduced to the fixed palette before it is drawn.
    // Tests replace it to take the 8-bit path.
    std::function<int()> DisplayDepth;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void PictureChanged();
    void Invalidate();

    QImage FBmpA;
    QImage FBmpB;
    QImage FResult;
    int FMode = 0;
    int FOfsX = 0;
    int FOfsY = 0;
    bool FAutoSize = false;
    bool FCenter = false;
    bool FStretch = false;
    bool FLoading = false;
};

}  // namespace kt
