// The logo in the lower left corner: a blend image that fades between the
// day and night pictures every 200 ms while the animation is on, switched on
// and off by a click; and the window's hint component, which gives every
// hint of the program the leader-line look.
#include <QImage>
#include <QTimer>

#include "app/main_window.h"
#include "platform/qt/fonts.h"
#include "widgets/blend_image.h"
#include "widgets/lb_show_hide.h"
#include "widgets/styled_hints.h"

namespace kt {

namespace {

// The logo labels' fonts; the labels stay hidden, as designed.
QFont LabelFont(const char* family, int pixelHeight, bool bold, bool italic) {
    QFont font(QString::fromUtf8(family));
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

TLbShowHide* LogoLabel(QWidget* panel, int x, int y, int w, int h, const QString& text,
                       const QFont& font, const QColor& colour) {
    auto* label = new TLbShowHide(panel);
    label->setGeometry(x, y, w, h);
    label->setText(text);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

}  // namespace

void TFormMain::CreateLogo() {
    BlendImageLogo = new TBlendImage(PanelLogo);
    BlendImageLogo->setObjectName("BlendImageLogo");
    BlendImageLogo->BeginLoad();
    // Fills the panel inside its bevel.
    BlendImageLogo->setGeometry(2, 2, 157, 85);
    BlendImageLogo->SetBmpA(QImage(":/logo_day.png"));
    BlendImageLogo->SetBmpB(QImage(":/logo_night.png"));
    BlendImageLogo->SetMode(0);
    BlendImageLogo->SetOfsX(0);
    BlendImageLogo->SetOfsY(0);
    BlendImageLogo->OnClick = [this](QObject*) { BlendImageLogoClick(); };
    BlendImageLogo->Loaded();

    LbShowHide2 = LogoLabel(PanelLogo, 2, 2, 157, 31, "Kalvora",
                            LabelFont("DejaVu Serif", 27, true, true), QColor(0, 255, 0));
    LbShowHide3 = LogoLabel(PanelLogo, 2, 33, 157, 24, "Trindle",
                            LabelFont("Comic Sans MS", 21, true, true), QColor(0, 128, 0));
    LbShowHide4 = LogoLabel(PanelLogo, 2, 57, 157, 13, "Ver.1.00",
                            LabelFont("DejaVu Sans", 15, true, false), QColor(0, 0, 128));
    LbShowHide1 = LogoLabel(PanelLogo, 2, 70, 157, 17, "Freeware by the Kalvora project",
                            DesignFont(12), QColor(0, 0, 0));

    TimerLogoMove = new QTimer(this);
    TimerLogoMove->setObjectName("TimerLogoMove");
    TimerLogoMove->setInterval(200);
    connect(TimerLogoMove, &QTimer::timeout, this, [this] { TimerLogoMoveTimer(); });
}

void TFormMain::CreateAppHint() {
    AppHint1 = new TAppHint(this);
    AppHint1->setObjectName("AppHint1");
    AppHint1->SetBGColor(QColor(0, 0, 0));
    AppHint1->SetBrush(QBrush(Qt::NoBrush));
    AppHint1->SetFont(DesignFont(13));
    AppHint1->SetFontColor(QColor(255, 0, 0));
    AppHint1->SetHintPause(500);
    AppHint1->SetHintHidePause(3000);
    AppHint1->SetHintShortPause(0);
    AppHint1->SetHintStyle(hsLineString);
    AppHint1->SetShadowColor(QColor(255, 255, 255));
    AppHint1->SetShadowVisible(true);
    AppHint1->Loaded();
}

void TFormMain::SetLogoTimerEnabled(bool enabled) {
    if (!enabled) {
        TimerLogoMove->stop();
    } else if (!TimerLogoMove->isActive()) {
        TimerLogoMove->start();
    }
}

void TFormMain::StartLogo() {
    FLogoStep = +1;
    SetLogoTimerEnabled(FLogoMove);
    ShowLogoHint();
}

void TFormMain::TimerLogoMoveTimer() {
    // Kept within 0 ... 15, so the night picture is never shown alone.
    const int step = ((BlendImageLogo->Mode() + FLogoStep) % 16 + 16) % 16;
    BlendImageLogo->SetMode(step);
    if (step % 15 == 0) FLogoStep = -FLogoStep;
}

void TFormMain::BlendImageLogoClick() {
    FLogoMove = !FLogoMove;
    ShowLogoHint();
    if (!FLogoMove) {
        // Switching on again starts the cycle from the day picture.
        BlendImageLogo->SetMode(0);
        FLogoStep = +1;
    }
    SetLogoTimerEnabled(FLogoMove);
}

void TFormMain::ShowLogoHint() {
    BlendImageLogo->setToolTip(FLogoMove ? QStringLiteral("クリックでON/OFFできます(現在動作中)")
                                         : QStringLiteral("クリックでON/OFFできます(現在停止中)"));
}

}  // namespace kt
