// The window settings: the first start without a settings file, a start after
// settings were saved, a close through the title bar, the file's mode and
// its place.
#include "app/main_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <cstdlib>
#include <filesystem>

#include "app/main_window.h"
#include "platform/atomic_file.h"
#include "platform/qt/prompt.h"
#include "settings/reg_manager.h"
#include "tests/support/temp_folder.h"
#include "tests/widgets/ensure_qt_app.h"
#include "widgets/kwall_list_view.h"
#include "widgets/list_items_model.h"

namespace kt {
namespace {

// Every test of this program runs without a settings file, in a folder of its
// own: no test sees what another one saved, and nothing is written beside
// the test program.
class SettingsFileIsolation : public ::testing::EmptyTestEventListener {
public:
    static std::string File() { return Folder().Path() + "/KalvoraTrindle.ini"; }

private:
    static test::TempFolder& Folder() {
        static test::TempFolder folder;
        return folder;
    }
    void OnTestStart(const ::testing::TestInfo&) override {
        std::filesystem::remove(File());
        SetSettingsFileOverride(File());
    }
};

const bool kSettingsIsolated = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new SettingsFileIsolation);
    return true;
}();

std::string IniText() {
    std::string text;
    ReadWholeFile(SettingsFileIsolation::File(), text);
    return text;
}

QColor FaceColor() { return QApplication::palette().color(QPalette::Button); }
QColor WindowColor() { return QApplication::palette().color(QPalette::Base); }

class MainSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureQtApp(); }
    TScriptedAnswerer prompts;
};

TEST_F(MainSettingsTest, AFirstStartWithoutASettingsFileUsesTheDefaults) {
    ASSERT_TRUE(kSettingsIsolated);
    {
        TFormMain f;
        EXPECT_EQ(SettingsFileIsolation::File(), f.RegManager->IniFileName());
        EXPECT_EQ(QPoint(0, 0), f.pos());
        EXPECT_TRUE(f.RadioButtonInfile->isChecked());
        EXPECT_FALSE(f.RadioButtonSelect->isChecked());
        EXPECT_FALSE(f.EditSelect->isEnabled());
        EXPECT_FALSE(f.SpeedButtonSelect->isEnabled());
        EXPECT_EQ(FaceColor(), f.EditSelect->palette().color(QPalette::Base));
        EXPECT_TRUE(f.RadioButtonLzh->isChecked());
        EXPECT_FALSE(f.RadioButtonZip->isChecked());
        EXPECT_EQ("", f.EditZipPass->text());
        EXPECT_EQ(0, f.FSortPattern);
        EXPECT_TRUE(f.FSortAscent);
        EXPECT_EQ("ディレクトリ名 △", f.KWallListViewInfile->Column(0).Caption);
        EXPECT_EQ("ファイル名", f.KWallListViewInfile->Column(1).Caption);
        EXPECT_TRUE(f.FLogoMove);
        EXPECT_TRUE(f.TimerLogoMove->isActive());
        EXPECT_FALSE(std::filesystem::exists(SettingsFileIsolation::File()))
            << "nothing is written while the program runs";
    }
    EXPECT_EQ(
        "[Bounds]\nLeft=0\nTop=0\n\n[App]\nFolderSelect=0\nSelectFolder=\nTypeLzh=1\nZipPass=\n"
        "SortAscent=1\nSortPattern=0\nLogoMove=1\n",
        IniText());
    EXPECT_TRUE(prompts.Asked.empty());
}

TEST_F(MainSettingsTest, AStartAfterZipAFolderAPasswordAndASortOrderWereSaved) {
    {
        TFormMain f;
        f.RadioButtonZip->click();
        f.RadioButtonSelect->click();
        f.EditSelect->setText("/srv/アーカイブ 出力");
        f.EditZipPass->setText("pa ss=wörd");
        f.FSortPattern = 1;
        f.FSortAscent = false;
        f.FLogoMove = false;
        f.move(120, 80);
    }
    const std::string text = IniText();
    EXPECT_NE(std::string::npos, text.find("[Bounds]\nLeft=120\nTop=80\n"));
    EXPECT_NE(std::string::npos,
              text.find("[App]\nFolderSelect=1\nSelectFolder=/srv/アーカイブ 出力\nTypeLzh=0\n"
                        "ZipPass=pa ss=wörd\nSortAscent=0\nSortPattern=1\nLogoMove=0\n"))
        << text;

    TFormMain f;
    EXPECT_EQ(QPoint(120, 80), f.pos());
    EXPECT_TRUE(f.RadioButtonSelect->isChecked());
    EXPECT_FALSE(f.RadioButtonInfile->isChecked());
    EXPECT_TRUE(f.EditSelect->isEnabled());
    EXPECT_TRUE(f.SpeedButtonSelect->isEnabled());
    EXPECT_EQ(WindowColor(), f.EditSelect->palette().color(QPalette::Base));
    EXPECT_EQ("/srv/アーカイブ 出力", f.EditSelect->text());
    EXPECT_TRUE(f.RadioButtonZip->isChecked());
    EXPECT_FALSE(f.RadioButtonLzh->isChecked());
    EXPECT_EQ("pa ss=wörd", f.EditZipPass->text());
    EXPECT_EQ(1, f.FSortPattern);
    EXPECT_FALSE(f.FSortAscent);
    EXPECT_EQ("ディレクトリ名", f.KWallListViewInfile->Column(0).Caption);
    EXPECT_EQ("ファイル名 ▽", f.KWallListViewInfile->Column(1).Caption);
    EXPECT_FALSE(f.FLogoMove);
}

TEST_F(MainSettingsTest, StoredValuesAreTakenAsTheFieldsHoldThem) {
    // A password with blanks at its ends comes back whole; the sort column is
    // an unsigned 8-bit field; a hand-edited flag word is not a true value.
    ASSERT_TRUE(WriteFileAtomically(
        SettingsFileIsolation::File(),
        "[Bounds]\nLeft=-5\nTop=$10\n[App]\nSortPattern=258\nLogoMove=TRUE\nTypeLzh=0\n"
        "ZipPass=\" two  ends \"\n",
        0600));
    TFormMain f;
    EXPECT_EQ(QPoint(-5, 16), f.pos());
    EXPECT_EQ(2, f.FSortPattern);
    EXPECT_FALSE(f.FLogoMove);
    EXPECT_FALSE(f.TimerLogoMove->isActive()) << "the logo starts at rest";
    EXPECT_TRUE(f.RadioButtonZip->isChecked());  // TypeLzh=0 leaves ZIP as designed
    EXPECT_EQ(" two  ends ", f.EditZipPass->text());
}

TEST_F(MainSettingsTest, AStoredPositionOffEveryScreenIsBroughtBackAndAVisibleOneIsKept) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Row {
        int Left, Top;
        bool Kept;
    };
    const std::vector<Row> rows = {
        {5000, 3000, false},                                 // a monitor removed since the last run
        {-4000, -4000, false},                               // far up and to the left
        {screen.right() - 20, 40, false},                    // only a sliver left to grab
        {-5, 16, true},                                      // a little over the edge: as stored
        {screen.right() - 150, screen.bottom() - 80, true},  // partly off, still grabbable
        {120, 80, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.Left) + "," + std::to_string(row.Top));
        ASSERT_TRUE(WriteFileAtomically(SettingsFileIsolation::File(),
                                        "[Bounds]\nLeft=" + std::to_string(row.Left) +
                                            "\nTop=" + std::to_string(row.Top) + "\n",
                                        0600));
        TFormMain f;
        f.show();
        EXPECT_EQ(f.size(), QSize(575, 315)) << "the designed size stays";
        if (row.Kept) {
            EXPECT_EQ(f.pos(), QPoint(row.Left, row.Top));
        } else {
            EXPECT_TRUE(screen.contains(QRect(f.pos(), f.size())))
                << f.pos().x() << "," << f.pos().y();
        }
    }
}

TEST_F(MainSettingsTest, TheSettingsSurviveACloseThroughTheTitleBar) {
    auto* f = new TFormMain;
    f->show();
    f->RadioButtonZip->click();
    f->EditZipPass->setText("secret");
    // The title bar's close button reaches the window as the platform's
    // close request; the message loop ends with the last window, and the
    // program then destroys its window.
    QTimer::singleShot(0, f, [f] { f->windowHandle()->close(); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, qApp, &QCoreApplication::quit);
    guard.start(10000);
    QApplication::exec();
    EXPECT_TRUE(guard.isActive()) << "the close did not end the message loop";
    EXPECT_FALSE(f->isVisible());
    delete f;

    TFormMain again;
    EXPECT_TRUE(again.RadioButtonZip->isChecked());
    EXPECT_EQ("secret", again.EditZipPass->text());
}

TEST_F(MainSettingsTest, TheSettingsFileCanOnlyBeReadByItsOwner) {
    { TFormMain f; }
    struct stat st;
    ASSERT_EQ(0, stat(SettingsFileIsolation::File().c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 07777);
}

TEST_F(MainSettingsTest, TheFileLiesBesideTheProgramOrInTheConfigFolder) {
    test::TempFolder dir;
    const std::string program = dir / "KalvoraTrindle";
    EXPECT_EQ(dir / "KalvoraTrindle.ini", SettingsFileFor(program));
    EXPECT_EQ(dir / "kaltri.v2.ini", SettingsFileFor(dir / "kaltri.v2.bin"));

    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    const std::string fallback = dir / "config/KalvoraTrindle/KalvoraTrindle.ini";
    EXPECT_EQ(fallback, SettingsFileFor("/no/such/folder/KalvoraTrindle"));
    // Installed places, in folders that exist: root may write there, but a
    // file left there would outlive the package's removal.
    EXPECT_EQ(fallback, SettingsFileFor("/usr/lib/KalvoraTrindle"));
    EXPECT_EQ(fallback, SettingsFileFor("/usr/local/lib/KalvoraTrindle"));
    EXPECT_EQ(fallback, SettingsFileFor("/opt/KalvoraTrindle"));
    if (geteuid() != 0) {  // root writes anywhere
        ASSERT_EQ(0, chmod(dir.Path().c_str(), 0555));
        EXPECT_EQ(fallback, SettingsFileFor(program));
        chmod(dir.Path().c_str(), 0755);
    }
    // The fallback folder is made when the settings are first saved.
    SetSettingsFileOverride(fallback);
    { TFormMain f; }
    EXPECT_TRUE(std::filesystem::exists(fallback));
    struct stat st;
    ASSERT_EQ(0, stat((dir / "config/KalvoraTrindle").c_str(), &st));
    EXPECT_EQ(0700u, st.st_mode & 07777);
    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace kt
