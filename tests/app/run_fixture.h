// A main window over a temporary program folder that holds the archiver
// libraries of this build (or only some of them, or empty files standing
// for them), with PATH pointing at an empty folder, a scripted prompt
// service and helpers for files and archives.
#pragma once

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QRadioButton>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/main_settings.h"
#include "app/main_window.h"
#include "archive/archive_file.h"
#include "archive/lha_driver.h"
#include "archive/zip_driver.h"
#include "platform/library_loader.h"
#include "platform/qt/prompt.h"
#include "tests/support/temp_folder.h"
#include "tests/widgets/ensure_qt_app.h"
#include "tests/support/files.h"

namespace kt::test {

// Answers from a script like TScriptedAnswerer and, before answering, runs
// `OnAsk` (a test's way to act while a modal prompt would be open).
class TActingAnswerer : public TScriptedAnswerer {
public:
    TModalResult Ask(const std::string& text, const TMsgDlgButtons& buttons) override {
        if (OnAsk) OnAsk(text);
        return TScriptedAnswerer::Ask(text, buttons);
    }
    std::function<void(const std::string&)> OnAsk;
};

using kt::test::ReadAll;

// The tests point PATH at an empty folder; the outside tools are run with
// the system's.
inline const std::string kToolPath = "export PATH=/usr/local/bin:/usr/bin:/bin; ";

// The one member of an archive, extracted by an outside tool into an empty
// folder: its bytes, or a marker when the tool failed.
inline std::string ExtractOne(const std::string& command, const std::string& out) {
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    if (std::system((kToolPath + "cd '" + out + "' && " + command + " >/dev/null 2>&1").c_str()) !=
        0)
        return "<extract failed>";
    for (auto& e : std::filesystem::recursive_directory_iterator(out))
        if (e.is_regular_file()) return ReadAll(e.path());
    return "<nothing extracted>";
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

class ProgramFolderTest : public ::testing::Test {
protected:
    ProgramFolderTest() {
        EnsureQtApp();
        const char* path = getenv("PATH");
        FHadPath = path != nullptr;
        if (FHadPath) FOldPath = path;
        std::filesystem::create_directories(Programs());
        std::filesystem::create_directories(EmptyPath());
        setenv("PATH", EmptyPath().c_str(), 1);
        SetProgramFolderForTesting(Programs());
        // Each test starts from the default settings and leaves none behind.
        SetSettingsFileOverride(Temp / "KalvoraTrindle.ini");
        FreeLibraries();
    }
    ~ProgramFolderTest() override {
        FreeLibraries();
        SetSettingsFileOverride("");
        SetProgramFolderForTesting("");
        if (FHadPath)
            setenv("PATH", FOldPath.c_str(), 1);
        else
            unsetenv("PATH");
    }

    static void FreeLibraries() {
        TLha32::ClassInfo.FreeDLL();
        TZip32::ClassInfo.FreeDLL();
    }

    std::string Programs() const { return Temp / "programs"; }
    std::string EmptyPath() const { return Temp / "empty-path"; }

    // Copies this build's libraries into the program folder.
    void InstallRealLibraries() {
        for (const char* name : {"UNLHA32.DLL", "ZIP32J.DLL", "ZIP32.DLL", "UNZIP32.DLL"}) {
            std::filesystem::copy_file(std::string(KT_BIN_DIR) + "/" + name,
                                       Programs() + "/" + name,
                                       std::filesystem::copy_options::overwrite_existing);
        }
    }

    TempFolder Temp;
    TActingAnswerer Prompts;

private:
    bool FHadPath = false;
    std::string FOldPath;
};

// Texts of every prompt asked so far.
inline std::vector<std::string> Texts(const TScriptedAnswerer& p) {
    std::vector<std::string> texts;
    for (const auto& a : p.Asked) texts.push_back(a.Text);
    return texts;
}

}  // namespace kt::test
