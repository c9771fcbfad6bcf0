#include <filesystem>

#include "settings_fixture.h"

namespace {

using kt::EIniFileException;
using kt::test::SettingsTest;

TEST_F(SettingsTest, TheTwoItemExampleReadsDefaultsThenWritesItsSections) {
    AddItem("Left", "Bounds", "Left", "0");
    AddItem("TypeLzh", "App", "TypeLzh", "True");
    EXPECT_EQ(0, manager_.Filer("Left")->ReadInteger());
    EXPECT_TRUE(manager_.Filer("TypeLzh")->ReadBool());
    EXPECT_FALSE(std::filesystem::exists(IniFile()));

    manager_.Filer("Left")->WriteInteger(120);
    manager_.Filer("TypeLzh")->WriteBool(false);
    EXPECT_EQ("[Bounds]\nLeft=120\n\n[App]\nTypeLzh=0\n", IniText());
    EXPECT_EQ(120, manager_.Filer("Left")->ReadInteger());
    EXPECT_FALSE(manager_.Filer("TypeLzh")->ReadBool());
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(SettingsTest, OnlyOneTrueOrYesInAnyCaseMakeATrueDefault) {
    int n = 0;
    for (const char* word : {"yes", "Yes", "1", "TRUE", "true"}) {
        std::string name = "T" + std::to_string(n++);
        AddItem(name, "App", name, word);
        EXPECT_TRUE(manager_.Filer(name)->ReadBool()) << word;
    }
    for (const char* word : {"False", "no", "0", "", "Fasle", "2", " yes", "on"}) {
        std::string name = "F" + std::to_string(n++);
        AddItem(name, "App", name, word);
        EXPECT_FALSE(manager_.Filer(name)->ReadBool()) << word;
    }
}

TEST_F(SettingsTest, StoredFlagsAreIntegersJudgedByTheirLowestEightBits) {
    ASSERT_TRUE(kt::WriteFileAtomically(
        IniFile(), "[App]\nA=TRUE\nB=2\nC=256\nD=yes\nE=$101\nF=-1\nG=\nH=1\n", 0600));
    struct Case {
        const char* ident;
        bool expected;
    };
    for (Case c : {Case{"A", false}, Case{"B", true}, Case{"C", false}, Case{"D", false},
                   Case{"E", true}, Case{"F", true}, Case{"G", false}, Case{"H", true}}) {
        AddItem(c.ident, "App", c.ident, "True");
        EXPECT_EQ(c.expected, manager_.Filer(c.ident)->ReadBool()) << c.ident;
    }
}

TEST_F(SettingsTest, IntegersAndStringsReadTheirDefaultsAndFallBackToZero) {
    AddItem("Hex", "App", "Hex", "$10");
    AddItem("Word", "App", "Word", "abc");
    AddItem("Text", "App", "Text", "default text");
    EXPECT_EQ(16, manager_.Filer("Hex")->ReadInteger());
    EXPECT_EQ(0, manager_.Filer("Word")->ReadInteger());
    EXPECT_EQ("default text", manager_.Filer("Text")->ReadString());
    manager_.Filer("Text")->WriteString(" C:\\ and \"quotes\" ");
    EXPECT_EQ(" C:\\ and \"quotes\" ", manager_.Filer("Text")->ReadString());
    manager_.Filer("Hex")->WriteInteger(-5);
    EXPECT_EQ(-5, manager_.Filer("Hex")->ReadInteger());
    manager_.Filer("Text")->WriteString("");
    EXPECT_EQ("", manager_.Filer("Text")->ReadString());  // present and empty: not the default

    // The profile API's 2048-byte buffer cuts long values to 2047 bytes.
    manager_.Filer("Text")->WriteString(std::string(3000, 'x'));
    EXPECT_EQ(std::string(2047, 'x'), manager_.Filer("Text")->ReadString());
}

TEST_F(SettingsTest, NamesAreFoundWithoutCaseAndAnUnknownNameIsReported) {
    AddItem("Left", "Bounds", "Left", "0");
    ASSERT_TRUE(kt::WriteFileAtomically(IniFile(), "[Bounds]\nLeft=33\n", 0600));
    kt::TRegFiler* filer = manager_.Filer("left");
    ASSERT_NE(nullptr, filer->Item());
    EXPECT_EQ("Left", filer->Item()->Name);
    EXPECT_EQ(33, filer->ReadInteger());
    EXPECT_TRUE(Boxes().empty());

    filer = manager_.Filer("Width");
    ASSERT_NE(nullptr, filer);
    EXPECT_EQ(nullptr, filer->Item());
    ASSERT_EQ(1u, Boxes().size());
    EXPECT_EQ("[' Width '] is invalid.", Boxes()[0]);
    EXPECT_EQ(0, filer->ReadInteger());
    EXPECT_EQ("", filer->ReadString());
    EXPECT_FALSE(filer->ReadBool());
    filer->WriteInteger(5);
    EXPECT_EQ("[Bounds]\nLeft=33\n", IniText());
    EXPECT_EQ(1u, Boxes().size());
}

TEST_F(SettingsTest, ItemsWithoutSectionOrIdentReadTheirDefaultAndNeverWrite) {
    AddItem("NoSection", "", "Key", "7");
    AddItem("NoIdent", "App", "", "1");
    for (const char* name : {"NoSection", "NoIdent"}) {
        kt::TRegFiler* filer = manager_.Filer(name);
        filer->WriteInteger(99);
        filer->WriteString("x");
        filer->WriteBool(false);
        std::vector<std::string> list{"a"};
        filer->WriteStrings(&list);
        kt::TFont font{"Sans", 10, kt::clRed};
        filer->WriteFont(&font);
    }
    EXPECT_EQ(7, manager_.Filer("NoSection")->ReadInteger());
    EXPECT_TRUE(manager_.Filer("NoIdent")->ReadBool());
    EXPECT_FALSE(std::filesystem::exists(IniFile()));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(SettingsTest, AManagerWithoutAFileNameReportsEveryAccessAndCarriesOn) {
    manager_.SetIniFileName("");
    AddItem("Left", "Bounds", "Left", "12");
    EXPECT_EQ(12, manager_.Filer("Left")->ReadInteger());
    manager_.Filer("Left")->WriteInteger(5);
    ASSERT_EQ(2u, Boxes().size());
    EXPECT_EQ("can not create Inifile object.", Boxes()[0]);
    EXPECT_EQ("can not create Inifile object.", Boxes()[1]);
}

TEST_F(SettingsTest, AnIniWriteTheSystemRefusesIsRaised) {
    const std::string file = dir_ / "missing/folder/settings.ini";
    manager_.SetIniFileName(file);
    AddItem("Left", "Bounds", "Left", "0");
    try {
        manager_.Filer("Left")->WriteInteger(1);
        FAIL() << "nothing raised";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(file + " に書き込めません", e.what());
    }
    // A line break would add lines to the file; it is refused the same way.
    manager_.SetIniFileName(IniFile());
    AddItem("Folder", "App", "SelectFolder", "");
    EXPECT_THROW(manager_.Filer("Folder")->WriteString("a\nLeft=1"), EIniFileException);
    EXPECT_FALSE(std::filesystem::exists(IniFile()));
}

TEST_F(SettingsTest, TheItemTableCopiesAndReplacesItems) {
    AddItem("A", "S", "I", "D");
    kt::TRegItems copy(*manager_.RegItems());
    copy.SetItems(0, kt::TRegItem("B", "S2", "I2", "D2"));
    EXPECT_EQ("A", manager_.RegItems()->Items(0)->Name);
    EXPECT_EQ("I2", copy.Items(0)->Ident);
    EXPECT_EQ(nullptr, copy.Items(1));
    EXPECT_EQ(copy.Items(0), copy.FindItem("b"));
    manager_.SetRegItems(copy);
    EXPECT_EQ("D2", manager_.Filer("B")->ReadString());
}

// A derived manager supplies its own filer through the factory.
class CountingFiler : public kt::TRegFiler {
public:
    using kt::TRegFiler::TRegFiler;
    std::string ReadValue(const std::string& section, const std::string& ident,
                          const std::string& def) override {
        ++reads;
        return kt::TRegFiler::ReadValue(section, ident, def);
    }
    int reads = 0;
};

class CountingManager : public kt::TRegManager {
protected:
    std::unique_ptr<kt::TRegFiler> CreateFiler() override {
        return std::make_unique<CountingFiler>(this);
    }
};

TEST_F(SettingsTest, ADerivedManagerGetsItsOwnFilerOnce) {
    CountingManager manager;
    manager.SetRegType(kt::rtIni);
    manager.SetIniFileName(IniFile());
    manager.RegItems()->Add(kt::TRegItem("Font", "App", "Font", ""));
    kt::TRegFiler* filer = manager.Filer("Font");
    EXPECT_EQ(filer, manager.Filer("Font"));
    auto* counting = dynamic_cast<CountingFiler*>(filer);
    ASSERT_NE(nullptr, counting);
    kt::TFont font;
    filer->ReadFont(&font);  // built on ReadValue: three reads
    EXPECT_EQ(3, counting->reads);
}

}  // namespace
