// The folder dialog component: start and root folders, results, the
// selection event with status text and OK state, and placement.
#include "widgets/shbffex.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/qt/shell_places.h"
#include "tests/widgets/ensure_qt_app.h"
#include "widgets/shbffex_dialog.h"

namespace kt {
namespace {

// A temporary home with its XDG folders, and the variables pointing there.
class PlacesFixture : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureQtApp();
        ASSERT_TRUE(home.isValid());
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
            const char* value = std::getenv(name);
            saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        setenv("HOME", Home().c_str(), 1);
        setenv("XDG_DATA_HOME", (Home() + "/data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (Home() + "/config").c_str(), 1);
        MakeDir("Desktop");
    }
    void TearDown() override {
        for (const auto& [name, value] : saved) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    std::string Home() const { return QDir::cleanPath(home.path()).toStdString(); }
    std::string MakeDir(const std::string& relative) {
        const std::string path = Home() + "/" + relative;
        EXPECT_TRUE(QDir().mkpath(QString::fromStdString(path)));
        return path;
    }
    std::string MakeFile(const std::string& relative) {
        const std::string path = Home() + "/" + relative;
        QFile file(QString::fromStdString(path));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return path;
    }

    QTemporaryDir home;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

// Runs Execute while script works the open dialog; script must close it. A
// script that leaves it open fails the test and the dialog is cancelled.
bool RunDialog(TSHBrowseForFolderEx& browser, const std::function<void(TSHBrowseDialog*)>& script) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TSHBrowseDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        seen = true;
        script(dialog);
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the script left the dialog open";
            dialog->reject();
        }
    });
    const bool result = browser.Execute();
    EXPECT_TRUE(seen) << "the dialog was not shown";
    return result;
}

std::string Str(const QString& text) { return text.toStdString(); }

using Places = PlacesFixture;
using Browser = PlacesFixture;

TEST_F(Places, FoldersFollowTheXdgVariables) {
    EXPECT_EQ(ShellFolderPath(CSIDL_DESKTOP), Home() + "/Desktop");
    EXPECT_EQ(ShellFolderPath(CSIDL_DESKTOPDIRECTORY), Home() + "/Desktop");
    EXPECT_EQ(ShellFolderPath(CSIDL_DRIVES), "/");
    EXPECT_EQ(ShellFolderPath(CSIDL_FAVORITES), Home());
    EXPECT_EQ(ShellFolderPath(CSIDL_SENDTO), Home() + "/data/Thunar/sendto");
    EXPECT_EQ(ShellFolderPath(CSIDL_PROGRAMS), Home() + "/data/applications");
    EXPECT_EQ(ShellFolderPath(CSIDL_STARTUP), Home() + "/config/autostart");
    EXPECT_EQ(ShellFolderPath(CSIDL_RECENT), Home() + "/data/RecentDocuments");
    EXPECT_EQ(ShellFolderPath(0x7F), "");

    // A relative XDG_DATA_HOME is ignored, as the base directory rules say.
    setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(SendToFolderPath(), Home() + "/.local/share/Thunar/sendto");
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(SendToFolderPath(), Home() + "/.local/share/Thunar/sendto");

    // The desktop and templates folders come from user-dirs.dirs when it
    // names them.
    MakeDir("config");
    QFile dirs(QString::fromStdString(Home() + "/config/user-dirs.dirs"));
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DESKTOP_DIR=\"$HOME/机\"\nXDG_TEMPLATES_DIR=\"$HOME/雛形\"\n");
    dirs.close();
    EXPECT_EQ(ShellFolderPath(CSIDL_DESKTOP), Home() + "/机");
    EXPECT_EQ(ShellFolderPath(CSIDL_TEMPLATES), Home() + "/雛形");
}

TEST_F(Browser, DefaultsAreTheDesignedOnes) {
    TSHBrowseForFolderEx browser(nullptr);
    EXPECT_EQ(browser.Caption(), "");
    EXPECT_EQ(browser.SelectFolder(), sfDrives);
    EXPECT_EQ(browser.RootFolder(), rfDesktop);
    EXPECT_EQ(browser.ShowStyle(), ssClient);
    EXPECT_EQ(browser.Options(), TSHBrowseOptions{sboReturnOnlyFSDirs});
    EXPECT_EQ(BrowseFlags({sboStatusTextAndShowPath, sboReturnOnlyFSDirs}), 0x5u);
    EXPECT_EQ(BrowseFlags({sboDontGoBelowDomain, sboReturnFSAncestors, sboStatusText}), 0xEu);
}

TEST_F(Browser, StartsAtAManualFolderElseAtTheDesktop) {
    const std::string folder = MakeDir("work/out");
    const std::string file = MakeFile("work/note.txt");
    const std::string desktop = Home() + "/Desktop";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {folder, folder}, {folder + "/", folder}, {file, desktop}, {Home() + "/missing", desktop},
        {"", desktop},    {"work/out", desktop},  // relative: not a usable path
    };
    for (const auto& [name, expected] : cases) {
        TSHBrowseForFolderEx browser(nullptr);
        browser.SetSelectFolder(sfManual);
        browser.SetSelectFolderName(name);
        std::string selected;
        EXPECT_FALSE(RunDialog(browser, [&](TSHBrowseDialog* dialog) {
            selected = Str(dialog->SelectedPath());
            dialog->reject();
        }));
        EXPECT_EQ(selected, expected) << "name: " << name;
    }
}

TEST_F(Browser, StartsAtDrivesAndRevealsHiddenShellFolders) {
    TSHBrowseForFolderEx drives(nullptr);
    std::string selected;
    RunDialog(drives, [&](TSHBrowseDialog* dialog) {
        selected = Str(dialog->SelectedPath());
        dialog->reject();
    });
    EXPECT_EQ(selected, "/");

    // The Send To folder lies below hidden folders, which the tree leaves
    // out unless they lead to the folder asked for.
    const std::string sendTo = MakeDir("data/Thunar/sendto");
    MakeDir(".cache");
    TSHBrowseForFolderEx browser(nullptr);
    browser.SetRootFolder(rfFavorites);
    browser.SetSelectFolder(sfSendTo);
    RunDialog(browser, [&](TSHBrowseDialog* dialog) {
        selected = Str(dialog->SelectedPath());
        QStringList topNames;
        QTreeWidgetItem* root = dialog->Tree()->topLevelItem(0);
        for (int i = 0; i < root->childCount(); ++i) topNames << root->child(i)->text(0);
        EXPECT_FALSE(topNames.contains(".cache"));
        EXPECT_TRUE(topNames.contains("Desktop"));
        dialog->reject();
    });
    EXPECT_EQ(selected, sendTo);
}

TEST_F(Browser, RootLimitsTheTreeAndAMissingRootShowsNothing) {
    const std::string root = MakeDir("projects");
    MakeDir("projects/a/b");
    const std::string outside = MakeDir("elsewhere");
    TSHBrowseForFolderEx browser(nullptr);
    browser.SetRootFolder(rfManual);
    browser.SetRootFolderName(root);
    browser.SetSelectFolder(sfManual);
    browser.SetSelectFolderName(outside);
    std::string selected, top;
    bool outsideSelectable = true, insideSelectable = false;
    RunDialog(browser, [&](TSHBrowseDialog* dialog) {
        top = Str(dialog->Tree()->topLevelItem(0)->data(0, Qt::UserRole).toString());
        selected = Str(dialog->SelectedPath());
        outsideSelectable = dialog->SetSelection(QString::fromStdString(outside));
        insideSelectable = dialog->SetSelection(QString::fromStdString(root + "/a/b"));
        dialog->reject();
    });
    EXPECT_EQ(top, root);
    EXPECT_EQ(selected, root);  // the initial folder is outside the root
    EXPECT_FALSE(outsideSelectable);
    EXPECT_TRUE(insideSelectable);

    // The recent folder does not exist: no root, no dialog.
    TSHBrowseForFolderEx missing(nullptr);
    missing.SetRootFolder(rfRecent);
    EXPECT_FALSE(missing.Execute());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(Browser, CancelEmptiesResultsThatAnEarlierOkFilled) {
    const std::string start = MakeDir("in");
    const std::string chosen = MakeDir("in/日本語の箱");
    TSHBrowseForFolderEx browser(nullptr);
    browser.SetSelectFolder(sfManual);
    browser.SetSelectFolderName(start);
    EXPECT_TRUE(RunDialog(browser, [&](TSHBrowseDialog* dialog) {
        EXPECT_TRUE(dialog->SetSelection(QString::fromStdString(chosen)));
        dialog->accept();
    }));
    EXPECT_EQ(browser.FolderName(), chosen);
    EXPECT_EQ(browser.DisplayName(), "日本語の箱");

    EXPECT_FALSE(RunDialog(browser, [](TSHBrowseDialog* dialog) { dialog->reject(); }));
    EXPECT_EQ(browser.FolderName(), "");
    EXPECT_EQ(browser.DisplayName(), "");
}

TEST_F(Browser, EventGreysOkUntilALaterSelectionEnablesIt) {
    const std::string locked = MakeDir("locked");
    const std::string open = MakeDir("open");
    TSHBrowseForFolderEx browser(nullptr);
    browser.SetSelectFolder(sfManual);
    browser.SetSelectFolderName(open);
    std::vector<std::string> seen;
    browser.OnSelectionChanged = [&](QObject* sender, QWidget* wnd, const std::string& path,
                                     std::string& showText, TOKButtonState& ok) {
        EXPECT_EQ(sender, &browser);
        EXPECT_NE(qobject_cast<TSHBrowseDialog*>(wnd), nullptr);
        EXPECT_EQ(showText, "");
        EXPECT_EQ(ok, obsNoChange);
        seen.push_back(path);
        if (path == locked) ok = obsDisable;
    };
    bool enabledAtStart = false, enabledOnLocked = true, stillOpen = false, enabledAgain = false;
    EXPECT_TRUE(RunDialog(browser, [&](TSHBrowseDialog* dialog) {
        enabledAtStart = dialog->IsOKEnabled();
        dialog->SetSelection(QString::fromStdString(locked));
        enabledOnLocked = dialog->IsOKEnabled();
        dialog->accept();  // refused while OK is grey
        stillOpen = dialog->isVisible();
        dialog->SetSelection(QString::fromStdString(open));
        enabledAgain = dialog->IsOKEnabled();
        dialog->accept();
    }));
    EXPECT_TRUE(enabledAtStart);
    EXPECT_FALSE(enabledOnLocked);
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(enabledAgain);
    EXPECT_EQ(browser.FolderName(), open);
    EXPECT_EQ(seen, (std::vector<std::string>{open, locked, open}));
}

TEST_F(Browser, StatusLineShowsTheEventTextOrAlwaysThePath) {
    const std::string folder = MakeDir("status");
    for (TSHBrowseOption option : {sboStatusText, sboStatusTextAndShowPath}) {
        TSHBrowseForFolderEx browser(nullptr);
        browser.SetOptions({sboReturnOnlyFSDirs, option});
        browser.SetSelectFolder(sfManual);
        browser.SetSelectFolderName(folder);
        browser.OnSelectionChanged = [](QObject*, QWidget*, const std::string&,
                                        std::string& showText,
                                        TOKButtonState&) { showText = "選択中"; };
        std::string atStart, afterMove;
        RunDialog(browser, [&](TSHBrowseDialog* dialog) {
            atStart = Str(dialog->StatusText());
            dialog->SetSelection(QString::fromStdString(Home()));
            afterMove = Str(dialog->StatusText());
            dialog->reject();
        });
        const bool showsPath = option == sboStatusTextAndShowPath;
        EXPECT_EQ(atStart, showsPath ? folder : "選択中");
        EXPECT_EQ(afterMove, showsPath ? Home() : "選択中");
    }
}

TEST_F(Browser, CenterScreenArithmetic) {
    EXPECT_EQ(CenterScreenPosition(QRect(0, 0, 1024, 768), QSize(320, 300)), QPoint(352, 156));
    // The work area's own corner is not added.
    EXPECT_EQ(CenterScreenPosition(QRect(0, 40, 1024, 768), QSize(320, 300)), QPoint(352, 156));
    EXPECT_EQ(CenterScreenPosition(QRect(0, 0, 1024, 768), QSize(321, 301)), QPoint(351, 155));
}

TEST_F(Browser, PlacesTheDialogByStyle) {
    QWidget form;
    form.setGeometry(120, 80, 400, 300);
    form.show();
    const QPoint clientOrigin = form.mapToGlobal(QPoint(0, 0));
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();

    TSHBrowseForFolderEx client(&form);
    QPoint at;
    RunDialog(client, [&](TSHBrowseDialog* dialog) {
        at = dialog->pos();
        EXPECT_EQ(dialog->parentWidget(), &form);
        dialog->reject();
    });
    EXPECT_EQ(at, clientOrigin);

    TSHBrowseForFolderEx centred(&form);
    centred.SetShowStyle(ssCenterScreen);
    QSize size;
    RunDialog(centred, [&](TSHBrowseDialog* dialog) {
        at = dialog->pos();
        size = dialog->size();
        dialog->reject();
    });
    EXPECT_EQ(at, CenterScreenPosition(work, size));
}

}  // namespace
}  // namespace kt
