// The window settings: nine items kept across runs in the INI file, read once
// in the start-up sequence and written once in the shut-down sequence.
#include "app/main_settings.h"

#include <unistd.h>

#include <QGuiApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>

#include "app/shell_paths.h"
#include "app/main_window.h"
#include "app/window_placement.h"
#include "platform/atomic_file.h"
#include "platform/config_folder.h"
#include "platform/path_text.h"
#include "settings/regmng.h"

namespace kt {
namespace {

std::string& Override() {
    static std::string path;
    return path;
}

// The window definition of the settings manager's items.
const TRegItem kSettingItems[] = {
    {"Left", "Bounds", "Left", "0"},
    {"Top", "Bounds", "Top", "0"},
    // "Fasle" is no true word, so the default is false.
    {"FolderSelect", "App", "FolderSelect", "Fasle"},
    {"SelectFolder", "App", "SelectFolder", ""},
    {"TypeLzh", "App", "TypeLzh", "True"},
    {"ZipPass", "App", "ZipPass", ""},
    {"SortAscent", "App", "SortAscent", "True"},
    {"SortPattern", "App", "SortPattern", "0"},
    {"LogoMove", "App", "LogoMove", "True"},
};

// /usr and /opt hold what the package manager installed: they are read-only
// by the file system's layout even where the permission bits let root write.
// A settings file left there would outlive the package's removal.
bool IsPackageFolder(const std::string& folder) {
    for (const std::string top : {"/usr", "/opt"})
        if (folder.rfind(top, 0) == 0 && (folder.size() == top.size() || folder[top.size()] == '/'))
            return true;
    return false;
}

}  // namespace

std::string SettingsFileFor(const std::string& appPath) {
    const std::string folder = FolderOf(appPath);
    if (!folder.empty() && !IsPackageFolder(folder) && access(folder.c_str(), W_OK) == 0)
        return JoinFolder(folder, ReplaceExtension(NameOf(appPath), ".ini"));
    return ProgramConfigFolder() + "/KalvoraTrindle.ini";
}

std::string SettingsFileName() {
    return Override().empty() ? SettingsFileFor(GetAppPath()) : Override();
}

void SetSettingsFileOverride(const std::string& path) { Override() = path; }

void TFormMain::CreateRegManager() {
    RegManager = new TRegManager(this);
    RegManager->setObjectName("RegManager");
    RegManager->SetRegType(rtIni);
    RegManager->SetRegDir("Software\\Kalvora");
    for (const TRegItem& item : kSettingItems) RegManager->RegItems()->Add(item);
}

void TFormMain::LoadSettings() {
    const int left = RegManager->Filer("Left")->ReadInteger();
    const int top = RegManager->Filer("Top")->ReadInteger();
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    move(VisibleTopLeft(QRect(QPoint(left, top), size()), screens));
    // Checking one radio button unchecks the other; unchecking leaves both.
    RadioButtonSelect->setChecked(RegManager->Filer("FolderSelect")->ReadBool());
    EditSelect->setText(QString::fromStdString(RegManager->Filer("SelectFolder")->ReadString()));
    RadioButtonLzh->setChecked(RegManager->Filer("TypeLzh")->ReadBool());
    EditZipPass->setText(QString::fromStdString(RegManager->Filer("ZipPass")->ReadString()));
    FSortAscent = RegManager->Filer("SortAscent")->ReadBool();
    FSortPattern = static_cast<std::uint8_t>(RegManager->Filer("SortPattern")->ReadInteger());
    FLogoMove = RegManager->Filer("LogoMove")->ReadBool();
}

void TFormMain::SaveSettings() {
    // The fallback folder may not exist yet; the file is created by the first write.
    MakeFolders(FolderOf(RegManager->IniFileName()), 0700);
    RegManager->Filer("Left")->WriteInteger(pos().x());
    RegManager->Filer("Top")->WriteInteger(pos().y());
    RegManager->Filer("FolderSelect")->WriteBool(RadioButtonSelect->isChecked());
    RegManager->Filer("SelectFolder")->WriteString(EditSelect->text().toStdString());
    RegManager->Filer("TypeLzh")->WriteBool(RadioButtonLzh->isChecked());
    RegManager->Filer("ZipPass")->WriteString(EditZipPass->text().toStdString());
    RegManager->Filer("SortAscent")->WriteBool(FSortAscent);
    RegManager->Filer("SortPattern")->WriteInteger(FSortPattern);
    RegManager->Filer("LogoMove")->WriteBool(FLogoMove);
}

}  // namespace kt
