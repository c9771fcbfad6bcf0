// The main window at start-up (every control's place, caption and state,
// saved as a picture for a person to look at), the option groups, the
// password length label, EnableControls, help and end.
#include <gtest/gtest.h>

#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <fstream>

#include "app/main_window.h"
#include "platform/qt/fonts.h"
#include "platform/qt/help.h"
#include "platform/qt/prompt.h"
#include "tests/widgets/ensure_qt_app.h"
#include "widgets/kwall_list_view.h"

namespace kt {
namespace {

struct TExpected {
    const char* Name;
    QWidget* Widget;
    QRect Geometry;
    const char* Caption;  // nullptr: no caption to check
    bool Enabled;
};

QString Caption(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    return QString();
}

QColor BaseColor(QLineEdit* e) { return e->palette().color(QPalette::Base); }
QColor WindowColor() { return QApplication::palette().color(QPalette::Base); }
QColor FaceColor() { return QApplication::palette().color(QPalette::Button); }

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureQtApp();
        // As the program does: Japanese texts in a Japanese Gothic face.
        InstallJapaneseFontFallback();
        QApplication::setFont(DesignFont(12));
    }
    TScriptedAnswerer prompts;
};

TEST_F(MainWindowTest, StartUpShowsEveryControlAtItsPlaceWithItsCaptionAndState) {
    TFormMain f;
    f.show();
    EXPECT_EQ(f.windowTitle(), "KalvoraTrindle");
    EXPECT_EQ(f.size(), QSize(575, 315));
    EXPECT_EQ(f.minimumSize(), f.maximumSize());  // no resizing
    EXPECT_FALSE(f.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(f.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(f.font().pixelSize(), 12);

    const std::vector<TExpected> controls = {
        {"SpeedButtonHelp", f.SpeedButtonHelp, {496, 2, 73, 22}, "ヘルプ(&H)", true},
        {"PanelBase", f.PanelBase, {0, 26, 575, 289}, nullptr, true},
        {"LabelInfile", f.LabelInfile, {248, 10, 89, 20}, "圧縮対象ファイル", true},
        {"LabelFileNum", f.LabelFileNum, {344, 10, 129, 20}, "（ファイル数：0）", true},
        {"ProgressBar", f.ProgressBar, {1, 281, 573, 7}, nullptr, true},
        {"GroupBoxFolderInfo",
         f.GroupBoxFolderInfo,
         {8, 36, 233, 81},
         "圧縮ファイル格納先(&F)",
         true},
        {"RadioButtonInfile",
         f.RadioButtonInfile,
         {8, 16, 193, 17},
         "各圧縮元ファイルの場所に格納(&I)",
         true},
        {"RadioButtonSelect", f.RadioButtonSelect, {8, 32, 193, 17}, "格納先を指定(&S)", true},
        {"LabelFolder", f.LabelFolder, {16, 48, 57, 20}, "フォルダ名", true},
        {"EditSelect", f.EditSelect, {72, 48, 129, 20}, "", false},
        {"SpeedButtonSelect", f.SpeedButtonSelect, {200, 48, 20, 20}, "", false},
        {"GroupBoxArcFormat", f.GroupBoxArcFormat, {8, 124, 233, 81}, "圧縮ファイル形式(&A)", true},
        {"RadioButtonLzh", f.RadioButtonLzh, {8, 16, 57, 17}, "LZH(&L)", true},
        {"RadioButtonZip", f.RadioButtonZip, {8, 32, 57, 17}, "ZIP(&Z)", true},
        {"LabelLzhMsg", f.LabelLzhMsg, {72, 16, 153, 17}, "", true},
        {"LabelZipMsg", f.LabelZipMsg, {72, 32, 153, 17}, "", true},
        // The password controls stay off until the library check allows them.
        {"LabelZipPass", f.LabelZipPass, {16, 48, 57, 20}, "パスワード", false},
        {"EditZipPass", f.EditZipPass, {72, 48, 129, 20}, "", false},
        {"LabelPassLen", f.LabelPassLen, {200, 48, 31, 20}, " [0]", false},
        {"ButtonOpen", f.ButtonOpen, {474, 34, 47, 20}, "開く(&O)", true},
        {"ButtonListClear", f.ButtonListClear, {522, 34, 47, 20}, "クリア(&C)", true},
        {"KWallListViewInfile", f.KWallListViewInfile, {248, 56, 320, 244}, nullptr, true},
        {"ButtonExec", f.ButtonExec, {176, 212, 65, 25}, "処理(&R)", true},
        {"ButtonSendEntry", f.ButtonSendEntry, {176, 244, 65, 25}, nullptr, true},
        {"ButtonEnd", f.ButtonEnd, {176, 276, 65, 25}, "終了(&X)", true},
        {"PanelLogo", f.PanelLogo, {8, 212, 161, 89}, nullptr, true},
    };
    for (const TExpected& c : controls) {
        SCOPED_TRACE(c.Name);
        ASSERT_NE(c.Widget, nullptr);
        EXPECT_EQ(c.Widget->geometry(), c.Geometry);
        if (c.Caption) {
            EXPECT_EQ(Caption(c.Widget), QString::fromUtf8(c.Caption));
        }
        EXPECT_EQ(c.Widget->isEnabled(), c.Enabled);
        EXPECT_TRUE(c.Widget->isVisible());
    }
    // Parents as designed.
    EXPECT_EQ(f.LabelInfile->parentWidget(), f.PanelBase);
    EXPECT_EQ(f.ProgressBar->parentWidget(), f.PanelBase);
    EXPECT_EQ(f.EditSelect->parentWidget(), f.GroupBoxFolderInfo);
    EXPECT_EQ(f.LabelPassLen->parentWidget(), f.GroupBoxArcFormat);
    // A first start (no settings file): next to the sources, LZH; and the small fonts.
    EXPECT_TRUE(f.RadioButtonInfile->isChecked());
    EXPECT_TRUE(f.RadioButtonLzh->isChecked());
    EXPECT_EQ(f.ButtonOpen->font().pixelSize(), 11);
    EXPECT_EQ(f.LabelZipMsg->font().pixelSize(), 11);
    EXPECT_EQ(f.LabelZipMsg->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_EQ(f.ProgressBar->minimum(), 0);
    EXPECT_EQ(f.ProgressBar->value(), 0);
    // Hints.
    EXPECT_EQ(f.ButtonEnd->toolTip(), "プログラムを終了します");
    EXPECT_EQ(f.KWallListViewInfile->toolTip(),
              "圧縮対象となるファイルの一覧です（エクスプローラー等からのドラッグ＆ドロップ可）");
    EXPECT_EQ(f.EditZipPass->toolTip(), f.LabelZipPass->toolTip());
    // Columns of the list.
    ASSERT_EQ(f.KWallListViewInfile->ColumnCount(), 3);
    EXPECT_EQ(f.KWallListViewInfile->ColumnWidth(0), 145);
    EXPECT_EQ(f.KWallListViewInfile->ColumnWidth(1), 100);
    EXPECT_EQ(f.KWallListViewInfile->ColumnWidth(2), 55);
    EXPECT_EQ(f.KWallListViewInfile->WallPaper().size(), QSize(320, 240));
    EXPECT_EQ(f.KWallListViewInfile->WallType(), tkwtCenter);
    EXPECT_FALSE(f.windowIcon().isNull());

    // A picture for a person to look at.
    const QString dir = QStringLiteral(KT_BIN_DIR "/../screenshots");
    QDir().mkpath(dir);
    EXPECT_TRUE(f.grab().save(dir + "/main.png"));
    EXPECT_TRUE(prompts.Asked.empty());
}

TEST_F(MainWindowTest, TabOrderFollowsTheDesign) {
    TFormMain f;
    const QList<QWidget*> order = {f.RadioButtonInfile, f.RadioButtonSelect, f.EditSelect,
                                   f.RadioButtonLzh,    f.RadioButtonZip,    f.EditZipPass,
                                   f.ButtonOpen,        f.ButtonListClear,   f.KWallListViewInfile,
                                   f.ButtonExec,        f.ButtonSendEntry,   f.ButtonEnd};
    // The focus chain also holds labels and inner parts; the controls that
    // take the tab key must come in the designed order.
    QList<QWidget*> chain;
    QWidget* w = order.front();
    do {
        if (order.contains(w) && !chain.contains(w)) chain << w;
        w = w->nextInFocusChain();
    } while (w != order.front());
    EXPECT_EQ(chain, order);
    EXPECT_EQ(f.SpeedButtonHelp->focusPolicy(), Qt::NoFocus);
}

TEST_F(MainWindowTest, PasswordLengthCountsCp932BytesAfterABlank) {
    TFormMain f;
    EXPECT_EQ(f.LabelPassLen->text(), " [0]");
    f.EditZipPass->setText(QString::fromUtf8("日本語"));
    EXPECT_EQ(f.LabelPassLen->text(), " [6]");
    f.EditZipPass->setText("abc");
    EXPECT_EQ(f.LabelPassLen->text(), " [3]");
    f.EditZipPass->clear();
    EXPECT_EQ(f.LabelPassLen->text(), " [0]");
}

TEST_F(MainWindowTest, PasswordLimitIsEightyCp932Bytes) {
    TFormMain f;
    f.FPassEnabled = true;
    f.RadioButtonZipClick();
    const QString forty = QString(40, QChar(0x3042));  // 40 × "あ" = 80 bytes
    f.EditZipPass->setFocus();
    f.EditZipPass->insert(forty);
    EXPECT_EQ(f.EditZipPass->text(), forty);
    f.EditZipPass->insert("x");  // one more byte is refused
    EXPECT_EQ(f.EditZipPass->text(), forty);
    EXPECT_EQ(f.LabelPassLen->text(), " [80]");
}

TEST_F(MainWindowTest, PasswordControlsStayOffWhilePasswordsAreNotAllowed) {
    TFormMain f;
    ASSERT_FALSE(f.FPassEnabled);
    f.RadioButtonLzh->click();
    f.RadioButtonZip->click();
    EXPECT_TRUE(f.RadioButtonZip->isChecked());
    EXPECT_FALSE(f.EditZipPass->isEnabled());
    EXPECT_EQ(BaseColor(f.EditZipPass), FaceColor());
    EXPECT_FALSE(f.LabelZipPass->isEnabled());
    EXPECT_FALSE(f.LabelPassLen->isEnabled());

    // Allowed: the box follows the format choice.
    f.FPassEnabled = true;
    f.RadioButtonZip->click();
    EXPECT_TRUE(f.EditZipPass->isEnabled());
    EXPECT_EQ(BaseColor(f.EditZipPass), WindowColor());
    EXPECT_TRUE(f.LabelZipPass->isEnabled());
    f.RadioButtonLzh->click();
    EXPECT_FALSE(f.EditZipPass->isEnabled());
    EXPECT_EQ(BaseColor(f.EditZipPass), FaceColor());
    EXPECT_TRUE(f.LabelPassLen->isEnabled());
}

TEST_F(MainWindowTest, FolderBoxFollowsTheTargetChoice) {
    TFormMain f;
    f.RadioButtonSelect->click();
    EXPECT_TRUE(f.EditSelect->isEnabled());
    EXPECT_TRUE(f.SpeedButtonSelect->isEnabled());
    EXPECT_EQ(BaseColor(f.EditSelect), WindowColor());
    f.RadioButtonInfile->click();
    EXPECT_FALSE(f.EditSelect->isEnabled());
    EXPECT_FALSE(f.SpeedButtonSelect->isEnabled());
    EXPECT_EQ(BaseColor(f.EditSelect), FaceColor());
}

TEST_F(MainWindowTest, EnableControlsOffAndBackOn) {
    TFormMain f;
    f.FPassEnabled = true;
    f.RadioButtonSelect->click();
    f.RadioButtonZip->click();
    // A format choice the library check had turned off.
    f.RadioButtonLzh->setEnabled(false);

    f.EnableControls(false);
    for (QWidget* w : std::initializer_list<QWidget*>{
             f.RadioButtonInfile, f.RadioButtonSelect, f.RadioButtonLzh, f.RadioButtonZip,
             f.ButtonOpen, f.ButtonListClear, f.ButtonExec, f.ButtonSendEntry, f.ButtonEnd,
             f.EditSelect, f.SpeedButtonSelect, f.EditZipPass, f.LabelPassLen}) {
        EXPECT_FALSE(w->isEnabled())
            << w->metaObject()->className() << " " << Caption(w).toStdString();
    }
    EXPECT_EQ(BaseColor(f.EditSelect), FaceColor());
    EXPECT_EQ(BaseColor(f.EditZipPass), FaceColor());
    // These stay as they were.
    EXPECT_TRUE(f.LabelZipPass->isEnabled());
    EXPECT_TRUE(f.SpeedButtonHelp->isEnabled());
    EXPECT_TRUE(f.KWallListViewInfile->isEnabled());
    EXPECT_TRUE(f.PanelLogo->isEnabled());

    f.EnableControls(true);
    for (QWidget* w : std::initializer_list<QWidget*>{
             f.RadioButtonInfile, f.RadioButtonSelect, f.RadioButtonLzh, f.RadioButtonZip,
             f.ButtonOpen, f.ButtonListClear, f.ButtonExec, f.ButtonSendEntry, f.ButtonEnd,
             f.EditSelect, f.SpeedButtonSelect, f.EditZipPass, f.LabelPassLen}) {
        EXPECT_TRUE(w->isEnabled()) << Caption(w).toStdString();
    }
    EXPECT_EQ(BaseColor(f.EditSelect), WindowColor());
    EXPECT_EQ(BaseColor(f.EditZipPass), WindowColor());
}

TEST_F(MainWindowTest, HelpOpensThePageBesideTheProgramOrSaysWhyNot) {
    std::vector<std::string> opened;
    SetDocumentOpener([&](const std::string& p) {
        opened.push_back(p);
        return true;
    });
    TFormMain f;
    EXPECT_EQ(f.FHelpFile, std::string(KT_BIN_DIR) + "/app_tests.html");

    // The test program has no page of its own: the box says so.
    f.SpeedButtonHelp->click();
    EXPECT_TRUE(opened.empty());
    ASSERT_EQ(prompts.Asked.size(), 1u);
    EXPECT_NE(prompts.Asked[0].Text.find("app_tests.html"), std::string::npos);

    // With the program's page named, the desktop is asked to show it.
    f.FHelpFile = std::string(KT_BIN_DIR) + "/KalvoraTrindle.html";
    f.SpeedButtonHelp->click();
    EXPECT_EQ(opened, std::vector<std::string>{f.FHelpFile});
    EXPECT_EQ(prompts.Asked.size(), 1u) << "a page that opens needs no box";

    // With no program to show it, the box says why and where the page is.
    SetDocumentOpener([](const std::string&) { return false; });
    f.SpeedButtonHelp->click();
    ASSERT_EQ(prompts.Asked.size(), 2u);
    EXPECT_NE(prompts.Asked[1].Text.find("表示するプログラム"), std::string::npos)
        << prompts.Asked[1].Text;
    EXPECT_NE(prompts.Asked[1].Text.find(f.FHelpFile + " にあります"), std::string::npos);
    SetDocumentOpener(nullptr);
}

TEST_F(MainWindowTest, EndButtonClosesTheWindow) {
    TFormMain f;
    f.show();
    ASSERT_TRUE(f.isVisible());
    f.ButtonEnd->click();
    EXPECT_FALSE(f.isVisible());
}

}  // namespace
}  // namespace kt
