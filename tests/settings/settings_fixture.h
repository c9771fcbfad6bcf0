// Shared set-up of the settings tests: a Qt application for the widget
// cases, a fresh folder that also serves as XDG_CONFIG_HOME, and a scripted
// answerer that records the error boxes.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/qt/prompt.h"
#include "settings/regmng.h"
#include "tests/support/temp_folder.h"
#include "tests/widgets/ensure_qt_app.h"

namespace kt::test {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureQtApp();
        const char* old = std::getenv("XDG_CONFIG_HOME");
        hadConfig_ = old != nullptr;
        if (hadConfig_) oldConfig_ = old;
        setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1);
        manager_.SetRegType(rtIni);
        manager_.SetIniFileName(IniFile());
    }
    void TearDown() override {
        if (hadConfig_)
            setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }

    std::string IniFile() const { return dir_ / "settings.ini"; }
    std::string IniText() const {
        std::string text;
        ReadWholeFile(IniFile(), text);
        return text;
    }
    void AddItem(const std::string& name, const std::string& section, const std::string& ident,
                 const std::string& defaultValue) {
        manager_.RegItems()->Add(TRegItem(name, section, ident, defaultValue));
    }

    TempFolder dir_;
    TRegManager manager_;
    // The texts of the error boxes shown so far, each with its one OK button.
    std::vector<std::string> Boxes() const {
        std::vector<std::string> texts;
        for (const auto& asked : prompts_.Asked) {
            EXPECT_EQ(TMsgDlgButtons{mbOK}, asked.Buttons);
            texts.push_back(asked.Text);
        }
        return texts;
    }

    TScriptedAnswerer prompts_;

private:
    bool hadConfig_ = false;
    std::string oldConfig_;
};

}  // namespace kt::test
