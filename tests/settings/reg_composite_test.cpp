#include <QBuffer>
#include <filesystem>

#include "platform/registry_store.h"
#include "settings_fixture.h"

namespace {

using kt::test::SettingsTest;

QByteArray Bytes(int n) {
    QByteArray bytes;
    for (int i = 0; i < n; ++i) bytes.append(static_cast<char>(i * 7 + 1));
    return bytes;
}

QByteArray ReadBack(kt::TRegFiler* filer, const QByteArray& prefix = {}) {
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    buffer.write(prefix);
    filer->ReadStream(&buffer);
    return buffer.data();
}

TEST_F(SettingsTest, ThirtyThreeBytesMakeTwoHexLinesAndComeBack) {
    AddItem("Data", "Bin", "Data", "");
    QByteArray bytes = Bytes(33);
    bytes[0] = static_cast<char>(0xAB);
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    source.seek(20);  // the whole stream is stored, not only what follows the position
    manager_.Filer("Data")->WriteStream(&source);

    const std::string hex = QByteArray(bytes).toHex().toUpper().toStdString();
    EXPECT_EQ(
        "[Bin]\nData_c=2\nData_d0=" + hex.substr(0, 64) + "\nData_d1=" + hex.substr(64) + "\n",
        IniText());
    EXPECT_EQ(2u, hex.substr(64).size());
    EXPECT_EQ("AB", hex.substr(0, 2));
    // Read back at the target's position, after what it already holds.
    EXPECT_EQ("xy" + bytes, ReadBack(manager_.Filer("Data"), "xy"));
}

TEST_F(SettingsTest, AnEmptyStreamLeavesEarlierDataAlone) {
    AddItem("Data", "Bin", "Data", "");
    QByteArray bytes = Bytes(40);
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    manager_.Filer("Data")->WriteStream(&source);
    const std::string before = IniText();
    QBuffer empty;
    empty.open(QIODevice::ReadOnly);
    manager_.Filer("Data")->WriteStream(&empty);
    EXPECT_EQ(before, IniText());
    EXPECT_EQ(bytes, ReadBack(manager_.Filer("Data")));
}

TEST_F(SettingsTest, HexLinesDecodeLeniently) {
    AddItem("Data", "Bin", "Data", "");
    // An odd last digit is a pair of one; a pair that is no number is 0.
    ASSERT_TRUE(
        kt::WriteFileAtomically(IniFile(), "[Bin]\nData_c=2\nData_d0=01zz\nData_d1=F\n", 0600));
    EXPECT_EQ(QByteArray("\x01\x00\x0F", 3), ReadBack(manager_.Filer("Data")));
    // A damaged count stops at the first line that is not there.
    ASSERT_TRUE(kt::WriteFileAtomically(IniFile(), "[Bin]\nData_c=2000000000\nData_d0=41\n", 0600));
    EXPECT_EQ(QByteArray("A"), ReadBack(manager_.Filer("Data")));
}

TEST_F(SettingsTest, AShorterStringListLeavesTheOldKeysButCountsOne) {
    AddItem("History", "App", "History", "");
    std::vector<std::string> three{"first", "", " third "};
    manager_.Filer("History")->WriteStrings(&three);
    std::vector<std::string> list{"stale"};
    manager_.Filer("History")->ReadStrings(&list);
    EXPECT_EQ(three, list);

    std::vector<std::string> one{"only"};
    manager_.Filer("History")->WriteStrings(&one);
    EXPECT_EQ(
        "[App]\nHistory_ItemCount=1\nHistory_Item0=only\nHistory_Item1=\n"
        "History_Item2=\" third \"\n",
        IniText());
    manager_.Filer("History")->ReadStrings(&list);
    EXPECT_EQ(one, list);

    // A count far beyond the stored lines ends at the first missing one.
    ASSERT_TRUE(kt::WriteFileAtomically(
        IniFile(), "[App]\nHistory_ItemCount=2147483647\nHistory_Item0=a\nHistory_Item1=\n", 0600));
    manager_.Filer("History")->ReadStrings(&list);
    EXPECT_EQ((std::vector<std::string>{"a", ""}), list);
}

TEST_F(SettingsTest, FontColoursAreStoredByNameOrAsHex) {
    AddItem("Font", "View", "Font", "");
    kt::TFont red{"IPAPGothic", 11, kt::clRed};
    manager_.Filer("Font")->WriteFont(&red);
    EXPECT_EQ("[View]\nFont_FontName=IPAPGothic\nFont_FontSize=11\nFont_FontColor=clRed\n",
              IniText());
    kt::TFont odd{"Sans", 9, 0x00ABCDEF};
    manager_.Filer("Font")->WriteFont(&odd);
    EXPECT_NE(std::string::npos, IniText().find("Font_FontColor=$00ABCDEF\n"));

    kt::TFont read{"Other", 20, kt::clBlack};
    manager_.Filer("Font")->ReadFont(&read);
    EXPECT_EQ("Sans", read.Name);
    EXPECT_EQ(9, read.Size);
    EXPECT_EQ(0x00ABCDEF, read.Color);
}

TEST_F(SettingsTest, AMissingFontKeepsItsValuesAndABadSizeKeepsTheSize) {
    AddItem("Font", "View", "Font", "");
    kt::TFont font{"Keep", 12, kt::clInfoBk};
    manager_.Filer("Font")->ReadFont(&font);
    EXPECT_EQ("Keep", font.Name);
    EXPECT_EQ(12, font.Size);
    EXPECT_EQ(kt::clInfoBk, font.Color);
    ASSERT_TRUE(kt::WriteFileAtomically(
        IniFile(), "[View]\nFont_FontSize=big\nFont_FontColor=clinfotext\n", 0600));
    manager_.Filer("Font")->ReadFont(&font);
    EXPECT_EQ(12, font.Size);
    EXPECT_EQ(kt::clInfoText, font.Color);
    manager_.Filer("Font")->ReadFont(nullptr);  // no font: nothing happens
}

TEST_F(SettingsTest, AColourThatIsNoColourRaisesAfterNameAndSize) {
    AddItem("Font", "View", "Font", "");
    ASSERT_TRUE(kt::WriteFileAtomically(
        IniFile(), "[View]\nFont_FontName=New\nFont_FontSize=14\nFont_FontColor=reddish\n", 0600));
    kt::TFont font{"Old", 9, kt::clBlack};
    try {
        manager_.Filer("Font")->ReadFont(&font);
        FAIL() << "nothing raised";
    } catch (const kt::EConvertError& e) {
        EXPECT_STREQ("'reddish' は整数ではありません", e.what());
    }
    EXPECT_EQ("New", font.Name);
    EXPECT_EQ(14, font.Size);
    EXPECT_EQ(kt::clBlack, font.Color);
}

class RegistryModeTest : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        manager_.SetRegType(kt::rtReg);
        manager_.SetRegDir("Software\\Kalvora");
    }
};

TEST_F(RegistryModeTest, AnEmptyRegDirIsReportedOnEveryAccess) {
    manager_.SetRegDir("");
    AddItem("Left", "Bounds", "Left", "4");
    AddItem("Data", "Bin", "Data", "");
    EXPECT_EQ(4, manager_.Filer("Left")->ReadInteger());
    manager_.Filer("Left")->WriteInteger(5);
    QByteArray bytes("abc");
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    manager_.Filer("Data")->WriteStream(&source);
    EXPECT_EQ(QByteArray(), ReadBack(manager_.Filer("Data")));
    ASSERT_EQ(4u, Boxes().size());
    for (const std::string& box : Boxes()) EXPECT_EQ("can not create Registry object.", box);
    EXPECT_FALSE(std::filesystem::exists(kt::TRegistry::StoreFileName()));
}

TEST_F(RegistryModeTest, ValuesListsAndBytesLiveUnderRegDir) {
    AddItem("Left", "Bounds", "Left", "0");
    AddItem("History", "App", "History", "");
    AddItem("Data", "Bin", "Data", "");
    EXPECT_EQ(0, manager_.Filer("Left")->ReadInteger());
    manager_.Filer("Left")->WriteInteger(120);
    std::vector<std::string> lines{"a", "b"};
    manager_.Filer("History")->WriteStrings(&lines);
    QByteArray bytes = Bytes(100);
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    manager_.Filer("Data")->WriteStream(&source);

    kt::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Kalvora\\Bounds", false));
    EXPECT_EQ("120", reg.ReadString("Left"));
    ASSERT_TRUE(reg.OpenKey("\\Software\\Kalvora\\Bin", false));
    EXPECT_EQ(100, reg.GetDataSize("Data"));

    EXPECT_EQ(120, manager_.Filer("Left")->ReadInteger());
    std::vector<std::string> read;
    manager_.Filer("History")->ReadStrings(&read);
    EXPECT_EQ(lines, read);
    EXPECT_EQ(bytes, ReadBack(manager_.Filer("Data")));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(RegistryModeTest, AValueOfTheWrongTypeRaisesTheRegistryError) {
    AddItem("Left", "Bounds", "Left", "0");
    AddItem("Bytes", "Bounds", "Left", "");  // the same value, read as bytes
    QByteArray bytes("\x01\x02", 2);
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    manager_.Filer("Bytes")->WriteStream(&source);
    try {
        manager_.Filer("Left")->ReadInteger();
        FAIL() << "nothing raised";
    } catch (const kt::ERegistryException& e) {
        EXPECT_STREQ("'Left' のデータ型が不正です", e.what());
    }
    manager_.Filer("Left")->WriteInteger(3);
    EXPECT_THROW(ReadBack(manager_.Filer("Bytes")), kt::ERegistryException);
}

}  // namespace
