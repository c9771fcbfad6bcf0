// Send To registration: the button's captions and hints, every prompt and
// message, the Desktop Entry written, changes made outside the program, an
// unwritable Send To folder, and a start through the entry's Exec line.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/infile_entry.h"
#include "app/shell_paths.h"
#include "app/main_window.h"
#include "app/sendto_entries.h"
#include "platform/qt/prompt.h"
#include "tests/app/sendto_support.h"
#include "tests/widgets/ensure_qt_app.h"
#include "widgets/kwall_list_view.h"

namespace kt {
namespace {

using namespace sendto_test;

// The value of a key of the [Desktop Entry] group, unescaped.
std::string EntryValue(const std::string& entry, const std::string& key) {
    std::istringstream lines(entry);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(key + "=", 0) != 0) continue;
        std::string value;
        for (size_t i = key.size() + 1; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                const char c = line[++i];
                value += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
            } else {
                value += line[i];
            }
        }
        return value;
    }
    return "\x01missing";
}

// The command of an Exec value as a launcher builds it: quoted arguments
// lose their quotes and escapes, "%F" becomes the files, "%%" a "%".
std::vector<std::string> ExpandExec(const std::string& exec,
                                    const std::vector<std::string>& files) {
    std::vector<std::string> argv;
    std::string arg;
    bool inArg = false, quoted = false;
    for (size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '"')
                quoted = false;
            else if (c == '\\' && i + 1 < exec.size())
                arg += exec[++i];
            else
                arg += c;
        } else if (c == '"') {
            quoted = inArg = true;
        } else if (c == ' ') {
            if (inArg) argv.push_back(arg);
            arg.clear();
            inArg = false;
        } else if (c == '%' && i + 1 < exec.size()) {
            const char code = exec[++i];
            if (code == '%') {
                arg += '%';
                inArg = true;
            } else if (code == 'F') {
                argv.insert(argv.end(), files.begin(), files.end());
            }
        } else {
            arg += c;
            inArg = true;
        }
    }
    if (inArg) argv.push_back(arg);
    return argv;
}

class SendTo : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureQtApp();
        ASSERT_TRUE(home.isValid());
        // Only the data folder moves: the Send To folder lies below it.
        hadData = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        savedData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
        link = home.path().toStdString() + "/data/Thunar/sendto/KalvoraTrindle.desktop";
    }
    void TearDown() override {
        form.reset();
        if (hadData)
            qputenv("XDG_DATA_HOME", savedData);
        else
            qunsetenv("XDG_DATA_HOME");
    }
    void Open() { form = std::make_unique<TFormMain>(); }
    std::string Caption() const { return form->ButtonSendEntry->text().toStdString(); }
    std::string Hint() const { return form->ButtonSendEntry->toolTip().toStdString(); }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& asked : prompts.Asked) texts.push_back(asked.Text);
        return texts;
    }
    void Press(std::vector<TModalResult> answers) {
        prompts.Asked.clear();
        prompts.Answers.assign(answers.begin(), answers.end());
        form->ButtonSendEntryClick();
        EXPECT_TRUE(prompts.Answers.empty()) << "fewer prompts than scripted";
        EXPECT_EQ(prompts.Unscripted, 0);
    }

    QTemporaryDir home;
    bool hadData = false;
    QByteArray savedData;
    std::string link;
    TScriptedAnswerer prompts;
    std::unique_ptr<TFormMain> form;
};

TEST_F(SendTo, RegistersTheDesktopEntryAndRemovesIt) {
    Open();
    EXPECT_EQ(form->FSendToLink, link);
    EXPECT_FALSE(form->FSendToEntered);
    EXPECT_EQ(Caption(), "設定(&T)");
    EXPECT_EQ(Hint(), "エクスプローラーの「送る」に登録します");

    Press({mrYes, mrOk});
    EXPECT_EQ(Texts(), (std::vector<std::string>{kRegisterPrompt, kRegistered}));
    EXPECT_EQ(prompts.Asked[0].Buttons, (TMsgDlgButtons{mbYes, mbNo}));
    EXPECT_EQ(prompts.Asked[1].Buttons, (TMsgDlgButtons{mbOK}));
    const std::string entry = ReadAll(link);
    EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u) << entry;
    EXPECT_EQ(EntryValue(entry, "Type"), "Application");
    EXPECT_EQ(EntryValue(entry, "Name"), "KalvoraTrindle");
    EXPECT_EQ(EntryValue(entry, "Comment"), kSendToComment);
    EXPECT_EQ(EntryValue(entry, "Exec"), "\"" + GetAppPath() + "\" %F");
    // Started in the user's home, so the open dialog does not begin in the
    // program's own folder.
    EXPECT_EQ(EntryValue(entry, "Path"), SendToWorkFolder());
    EXPECT_NE(SendToWorkFolder(), GetAppDir());
    EXPECT_TRUE(form->FSendToEntered);
    EXPECT_EQ(Caption(), "解除(&T)");
    EXPECT_EQ(Hint(), "エクスプローラーの「送る」から削除します");
    // Written atomically: nothing but the entry is left in the folder.
    EXPECT_EQ(QDir(home.path() + "/data/Thunar/sendto").entryList(QDir::Files | QDir::Hidden),
              QStringList{"KalvoraTrindle.desktop"});

    // A new window finds the entry at start-up.
    Open();
    EXPECT_TRUE(form->FSendToEntered);
    EXPECT_EQ(Caption(), "解除(&T)");

    Press({mrNo, mrOk});
    EXPECT_EQ(Texts(), (std::vector<std::string>{kRemovePrompt, kAborted}));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(link)));

    Press({mrYes, mrOk});
    EXPECT_EQ(Texts(), (std::vector<std::string>{kRemovePrompt, kRemoved}));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(link)));
    EXPECT_FALSE(form->FSendToEntered);
    EXPECT_EQ(Caption(), "設定(&T)");
    EXPECT_EQ(Hint(), "エクスプローラーの「送る」に登録します");
}

TEST_F(SendTo, DecliningTheRegistrationWritesNothing) {
    Open();
    Press({mrNo, mrOk});
    EXPECT_EQ(Texts(), (std::vector<std::string>{kRegisterPrompt, kAborted}));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(link)));
    EXPECT_EQ(Caption(), "設定(&T)");
}

TEST_F(SendTo, ChangesMadeOutsideAreReportedBeforeThePressGoesOn) {
    Open();
    Press({mrYes, mrOk});
    ASSERT_TRUE(QFile::remove(QString::fromStdString(link)));  // deleted by hand
    EXPECT_EQ(Caption(), "解除(&T)");                          // not known yet

    Press({mrOk, mrNo, mrOk});
    EXPECT_EQ(Texts(), (std::vector<std::string>{kChanged, kRegisterPrompt, kAborted}));
    EXPECT_FALSE(form->FSendToEntered);
    EXPECT_EQ(Caption(), "設定(&T)");

    // Put back by hand: the press reports it and offers the removal.
    QFile entry(QString::fromStdString(link));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.close();
    Press({mrOk, mrYes, mrOk});
    EXPECT_EQ(Texts(), (std::vector<std::string>{kChanged, kRemovePrompt, kRemoved}));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(link)));

    // No change outside: no such message.
    Press({mrYes, mrOk});
    EXPECT_EQ(Texts(), (std::vector<std::string>{kRegisterPrompt, kRegistered}));
}

TEST_F(SendTo, AnUnwritableSendToFolderIsReported) {
    // "Thunar" is a file, so the Send To folder can be neither made nor
    // written (also for a test run by root).
    ASSERT_TRUE(QDir().mkpath(home.path() + "/data"));
    QFile blocker(home.path() + "/data/Thunar");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Open();
    Press({mrYes, mrOk});
    EXPECT_EQ(Texts(), (std::vector<std::string>{kRegisterPrompt, kNotRegistered}));
    EXPECT_FALSE(form->FSendToEntered);
    EXPECT_EQ(Caption(), "設定(&T)");
    EXPECT_EQ(QDir(home.path() + "/data")
                  .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"Thunar"});
}

TEST_F(SendTo, AFailedRemovalIsReportedNotAnnounced) {
    Open();
    Press({mrYes, mrOk});
    ASSERT_TRUE(QFile::exists(QString::fromStdString(link)));
    FolderLock lock(home.path() + "/data/Thunar/sendto");
    if (!lock.Locked()) GTEST_SKIP() << "this file system cannot lock a folder against removal";
    Press({mrYes, mrOk});
    EXPECT_EQ(Texts(), (std::vector<std::string>{kRemovePrompt, kNotRemoved}));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(link)));
    EXPECT_TRUE(form->FSendToEntered);
    EXPECT_EQ(Caption(), "解除(&T)");
}

// The child side of the next test: a start of this program by the entry's
// Exec line. It opens the window with its own parameters, as the program
// entry does, and writes its folder and the listed paths to a report.
TEST(SendToChild, ListsItsParameters) {
    const QByteArray report = qgetenv("KT_SENDTO_CHILD_REPORT");
    if (report.isEmpty())
        GTEST_SKIP() << "runs only when started by SendTo.StartThroughExecLineListsEverySentFile";
    EnsureQtApp();
    std::vector<std::string> params;
    const std::string cmdline = ReadAll("/proc/self/cmdline");
    for (size_t start = 0, end; start < cmdline.size(); start = end + 1) {
        end = cmdline.find('\0', start);
        if (end == std::string::npos) end = cmdline.size();
        params.push_back(cmdline.substr(start, end - start));
    }
    params.erase(params.begin());
    TFormMain form(params);
    std::ofstream out(report.toStdString(), std::ios::binary);
    out << QDir::currentPath().toStdString() << '\n';
    for (int row = 0; row < form.KWallListViewInfile->ItemCount(); ++row)
        out << static_cast<TInfileEntry*>(form.KWallListViewInfile->ItemData(row))->Path() << '\n';
}

TEST_F(SendTo, StartThroughExecLineListsEverySentFile) {
    Open();
    Press({mrYes, mrOk});
    const std::string entry = ReadAll(link);

    std::vector<std::string> files;
    for (const char* name : {"a one.txt", "二番目.txt", "c$3.txt"}) {
        files.push_back(home.path().toStdString() + "/" + name);
        QFile file(QString::fromStdString(files.back()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const std::vector<std::string> argv = ExpandExec(EntryValue(entry, "Exec"), files);
    ASSERT_EQ(argv.size(), 4u);
    EXPECT_EQ(argv[0], GetAppPath());

    const std::string report = home.path().toStdString() + "/report.txt";
    std::string failure;
    const std::vector<std::string> lines =
        RunListingChild(argv[0], std::vector<std::string>(argv.begin() + 1, argv.end()),
                        EntryValue(entry, "Path"), {}, report, failure);
    ASSERT_EQ(lines.size(), 4u) << failure << ReadAll(report);
    EXPECT_EQ(lines[0], SendToWorkFolder());
    std::vector<std::string> listed(lines.begin() + 1, lines.end());
    std::sort(listed.begin(), listed.end());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(listed, files);
}

}  // namespace
}  // namespace kt
