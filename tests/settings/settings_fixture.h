// Shared set-up of the settings tests: a Qt application for the widget
// cases, a fresh folder that also serves as XDG_CONFIG_HOME, and a recorder
// in place of the error box.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "settings/error_box.h"
#include "settings/regmng.h"
#include "tests/platform/temp_folder.h"

namespace kt::test {

inline QApplication& App() {
    static int argc = 1;
    static char name[] = "settings_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        const char* old = std::getenv("XDG_CONFIG_HOME");
        hadConfig_ = old != nullptr;
        if (hadConfig_) oldConfig_ = old;
        setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1);
        previousBox_ =
            SetErrorBoxHandler([this](const std::string& text) { boxes_.push_back(text); });
        manager_.SetRegType(rtIni);
        manager_.SetIniFileName(IniFile());
    }
    void TearDown() override {
        SetErrorBoxHandler(previousBox_);
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
    std::vector<std::string> boxes_;

private:
    bool hadConfig_ = false;
    std::string oldConfig_;
    TErrorBoxHandler previousBox_;
};

}  // namespace kt::test
