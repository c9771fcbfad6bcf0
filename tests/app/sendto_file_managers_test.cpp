// Send To in every file manager: one press registers the program with
// Thunar and with each other file manager found on PATH (GNOME Files, Caja,
// Nemo, Dolphin), the next removes every entry, the start-up check finds any
// one of them, and each entry, started the way its file manager starts it,
// hands three files to the program, which lists them.
#include <glib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/shell_paths.h"
#include "app/main_window.h"
#include "app/sendto_entries.h"
#include "platform/qt/prompt.h"
#include "tests/app/sendto_support.h"
#include "tests/widgets/ensure_qt_app.h"

namespace kt {
namespace {

using namespace sendto_test;

const std::vector<std::string> kOtherManagers = {"nautilus", "caja", "nemo", "dolphin"};

class FileManagers : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureQtApp();
        ASSERT_TRUE(home.isValid());
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "PATH"})
            saved.push_back({name, qgetenv(name)});
        qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
        // Only the file managers a test installs are on PATH.
        ASSERT_TRUE(QDir().mkpath(home.path() + "/bin"));
        qputenv("PATH", (home.path() + "/bin").toUtf8());
        const std::string data = Home() + "/data/", config = Home() + "/config/";
        thunar = data + "Thunar/sendto/KalvoraTrindle.desktop";
        nautilus = data + "nautilus/scripts/KalvoraTrindle";
        caja = config + "caja/scripts/KalvoraTrindle";
        nemo = data + "nemo/actions/KalvoraTrindle.nemo_action";
        dolphin = data + "kio/servicemenus/KalvoraTrindle.desktop";
    }
    void TearDown() override {
        form.reset();
        for (const auto& [name, value] : saved) qputenv(name.c_str(), value);
    }
    std::string Home() const { return home.path().toStdString(); }
    // A stand-in for an installed file manager: an executable of its name.
    void Install(const std::vector<std::string>& programs) {
        for (const std::string& program : programs) {
            QFile file(home.path() + "/bin/" + QString::fromStdString(program));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\n");
            file.close();
            file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }
    std::vector<std::string> AllEntries() const { return {thunar, nautilus, caja, nemo, dolphin}; }
    std::vector<std::string> Existing() const {
        std::vector<std::string> found;
        for (const std::string& path : AllEntries())
            if (QFile::exists(QString::fromStdString(path))) found.push_back(path);
        return found;
    }
    void Open() { form = std::make_unique<TFormMain>(); }
    std::string Caption() const { return form->ButtonSendEntry->text().toStdString(); }
    std::vector<std::string> Press(std::vector<TModalResult> answers) {
        prompts.Asked.clear();
        prompts.Answers.assign(answers.begin(), answers.end());
        form->ButtonSendEntryClick();
        EXPECT_TRUE(prompts.Answers.empty()) << "fewer prompts than scripted";
        EXPECT_EQ(prompts.Unscripted, 0);
        std::vector<std::string> texts;
        for (const auto& asked : prompts.Asked) texts.push_back(asked.Text);
        return texts;
    }

    QTemporaryDir home;
    std::vector<std::pair<std::string, QByteArray>> saved;
    std::string thunar, nautilus, caja, nemo, dolphin;
    TScriptedAnswerer prompts;
    std::unique_ptr<TFormMain> form;
};

bool Executable(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IXUSR);
}

// Everything in the entry's folder, hidden files too: a temporary file
// left behind would show here.
QStringList FolderListing(const std::string& entry) {
    return QFileInfo(QString::fromStdString(entry))
        .dir()
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// A key of a key file as GLib reads it for Thunar and Nemo (escapes undone).
std::string KeyFileValue(const std::string& path, const std::string& group,
                         const std::string& key) {
    GKeyFile* file = g_key_file_new();
    std::string value = "\x01missing";
    if (g_key_file_load_from_file(file, path.c_str(), G_KEY_FILE_NONE, nullptr)) {
        if (gchar* text = g_key_file_get_string(file, group.c_str(), key.c_str(), nullptr)) {
            value = text;
            g_free(text);
        }
    }
    g_key_file_free(file);
    return value;
}

TEST_F(FileManagers, OnePressRegistersWithEveryInstalledOneAndTheNextRemovesAll) {
    Install(kOtherManagers);
    Open();
    EXPECT_EQ(Caption(), "設定(&T)");
    EXPECT_EQ(Press({mrYes, mrOk}), (std::vector<std::string>{kRegisterPrompt, kRegistered}));
    EXPECT_EQ(Existing(), AllEntries());
    EXPECT_EQ(Caption(), "解除(&T)");
    // The scripts and the service menu are started as programs; the others
    // are read.
    EXPECT_TRUE(Executable(nautilus));
    EXPECT_TRUE(Executable(caja));
    EXPECT_TRUE(Executable(dolphin));
    EXPECT_FALSE(Executable(nemo));
    // Each entry the file manager can hide once the program is gone says so,
    // and carries the program's icon and a description of its own.
    struct KeyRow {
        std::string file, group, key, value;
    };
    const std::string app = GetAppPath();
    for (const KeyRow& row : std::vector<KeyRow>{
             {thunar, "Desktop Entry", "TryExec", app},
             {thunar, "Desktop Entry", "Icon", kProgramIconName},
             {thunar, "Desktop Entry", "Comment", kSendToComment},
             {nemo, "Nemo Action", "Dependencies", app + ";"},
             {nemo, "Nemo Action", "Icon-Name", kProgramIconName},
             {nemo, "Nemo Action", "Comment", kSendToComment},
             {dolphin, "Desktop Entry", "TryExec", app},
             {dolphin, "Desktop Action KalvoraTrindle", "Icon", kProgramIconName}}) {
        EXPECT_EQ(KeyFileValue(row.file, row.group, row.key), row.value)
            << row.file << " " << row.key;
    }
    for (const std::string& entry : AllEntries())
        EXPECT_EQ(FolderListing(entry),
                  QStringList{QFileInfo(QString::fromStdString(entry)).fileName()});

    Open();  // a new window finds the entries at start-up
    EXPECT_TRUE(form->FSendToEntered);
    EXPECT_EQ(Press({mrYes, mrOk}), (std::vector<std::string>{kRemovePrompt, kRemoved}));
    EXPECT_EQ(Existing(), std::vector<std::string>{});
    for (const std::string& entry : AllEntries()) EXPECT_EQ(FolderListing(entry), QStringList{});
    EXPECT_EQ(Caption(), "設定(&T)");
}

TEST_F(FileManagers, OnlyInstalledFileManagersGetAnEntryAndThunarAlways) {
    Install({"nemo"});
    Open();
    EXPECT_EQ(Press({mrYes, mrOk}), (std::vector<std::string>{kRegisterPrompt, kRegistered}));
    EXPECT_EQ(Existing(), (std::vector<std::string>{thunar, nemo}));
}

TEST_F(FileManagers, TheStartUpCheckFindsAnyOneEntry) {
    for (const std::string& entry : {nautilus, caja, nemo, dolphin}) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(QString::fromStdString(entry)).path()));
        QFile file(QString::fromStdString(entry));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        Open();
        EXPECT_TRUE(form->FSendToEntered) << entry;
        EXPECT_EQ(Caption(), "解除(&T)") << entry;
        EXPECT_EQ(Press({mrYes, mrOk}), (std::vector<std::string>{kRemovePrompt, kRemoved}));
        EXPECT_EQ(Existing(), std::vector<std::string>{});
        EXPECT_EQ(Caption(), "設定(&T)");
    }
}

TEST_F(FileManagers, AFailedRegistrationLeavesNoEntryAnywhere) {
    Install(kOtherManagers);
    // "kio" is a file, so Dolphin's folder can be neither made nor written.
    ASSERT_TRUE(QDir().mkpath(home.path() + "/data"));
    QFile blocker(home.path() + "/data/kio");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Open();
    EXPECT_EQ(Press({mrYes, mrOk}), (std::vector<std::string>{kRegisterPrompt, kNotRegistered}));
    EXPECT_EQ(Existing(), std::vector<std::string>{});
    EXPECT_FALSE(form->FSendToEntered);
    EXPECT_EQ(Caption(), "設定(&T)");
}

TEST_F(FileManagers, ARemovalThatFailsInOnePlaceIsReportedAndTheOthersGo) {
    Install(kOtherManagers);
    Open();
    Press({mrYes, mrOk});
    {
        FolderLock lock(QFileInfo(QString::fromStdString(nemo)).path());
        if (!lock.Locked()) GTEST_SKIP() << "this file system cannot lock a folder against removal";
        EXPECT_EQ(Press({mrYes, mrOk}), (std::vector<std::string>{kRemovePrompt, kNotRemoved}));
        EXPECT_EQ(Existing(), std::vector<std::string>{nemo});
        EXPECT_EQ(Caption(), "解除(&T)");
    }
    EXPECT_EQ(Press({mrYes, mrOk}), (std::vector<std::string>{kRemovePrompt, kRemoved}));
    EXPECT_EQ(Existing(), std::vector<std::string>{});
}

// The words of a command line as GLib's shell-like parser splits it: how
// Nemo starts its actions, and how desktop Exec lines are split.
std::vector<std::string> ShellWords(const std::string& line) {
    gint argc = 0;
    gchar** argv = nullptr;
    std::vector<std::string> words;
    if (g_shell_parse_argv(line.c_str(), &argc, &argv, nullptr)) {
        words.assign(argv, argv + argc);
        g_strfreev(argv);
    }
    return words;
}

// An Exec line's %F replaced by the files, each quoted as a desktop entry
// launcher quotes it, and "%%" by "%".
std::string ExpandDesktopExec(const std::string& exec, const std::vector<std::string>& files) {
    std::string line;
    for (size_t i = 0; i < exec.size(); ++i) {
        if (exec[i] == '%' && i + 1 < exec.size()) {
            const char code = exec[++i];
            if (code == '%') line += '%';
            for (size_t f = 0; code == 'F' && f < files.size(); ++f) {
                gchar* quoted = g_shell_quote(files[f].c_str());
                line += (f ? " " : "") + std::string(quoted);
                g_free(quoted);
            }
        } else {
            line += exec[i];
        }
    }
    return line;
}

// Nemo's expansion: %F becomes the paths in the quotes of Quote=double.
std::string ExpandNemoExec(const std::string& exec, const std::vector<std::string>& files) {
    std::string paths;
    for (const std::string& file : files) paths += (paths.empty() ? "\"" : " \"") + file + "\"";
    std::string line = exec;
    line.replace(line.find("%F"), 2, paths);
    return line;
}

TEST_F(FileManagers, EachEntryStartedAsItsFileManagerStartsItListsThreeFiles) {
    Install(kOtherManagers);
    Open();
    Press({mrYes, mrOk});
    const std::string shown = Home() + "/files";  // the folder the file manager shows
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(shown)));
    const std::vector<std::string> names = {"a one.txt", "二番目.txt", "it's $3.txt"};
    std::vector<std::string> files;
    for (const std::string& name : names) {
        files.push_back(shown + "/" + name);
        QFile file(QString::fromStdString(files.back()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    std::string selection;
    for (const std::string& file : files) selection += file + "\n";

    struct Start {
        std::string manager;
        std::vector<std::string> argv;
        std::string folder;
        std::map<QString, QString> env;
        std::string expectedFolder;  // empty: wherever it was started
    };
    const std::vector<Start> starts = {
        {"Thunar",
         ShellWords(ExpandDesktopExec(KeyFileValue(thunar, "Desktop Entry", "Exec"), files)),
         KeyFileValue(thunar, "Desktop Entry", "Path"),
         {},
         SendToWorkFolder()},
        // GNOME Files and Caja: the script itself, the files relative to the
        // folder shown, and the absolute paths in their variable.
        {"GNOME Files",
         {nautilus, names[0], names[1], names[2]},
         shown,
         {{"NAUTILUS_SCRIPT_SELECTED_FILE_PATHS", QString::fromStdString(selection)}},
         SendToWorkFolder()},
        {"Caja",
         {caja, names[0], names[1], names[2]},
         shown,
         {{"CAJA_SCRIPT_SELECTED_FILE_PATHS", QString::fromStdString(selection)}},
         SendToWorkFolder()},
        {"Nemo",
         ShellWords(ExpandNemoExec(KeyFileValue(nemo, "Nemo Action", "Exec"), files)),
         shown,
         {},
         ""},
        {"Dolphin",
         ShellWords(ExpandDesktopExec(
             KeyFileValue(dolphin, "Desktop Action KalvoraTrindle", "Exec"), files)),
         shown,
         {},
         ""},
    };
    std::vector<std::string> expected = files;
    std::sort(expected.begin(), expected.end());
    for (const Start& start : starts) {
        SCOPED_TRACE(start.manager);
        ASSERT_FALSE(start.argv.empty());
        const std::string report = Home() + "/report " + start.manager + ".txt";
        std::string failure;
        const std::vector<std::string> lines = RunListingChild(
            start.argv[0], std::vector<std::string>(start.argv.begin() + 1, start.argv.end()),
            start.folder, start.env, report, failure);
        ASSERT_EQ(lines.size(), 4u) << failure;
        if (!start.expectedFolder.empty()) {
            EXPECT_EQ(lines[0], start.expectedFolder);
        }
        std::vector<std::string> listed(lines.begin() + 1, lines.end());
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(listed, expected);
    }
}

}  // namespace
}  // namespace kt
