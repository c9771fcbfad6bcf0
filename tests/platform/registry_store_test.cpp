#include "platform/registry_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/atomic_file.h"
#include "tests/support/temp_folder.h"

namespace {

using kt::ERegistryException;
using kt::TRegistry;

// Points the store at a fresh folder for the length of one test.
class RegistryStore : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        had_ = old != nullptr;
        if (had_) old_ = old;
        setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1);
    }
    void TearDown() override {
        if (had_)
            setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }
    std::string StoreText() {
        std::string text;
        kt::ReadWholeFile(TRegistry::StoreFileName(), text);
        return text;
    }
    // The message of the ERegistryException that `action` raises.
    template <typename F>
    std::string Raised(F action) {
        try {
            action();
        } catch (const ERegistryException& e) {
            return e.what();
        }
        return "(nothing raised)";
    }

    kt::test::TempFolder dir_;
    bool had_ = false;
    std::string old_;
};

TEST_F(RegistryStore, KeysAreCreatedWithTheirParentsAndFoundWithoutCase) {
    TRegistry reg;
    EXPECT_EQ(dir_.Path() + "/KalvoraTrindle/HKEY_CURRENT_USER.reg", TRegistry::StoreFileName());
    EXPECT_FALSE(reg.OpenKey("Software\\Kalvora", false));
    ASSERT_TRUE(reg.OpenKey("Software\\Kalvora", true));
    EXPECT_EQ("Software\\Kalvora", reg.CurrentPath());
    EXPECT_TRUE(reg.KeyExists("\\SOFTWARE"));
    EXPECT_FALSE(reg.KeyExists("App"));
    reg.CreateKey("App");
    EXPECT_TRUE(reg.KeyExists("\\software\\kalvora\\app"));
    ASSERT_TRUE(reg.OpenKey("APP", false));
    EXPECT_EQ("Software\\Kalvora\\App", reg.CurrentPath());

    struct stat st;
    ASSERT_EQ(0, stat(TRegistry::StoreFileName().c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 07777);
    ASSERT_EQ(0, stat((dir_.Path() + "/KalvoraTrindle").c_str(), &st));
    EXPECT_EQ(0700u, st.st_mode & 07777);
}

TEST_F(RegistryStore, TextAndBinaryValuesSurviveInTheFileWhateverTheyHold) {
    const std::string awkward = "line\none \"quoted\" back\\slash \x01 日本語";
    const std::string bytes("\x00\xFF\x10\n", 4);
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Software\\Kalvora\\App", true));
        reg.WriteString("Folder", "/home/me");
        reg.WriteString("Odd \"name\"", awkward);
        reg.WriteString("Empty", "");
        reg.WriteBinaryData("Data", bytes.data(), static_cast<int>(bytes.size()));
        reg.WriteString("folder", "/home/you");  // same value, other case
    }
    TRegistry reg;  // a second object sees only what is in the file
    ASSERT_TRUE(reg.OpenKey("\\Software\\Kalvora\\App", false));
    EXPECT_EQ("/home/you", reg.ReadString("FOLDER"));
    EXPECT_EQ(awkward, reg.ReadString("Odd \"name\""));
    EXPECT_TRUE(reg.ValueExists("Empty"));
    EXPECT_EQ("", reg.ReadString("Empty"));
    EXPECT_FALSE(reg.ValueExists("Missing"));
    EXPECT_EQ("", reg.ReadString("Missing"));
    EXPECT_EQ(-1, reg.GetDataSize("Missing"));
    EXPECT_EQ(10, reg.GetDataSize("Folder"));  // text counts its terminating zero
    ASSERT_EQ(4, reg.GetDataSize("Data"));
    char buffer[4] = {};
    EXPECT_EQ(4, reg.ReadBinaryData("data", buffer, 4));
    EXPECT_EQ(bytes, std::string(buffer, 4));
    EXPECT_EQ(0, reg.ReadBinaryData("Missing", buffer, 4));
}

TEST_F(RegistryStore, ReadingAValueAsTheWrongTypeRaisesTheTypeError) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Kalvora", true));
    reg.WriteBinaryData("Data", "abc", 3);
    reg.WriteString("Text", "abc");
    char buffer[8];
    EXPECT_EQ("'Data' のデータ型が不正です", Raised([&] { reg.ReadString("Data"); }));
    EXPECT_EQ("'Text' のデータ型が不正です",
              Raised([&] { reg.ReadBinaryData("Text", buffer, 8); }));
    EXPECT_EQ("'Data' のデータ型が不正です",
              Raised([&] { reg.ReadBinaryData("Data", buffer, 2); }));
}

TEST_F(RegistryStore, AStoreThatCannotBeWrittenOrReadRaisesTheDesignedTexts) {
    // A plain file where the folder should be: nothing can be created below it.
    std::string blocker = dir_ / "blocked";
    ASSERT_TRUE(kt::WriteFileAtomically(blocker, "x", 0600));
    setenv("XDG_CONFIG_HOME", blocker.c_str(), 1);
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("Software\\Kalvora", true));
    EXPECT_EQ("キー Software\\Kalvora の作成に失敗しました",
              Raised([&] { reg.CreateKey("Software\\Kalvora"); }));
    EXPECT_EQ("'Left' の設定に失敗しました", Raised([&] { reg.WriteString("Left", "1"); }));
    EXPECT_EQ("'Data' の設定に失敗しました", Raised([&] { reg.WriteBinaryData("Data", "", 0); }));

    // A store file that is a folder cannot be read.
    setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1);
    std::filesystem::create_directories(TRegistry::StoreFileName());
    EXPECT_EQ("'Left' の取得に失敗しました", Raised([&] { reg.ReadString("Left"); }));
}

TEST_F(RegistryStore, DamagedLinesArePassedOverAndTheRestIsKept) {
    std::filesystem::create_directories(dir_ / "KalvoraTrindle");
    ASSERT_TRUE(kt::WriteFileAtomically(TRegistry::StoreFileName(),
                                        "[\"Software\\\\Kalvora\"]\n"
                                        "\"Good\"=\"yes\"\n"
                                        "\"Broken=\"no\n"
                                        "\"Bin\"=hex(3):0g\n"
                                        "garbage\n"
                                        "[\"Unclosed\"\n"
                                        "\"Stray\"=\"lost\"\n",
                                        0600));
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Kalvora", false));
    EXPECT_EQ("yes", reg.ReadString("Good"));
    EXPECT_FALSE(reg.ValueExists("Bin"));
    EXPECT_FALSE(reg.KeyExists("\\Unclosed"));
    reg.WriteString("New", "1");
    EXPECT_EQ("1", reg.ReadString("New"));
    EXPECT_EQ("yes", reg.ReadString("Good"));
}

}  // namespace
