// The logo (its contents, the step sequence, switching on and off, its two
// hints) and the window's hint component, with a picture of the window
// showing a hint for a person to look at.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/main_settings.h"
#include "app/main_window.h"
#include "platform/qt/fonts.h"
#include "platform/qt/prompt.h"
#include "tests/support/temp_folder.h"
#include "tests/widgets/ensure_qt_app.h"
#include "widgets/blend_image.h"
#include "widgets/lb_show_hide.h"
#include "widgets/styled_hints.h"

namespace kt {
namespace {

const QString kHintOn = QStringLiteral("クリックでON/OFFできます(現在動作中)");
const QString kHintOff = QStringLiteral("クリックでON/OFFできます(現在停止中)");

class MainLogoTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureQtApp();
        InstallJapaneseFontFallback();
        QApplication::setFont(DesignFont(12));
    }

    // The window with the logo switched on, as a stored LogoMove of "1" leaves it.
    std::unique_ptr<TFormMain> MovingWindow() {
        auto f = std::make_unique<TFormMain>();
        f->FLogoMove = true;
        f->StartLogo();
        return f;
    }

    std::vector<int> Ticks(TFormMain& f, int n) {
        std::vector<int> modes;
        for (int i = 0; i < n; ++i) {
            f.TimerLogoMoveTimer();
            modes.push_back(f.BlendImageLogo->Mode());
        }
        return modes;
    }

    TScriptedAnswerer prompts;
};

TEST_F(MainLogoTest, PanelHoldsTheBlendImageAndFourHiddenLabels) {
    TFormMain f;
    f.show();
    TBlendImage* logo = f.BlendImageLogo;
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->parentWidget(), f.PanelLogo);
    EXPECT_EQ(logo->geometry(), QRect(2, 2, 157, 85));
    EXPECT_EQ(logo->BmpA().size(), QSize(158, 86));
    EXPECT_EQ(logo->BmpB().size(), QSize(158, 86));
    EXPECT_EQ(logo->Mode(), 0);
    EXPECT_EQ(logo->OfsX(), 0);
    EXPECT_EQ(logo->OfsY(), 0);
    // The first picture alone at start-up.
    ASSERT_FALSE(logo->Result().isNull());
    EXPECT_EQ(logo->Result().pixel(5, 5), logo->BmpA().pixel(5, 5));
    EXPECT_NE(logo->BmpA().pixel(5, 5), logo->BmpB().pixel(5, 5));

    const std::pair<TLbShowHide*, QRect> labels[] = {{f.LbShowHide2, QRect(2, 2, 157, 31)},
                                                     {f.LbShowHide3, QRect(2, 33, 157, 24)},
                                                     {f.LbShowHide4, QRect(2, 57, 157, 13)},
                                                     {f.LbShowHide1, QRect(2, 70, 157, 17)}};
    for (const auto& [label, place] : labels) {
        ASSERT_NE(label, nullptr);
        EXPECT_FALSE(label->isVisible());
        EXPECT_EQ(label->geometry(), place);
        EXPECT_EQ(label->parentWidget(), f.PanelLogo);
    }
    EXPECT_EQ(f.LbShowHide2->text(), "Kalvora");
    EXPECT_EQ(f.LbShowHide3->text(), "Trindle");
    EXPECT_EQ(f.LbShowHide4->text(), "Ver.1.00");
    EXPECT_EQ(f.TimerLogoMove->interval(), 200);
}

TEST_F(MainLogoTest, ThirtyTicksRunUpAndDownAndStartAgain) {
    auto f = MovingWindow();
    EXPECT_TRUE(f->TimerLogoMove->isActive());
    EXPECT_EQ(f->BlendImageLogo->toolTip(), kHintOn);
    const std::vector<int> want = {1,  2,  3,  4,  5,  6, 7, 8, 9, 10, 11, 12, 13, 14, 15,
                                   14, 13, 12, 11, 10, 9, 8, 7, 6, 5,  4,  3,  2,  1,  0};
    EXPECT_EQ(Ticks(*f, 30), want);
    EXPECT_EQ(Ticks(*f, 3), (std::vector<int>{1, 2, 3}));
    // Each step is shown: the result follows the mode.
    EXPECT_NE(f->BlendImageLogo->Result().pixel(5, 5), f->BlendImageLogo->BmpA().pixel(5, 5));
}

TEST_F(MainLogoTest, SwitchingOffOnTheWayDownAndOnAgainStartsFromTheFirstPicture) {
    auto f = MovingWindow();
    Ticks(*f, 20);  // up to 15, then down to 10
    ASSERT_EQ(f->BlendImageLogo->Mode(), 10);
    ASSERT_EQ(f->FLogoStep, -1);

    f->BlendImageLogoClick();
    EXPECT_FALSE(f->FLogoMove);
    EXPECT_FALSE(f->TimerLogoMove->isActive());
    EXPECT_EQ(f->BlendImageLogo->Mode(), 0);
    EXPECT_EQ(f->BlendImageLogo->toolTip(), kHintOff);

    f->BlendImageLogoClick();
    EXPECT_TRUE(f->FLogoMove);
    EXPECT_TRUE(f->TimerLogoMove->isActive());
    EXPECT_EQ(f->BlendImageLogo->toolTip(), kHintOn);
    EXPECT_EQ(Ticks(*f, 3), (std::vector<int>{1, 2, 3}));
}

TEST_F(MainLogoTest, StoredChoiceDecidesWhetherTheLogoMovesAtStartUp) {
    test::TempFolder folder;
    SetSettingsFileOverride(folder.Path() + "/KalvoraTrindle.ini");
    {
        // A first start: no settings file, the logo moves.
        TFormMain f;
        EXPECT_TRUE(f.FLogoMove);
        EXPECT_TRUE(f.TimerLogoMove->isActive());
        EXPECT_EQ(f.BlendImageLogo->toolTip(), kHintOn);
        f.BlendImageLogoClick();  // off, and saved so at the close
    }
    std::ifstream saved(SettingsFileName());
    const std::string text((std::istreambuf_iterator<char>(saved)),
                           std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("LogoMove=0"), std::string::npos);

    // LogoMove stored as "0": at rest on the first picture, with the stopped hint.
    {
        TFormMain f;
        EXPECT_FALSE(f.FLogoMove);
        EXPECT_FALSE(f.TimerLogoMove->isActive());
        EXPECT_EQ(f.BlendImageLogo->Mode(), 0);
        EXPECT_EQ(f.BlendImageLogo->toolTip(), kHintOff);
    }
    SetSettingsFileOverride("");
}

TEST_F(MainLogoTest, ClickOnTheLogoAndTheTimerDriveIt) {
    auto f = MovingWindow();
    f->show();
    // The timer ticks every 200 ms through the event loop.
    QElapsedTimer clock;
    clock.start();
    while (f->BlendImageLogo->Mode() == 0 && clock.elapsed() < 3000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_GE(f->BlendImageLogo->Mode(), 1);

    const QPointF at(20, 20);
    QMouseEvent press(QEvent::MouseButtonPress, at, f->BlendImageLogo->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, f->BlendImageLogo->mapToGlobal(at),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(f->BlendImageLogo, &press);
    QApplication::sendEvent(f->BlendImageLogo, &release);
    EXPECT_FALSE(f->FLogoMove);
    EXPECT_EQ(f->BlendImageLogo->Mode(), 0);
}

TEST_F(MainLogoTest, AppHintIsTheRedLeaderLineWithWhiteOutline) {
    TFormMain f;
    TAppHint* hint = f.AppHint1;
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(TAppHint::Current(), hint);
    EXPECT_EQ(hint->HintStyle(), hsLineString);
    EXPECT_EQ(hint->BGColor(), QColor(0, 0, 0));
    EXPECT_EQ(hint->Brush().style(), Qt::NoBrush);
    EXPECT_EQ(hint->FontColor(), QColor(255, 0, 0));
    EXPECT_EQ(hint->Font().pixelSize(), 13);
    EXPECT_EQ(hint->Font().family(), QString::fromUtf8(kDesignFontName));
    EXPECT_EQ(hint->ShadowColor(), QColor(255, 255, 255));
    EXPECT_TRUE(hint->ShadowVisible());
    EXPECT_EQ(hint->HintPause(), 500);
    EXPECT_EQ(hint->HintHidePause(), 3000);
    EXPECT_EQ(hint->HintShortPause(), 0);
    EXPECT_NE(qobject_cast<THintEx*>(TApplicationHints::Instance().HintWindow()), nullptr);
}

TEST_F(MainLogoTest, PictureOfTheWindowWithAHintShown) {
    TFormMain f;
    f.move(100, 100);
    f.show();
    QApplication::processEvents();
    TApplicationHints& app = TApplicationHints::Instance();
    const QPoint pointer = f.ButtonExec->mapToGlobal(QPoint(30, 12));
    app.ActivateHintFor(f.ButtonExec, pointer);
    auto* hint = qobject_cast<THintEx*>(app.HintWindow());
    ASSERT_NE(hint, nullptr);
    ASSERT_TRUE(hint->isVisible());
    EXPECT_EQ(hint->Caption(), f.ButtonExec->toolTip());
    // The leader line starts just below the pointer.
    EXPECT_EQ(hint->pos(), pointer + QPoint(0, 20));

    // The window, with the hint window laid over it where the screen shows it.
    QImage picture = f.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage drawn(hint->size(), QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    const QRegion mask = hint->mask();
    hint->clearMask();
    hint->render(&drawn, QPoint(), QRegion(), QWidget::DrawChildren);
    hint->setMask(mask);
    QPainter painter(&picture);
    const QPoint at = f.mapFromGlobal(hint->pos());
    painter.setClipRegion(hint->Region().translated(at));
    painter.drawImage(at, drawn);
    painter.end();
    // Red text lies in the picture where the hint is.
    bool red = false;
    for (int y = at.y(); y < at.y() + hint->height() && y < picture.height(); ++y) {
        for (int x = at.x(); x < at.x() + hint->width() && x < picture.width(); ++x) {
            red = red || picture.pixel(x, y) == qRgb(255, 0, 0);
        }
    }
    EXPECT_TRUE(red);
    const QString dir = QStringLiteral(KT_BIN_DIR "/../screenshots");
    QDir().mkpath(dir);
    EXPECT_TRUE(picture.save(dir + "/main_hint.png"));
    app.CancelHint();
}

}  // namespace
}  // namespace kt
