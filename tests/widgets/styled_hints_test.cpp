// The application hint window: geometry, region and drawing of each style, the
// current-component rule, the forwarded hint events and the three delays.
#include "widgets/styled_hints.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QPainter>
#include <QPushButton>
#include <functional>
#include <memory>

#include "tests/widgets/ensure_qt_app.h"

namespace {

using namespace kt;

const QString kText = QStringLiteral("ヒント Hint");

using PixelTest = std::function<bool(QRgb)>;

// Bounding box of the pixels that pass the test.
QRect BoxOf(const QImage& img, const PixelTest& test, QRect within = QRect()) {
    if (within.isNull()) within = img.rect();
    QRect box;
    for (int y = within.top(); y <= within.bottom(); ++y) {
        for (int x = within.left(); x <= within.right(); ++x) {
            if (test(img.pixel(x, y))) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

bool IsRed(QRgb c) { return qAlpha(c) == 255 && c == qRgb(255, 0, 0); }
bool IsWhite(QRgb c) { return qAlpha(c) == 255 && c == qRgb(255, 255, 255); }
bool IsLime(QRgb c) { return qAlpha(c) == 255 && c == qRgb(0, 255, 0); }
bool IsBlue(QRgb c) { return qAlpha(c) == 255 && c == qRgb(0, 0, 255); }
bool IsBlack(QRgb c) { return qAlpha(c) == 255 && c == qRgb(0, 0, 0); }

// What the window paints, on a transparent ground. Rendering a masked widget
// places the mask's bounding box at the target's origin, so the mask is taken
// off meanwhile; callers clip to it where they need to.
QImage Shot(QWidget* w) {
    QImage img(w->size(), QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    const QRegion mask = w->mask();
    w->clearMask();
    w->render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
    if (!mask.isEmpty()) w->setMask(mask);
    return img;
}

// Where the text lands when drawn at (0, 0) into a rectangle of the given size.
QRect TextBoxAtOrigin(const QFont& font, QSize size, const QString& text) {
    QImage img(size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setFont(font);
    p.setPen(QColor(255, 0, 0));
    p.drawText(QRect(QPoint(0, 0), size), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    p.end();
    return BoxOf(img, IsRed);
}

void WaitUntil(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limitMs)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

class HintTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureQtApp();
        hint = std::make_unique<TAppHint>();
        // Pixels without smoothing, so colours can be compared exactly.
        QFont font = hint->Font();
        font.setPixelSize(13);
        font.setStyleStrategy(QFont::NoAntialias);
        hint->SetFont(font);
    }
    void TearDown() override {
        hint.reset();
        TApplicationHints::Instance().CancelHint();
    }

    THintEx* Window() { return qobject_cast<THintEx*>(TApplicationHints::Instance().HintWindow()); }

    // Activates the hint window with the text rectangle the machinery computes.
    QRect Activate(const QString& text = kText) {
        THintEx* w = Window();
        QRect r = w->CalcHintRect(400, text);
        r.moveTopLeft(QPoint(40, 50));
        w->ActivateHint(r, text);
        return r;
    }

    std::unique_ptr<TAppHint> hint;
};

TEST_F(HintTest, NewComponentIsCurrentAndItsWindowMeasuresInItsFont) {
    // The look of the defaults (navy fill, lime text, blue shadow, black
    // outline) is checked on the balloon below.
    EXPECT_EQ(TAppHint::Current(), hint.get());
    ASSERT_NE(Window(), nullptr);
    EXPECT_EQ(Window()->font().pixelSize(), 13);
}

TEST_F(HintTest, BalloonIsNinePlusFourTallerWithTextNineDownAndTailTopLeft) {
    hint->SetShadowVisible(false);
    const QRect r = Activate();
    THintEx* w = Window();
    EXPECT_EQ(w->geometry(), QRect(40, 50, r.width(), r.height() + 9 + 4));
    ASSERT_TRUE(w->HasRegion());
    const int W = r.width(), H = r.height() + 9;
    const QRegion& region = w->Region();
    EXPECT_TRUE(region.contains(QPoint(13, 2)));  // the tail
    EXPECT_FALSE(region.contains(QPoint(4, 4)));  // beside the tail
    EXPECT_FALSE(region.contains(QPoint(W - 2, 4)));
    EXPECT_TRUE(region.contains(QPoint(1, 10)));
    EXPECT_TRUE(region.contains(QPoint(W - 1, H - 1)));
    EXPECT_FALSE(region.contains(QPoint(1, H + 1)));  // the 4 extra rows are cut

    const QImage shot = Shot(w);
    const QRect inside(1, 10, W - 2, H - 11);
    const QRect text = BoxOf(shot, IsLime, inside);
    EXPECT_EQ(text, TextBoxAtOrigin(hint->Font(), w->size(), kText).translated(3, 9));
    EXPECT_EQ(shot.pixel(5, 12) | 0xFF000000u, qRgb(0, 0, 128));  // navy fill
    // Outline: tail tip, the row at y = 9 left of the tail, the bottom right.
    EXPECT_TRUE(IsBlack(shot.pixel(14, 0)));
    EXPECT_TRUE(IsBlack(shot.pixel(3, 9)));
    EXPECT_TRUE(IsBlack(shot.pixel(W - 1, H - 1)));

    hint->SetShadowVisible(true);
    w->update();
    const QImage shadowed = Shot(w);
    EXPECT_EQ(BoxOf(shadowed, IsBlue, inside).bottomRight(), text.bottomRight() + QPoint(1, 1));
}

TEST_F(HintTest, RoundRectKeepsTheTextRectangleWithRoundedRegion) {
    hint->SetHintStyle(hsRoundRect);
    hint->SetShadowVisible(false);
    const QRect r = Activate();
    THintEx* w = Window();
    EXPECT_EQ(w->geometry(), QRect(40, 50, r.width(), r.height() + 4));
    EXPECT_EQ(w->SavedRect(), QRect(40, 50, r.width(), r.height()));
    const QRegion& region = w->Region();
    EXPECT_FALSE(region.contains(QPoint(0, 0)));  // rounded corner
    EXPECT_TRUE(region.contains(QPoint(4, 0)));
    EXPECT_TRUE(region.contains(QPoint(0, r.height() / 2)));
    EXPECT_TRUE(region.contains(QPoint(r.width() - 1, r.height() / 2)));
    EXPECT_FALSE(region.contains(QPoint(r.width() / 2, r.height() + 2)));

    const QImage shot = Shot(w);
    EXPECT_EQ(BoxOf(shot, IsLime),
              TextBoxAtOrigin(hint->Font(), w->size(), kText).translated(1, 1));
    EXPECT_TRUE(IsBlack(shot.pixel(r.width() / 2, 0)));
    EXPECT_TRUE(IsBlack(shot.pixel(r.width() / 2, r.height() - 1)));
}

TEST_F(HintTest, LeaderLineOutlinedTextAt19_11OnNoBackground) {
    // The main window's settings.
    hint->SetHintStyle(hsLineString);
    hint->SetBrush(QBrush(Qt::NoBrush));
    hint->SetFontColor(QColor(255, 0, 0));
    hint->SetShadowColor(QColor(255, 255, 255));
    const QRect r = Activate();
    THintEx* w = Window();
    const int W = r.width() + 21, H = r.height() + 12;
    EXPECT_EQ(w->geometry(), QRect(40, 50, W, H + 4));
    EXPECT_EQ(w->Region(), QRegion(1, 1, W - 2, H - 2));

    const QImage shot = Shot(w);
    const QRect red = BoxOf(shot, IsRed);
    EXPECT_EQ(red, TextBoxAtOrigin(hint->Font(), w->size(), kText).translated(19, 11));
    EXPECT_EQ(BoxOf(shot, IsWhite), red.adjusted(-1, -1, 1, 1));  // one-pixel outline
    // The leader line: from (1, 1) down to (17, H - 2), then along the text.
    EXPECT_TRUE(IsBlack(shot.pixel(1, 1)));
    EXPECT_TRUE(IsBlack(shot.pixel(17, H - 2)));
    EXPECT_TRUE(IsBlack(shot.pixel(W - 2, H - 2)));
    // No background anywhere else.
    EXPECT_EQ(qAlpha(shot.pixel(W - 3, 3)), 0);
    EXPECT_EQ(qAlpha(shot.pixel(16, 3)), 0);
}

// Without a compositor every pixel inside the mask shows what the window
// paints there, and nothing outside it shows at all. Run at scale one and,
// by a second test entry, at scale two, where a logical pixel of the mask
// holds four device pixels.
TEST_F(HintTest, LeaderLineMaskHoldsExactlyThePaintedPixelsAtTheScreensScale) {
    hint->SetHintStyle(hsLineString);
    hint->SetBrush(QBrush(Qt::NoBrush));
    hint->SetFontColor(QColor(255, 0, 0));
    hint->SetShadowColor(QColor(255, 255, 255));
    Activate();
    THintEx* w = Window();
    const qreal ratio = w->devicePixelRatioF();
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) {
        ASSERT_EQ(ratio, qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
    }

    QImage shot(w->size() * ratio, QImage::Format_ARGB32);
    shot.setDevicePixelRatio(ratio);
    shot.fill(Qt::transparent);
    const QRegion mask = w->mask();
    ASSERT_FALSE(mask.isEmpty());
    w->clearMask();
    w->render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
    w->setMask(mask);

    int unpainted = 0, cut = 0, shown = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            const int alpha = qAlpha(shot.pixel(x, y));
            const QPoint logical(int(x / ratio), int(y / ratio));
            const bool inMask = mask.contains(logical);
            if (inMask && alpha != 255) ++unpainted;
            // The style's region cuts the line's last column by design.
            if (!inMask && alpha != 0 && w->Region().contains(logical)) ++cut;
            if (inMask) ++shown;
        }
    }
    EXPECT_EQ(unpainted, 0) << "of " << shown << " device pixels inside the mask";
    EXPECT_EQ(cut, 0);
}

TEST_F(HintTest, OwnerDrawWithoutHandlerIsAnErasedWindowOfTheTextRectangle) {
    hint->SetHintStyle(hsOwnerDraw);
    const QRect r = Activate();
    THintEx* w = Window();
    EXPECT_FALSE(w->HasRegion());
    EXPECT_EQ(w->size(), QSize(r.width(), r.height() + 4));
    const QImage shot = Shot(w);
    const QRgb ground = w->palette().color(QPalette::ToolTipBase).rgb();
    EXPECT_EQ(BoxOf(shot, [&](QRgb c) { return c != ground; }), QRect());

    QString seen;
    QSize seenSize;
    hint->OnPaint = [&](const QString& text, QPainter&, int width, int height) {
        seen = text;
        seenSize = QSize(width, height);
    };
    Shot(w);
    EXPECT_EQ(seen, kText);
    EXPECT_EQ(seenSize, w->size());
}

TEST_F(HintTest, StyleAndFontChangesMakeTheWindowAnewOnlyWhenTheyDiffer) {
    QPointer<THintEx> before = Window();
    hint->SetHintStyle(hsFukidashi);  // unchanged
    EXPECT_EQ(Window(), before.data());
    hint->SetHintStyle(hsRoundRect);
    EXPECT_TRUE(before.isNull());
    ASSERT_NE(Window(), nullptr);

    QFont bigger = hint->Font();
    bigger.setPixelSize(30);
    hint->SetFont(bigger);
    EXPECT_EQ(Window()->font().pixelSize(), 30);
    // The next hint takes the new style.
    Activate();
    EXPECT_TRUE(Window()->Region().contains(QPoint(4, 0)));
    EXPECT_FALSE(Window()->Region().contains(QPoint(0, 0)));
}

TEST_F(HintTest, OneCurrentComponentAndNoStyleWithoutOne) {
    auto second = std::make_unique<TAppHint>();
    EXPECT_EQ(TAppHint::Current(), second.get());
    second.reset();
    EXPECT_EQ(TAppHint::Current(), nullptr);

    THintEx* w = Window();
    ASSERT_NE(w, nullptr);
    const QRect r = w->CalcHintRect(400, kText);
    w->ActivateHint(r.translated(40, 50), kText);
    EXPECT_FALSE(w->HasRegion());
    EXPECT_EQ(w->size(), QSize(r.width(), r.height() + 4));
    EXPECT_EQ(BoxOf(Shot(w), [](QRgb c) { return qAlpha(c) != 0; }), QRect());  // nothing painted
}

TEST_F(HintTest, ForwardedEventsAndMaximumWidthEightSmaller) {
    QWidget window;
    window.resize(200, 100);
    auto* button = new QPushButton("OK", &window);
    button->setToolTip(QStringLiteral("ボタンのヒント"));
    window.show();
    TApplicationHints& app = TApplicationHints::Instance();
    const QPoint pos = button->mapToGlobal(QPoint(5, 5));

    hint->Loaded();
    int maxWidth = -1;
    QString shownText;
    hint->OnShowHint = [&](QString& text, bool&, THintInfo& info) {
        maxWidth = info.HintMaxWidth;
        shownText = text;
    };
    QObject* hintSender = nullptr;
    hint->OnHint = [&](QObject* sender) { hintSender = sender; };

    app.HintMouseMessage(button, pos);
    EXPECT_EQ(hintSender, &app);
    EXPECT_EQ(app.Hint(), button->toolTip());
    app.ActivateHintFor(button, pos);
    EXPECT_EQ(maxWidth, app.HintMaxWidthAt(pos) - 8);
    EXPECT_EQ(shownText, button->toolTip());
    EXPECT_TRUE(Window()->isVisible());
    EXPECT_EQ(Window()->Caption(), button->toolTip());

    // A handler may refuse the hint.
    app.CancelHint();
    hint->OnShowHint = [](QString&, bool& canShow, THintInfo&) { canShow = false; };
    app.ActivateHintFor(button, pos);
    EXPECT_FALSE(Window()->isVisible());

    // Gone with the component.
    hint.reset();
    EXPECT_FALSE(static_cast<bool>(app.OnShowHint));
    EXPECT_FALSE(static_cast<bool>(app.OnHint));
}

TEST_F(HintTest, DelaysBeforeShowingWhileShownAndBetweenHints) {
    QWidget window;
    window.resize(200, 100);
    auto* first = new QPushButton("1", &window);
    first->setGeometry(0, 0, 50, 30);
    first->setToolTip("first");
    auto* second = new QPushButton("2", &window);
    second->setGeometry(60, 0, 50, 30);
    second->setToolTip("second");
    // Away from the pointer, so that only the events sent here reach the hints.
    window.move(400, 300);
    window.show();
    TApplicationHints& app = TApplicationHints::Instance();
    hint->SetHintPause(150);
    hint->SetHintHidePause(200);
    hint->SetHintShortPause(0);
    EXPECT_EQ(app.HintPause(), 150);
    EXPECT_EQ(hint->HintHidePause(), 200);

    // The mouse enters the first button: nothing before the pause has passed.
    QElapsedTimer clock;
    clock.start();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), first->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(first, &enter);
    QApplication::processEvents();
    EXPECT_FALSE(Window()->isVisible());
    WaitUntil([&] { return Window()->isVisible(); }, 3000);
    ASSERT_TRUE(Window()->isVisible());
    EXPECT_GE(clock.elapsed(), 150);
    EXPECT_EQ(Window()->Caption(), "first");

    // Moving on while hints are active uses the short pause, not the long one.
    hint->SetHintPause(60000);
    QEnterEvent enterSecond(QPointF(5, 5), QPointF(65, 5), second->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(second, &enterSecond);
    WaitUntil([&] { return Window()->isVisible() && Window()->Caption() == "second"; }, 3000);
    EXPECT_EQ(Window()->Caption(), "second");
    clock.restart();

    // Shown for the hide pause, then gone, and not back while the mouse stays.
    WaitUntil([&] { return !Window()->isVisible(); }, 3000);
    EXPECT_FALSE(Window()->isVisible());
    EXPECT_GE(clock.elapsed(), 150);
    QApplication::sendEvent(second, &enterSecond);
    WaitUntil([] { return false; }, 50);
    EXPECT_FALSE(Window()->isVisible());

    // Qt's own tool-tip event is swallowed.
    QHelpEvent tip(QEvent::ToolTip, QPoint(5, 5), first->mapToGlobal(QPoint(5, 5)));
    EXPECT_TRUE(QApplication::sendEvent(first, &tip));
}

TEST_F(HintTest, PictureOfTheFourStyles) {
    // Saved for a person to look at: balloon, rounded rectangle, leader line
    // (in the main window's colours) and an owner-drawn hint.
    QImage canvas(560, 110, QImage::Format_RGB32);
    canvas.fill(QColor(212, 208, 200));
    QPainter painter(&canvas);
    int x = 10;
    const auto place = [&] {
        const QRect r = Activate(QStringLiteral("ヒントの表示です"));
        QImage shot = Shot(Window());
        painter.setClipRegion(Window()->mask().translated(x, 20));
        painter.drawImage(x, 20, shot);
        painter.setClipping(false);
        x += Window()->width() + 20;
        return r;
    };
    place();
    hint->SetHintStyle(hsRoundRect);
    place();
    hint->SetHintStyle(hsLineString);
    hint->SetBrush(QBrush(Qt::NoBrush));
    hint->SetFontColor(QColor(255, 0, 0));
    hint->SetShadowColor(QColor(255, 255, 255));
    place();
    hint->SetHintStyle(hsOwnerDraw);
    hint->OnPaint = [](const QString& text, QPainter& canvas, int w, int h) {
        canvas.fillRect(0, 0, w, h, QColor(255, 255, 200));
        canvas.setPen(Qt::darkGreen);
        canvas.drawText(QRect(0, 0, w, h), Qt::AlignCenter, text);
    };
    place();
    painter.end();
    const QString dir = QStringLiteral(KT_BIN_DIR "/../screenshots");
    QDir().mkpath(dir);
    EXPECT_TRUE(canvas.save(dir + "/hint_styles.png"));
}

}  // namespace
