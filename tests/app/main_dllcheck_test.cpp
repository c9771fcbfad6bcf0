// The library check: where libraries are looked for, what each combination
// switches off, the hints, the password flag and the one message when
// nothing is usable.
#include <QLabel>
#include <QPushButton>

#include "tests/app/run_fixture.h"

namespace kt {
namespace {

using test::ProgramFolderTest;
using test::WriteFile;

class DllCheckTest : public ProgramFolderTest {
protected:
    // Empty files stand for the libraries: the check only looks for names.
    void Put(const std::string& folder, std::initializer_list<const char*> names) {
        for (const char* n : names) WriteFile(folder + "/" + n, "");
    }
    QString U(const char* s) { return QString::fromUtf8(s); }
};

TEST_F(DllCheckTest, EveryLibraryInTheProgramFolderOnlyLeavesEverythingUsable) {
    Put(Programs(), {"UNLHA32.DLL", "ZIP32J.DLL", "ZIP32.DLL"});
    TFormMain f;
    EXPECT_TRUE(f.CheckArchiverDlls());
    EXPECT_EQ(f.LabelLzhMsg->text(), "");
    EXPECT_EQ(f.LabelZipMsg->text(), "");
    EXPECT_TRUE(f.RadioButtonLzh->isEnabled());
    EXPECT_TRUE(f.RadioButtonZip->isEnabled());
    EXPECT_TRUE(f.FPassEnabled);
    EXPECT_TRUE(f.EditZipPass->isEnabled());
    EXPECT_EQ(f.EditZipPass->toolTip(),
              U("ZIP形式で圧縮する場合のみ指定できます（全ファイルで共通）"));
    EXPECT_TRUE(Prompts.Asked.empty());
}

TEST_F(DllCheckTest, PathFoldersAreCutAtColonsAndTakenAsWritten) {
    const std::string a = Temp / "a", b = Temp / "b", quoted = Temp / "q";
    Put(b, {"UNLHA32.DLL"});                   // the last folder, without trailing "/"
    Put(quoted, {"ZIP32J.DLL", "ZIP32.DLL"});  // only reachable through a quoted piece
    std::filesystem::create_directories(a);
    setenv("PATH", (a + "/::\"" + quoted + "\":" + b).c_str(), 1);
    TFormMain f;
    EXPECT_TRUE(f.CheckArchiverDlls());  // LZH found; ZIP not, through the quotes
    EXPECT_EQ(f.LabelLzhMsg->text(), "");
    EXPECT_TRUE(f.RadioButtonLzh->isEnabled());
    EXPECT_EQ(f.LabelZipMsg->text(), U("必要なDLLが見つかりません"));
}

struct TZipRow {
    std::vector<const char*> Names;
    const char* Caption;
    const char* Hint;
    bool Pass;
};

TEST_F(DllCheckTest, ZipTableRowsAndPasswordFlag) {
    const TZipRow rows[] = {
        {{"ZIP32J.DLL", "IZIP32J.DLL"}, "", "", false},
        {{"ZIP32J.DLL", "ZCRYPT32.DLL"},
         "必要なDLLが見つかりません",
         "ZIP32.DLL または IZIP32J.DLL をインストールしないと圧縮できません。",
         true},
        {{"ZIP32.DLL"},
         "ZIP32J.DLLが見つかりません",
         "ZIP32J.DLL をインストールしないと圧縮できません。",
         true},
        {{},
         "必要なDLLが見つかりません",
         "ZIP32J.DLL および、ZIP32.DLL または IZIP32J.DLL をインストールしないと圧縮できません。",
         false},
    };
    for (const TZipRow& row : rows) {
        std::filesystem::remove_all(Programs());
        std::filesystem::create_directories(Programs());
        WriteFile(Programs() + "/UNLHA32.DLL", "");
        for (const char* n : row.Names) WriteFile(Programs() + "/" + n, "");
        TFormMain f;
        f.CheckArchiverDlls();
        SCOPED_TRACE(row.Caption);
        EXPECT_EQ(f.LabelZipMsg->text(), U(row.Caption));
        EXPECT_EQ(f.LabelZipMsg->toolTip(), U(row.Hint));
        const bool usable = *row.Caption == 0;
        EXPECT_EQ(f.RadioButtonZip->isEnabled(), usable);
        if (!usable) {
            EXPECT_TRUE(f.RadioButtonLzh->isChecked());
        }
        EXPECT_EQ(f.FPassEnabled, row.Pass);
        EXPECT_EQ(f.LabelZipPass->isEnabled(), row.Pass);
        EXPECT_EQ(f.LabelPassLen->isEnabled(), row.Pass);
        if (!row.Pass) {
            const QString hint = U(
                "ZIP32.DLL または ZCRYPT32.DLL をインストールしないとパスワードは設定できません。");
            EXPECT_EQ(f.LabelZipPass->toolTip(), hint);
            EXPECT_EQ(f.EditZipPass->toolTip(), hint);
            EXPECT_EQ(f.LabelPassLen->toolTip(), hint);
        }
        EXPECT_TRUE(f.ButtonExec->isEnabled());
    }
}

TEST_F(DllCheckTest, LzhMissingChecksZip) {
    Put(Programs(), {"ZIP32J.DLL", "ZIP32.DLL"});
    TFormMain f;
    f.RadioButtonLzh->setChecked(true);
    f.CheckArchiverDlls();
    EXPECT_EQ(f.LabelLzhMsg->text(), U("UNLHA32.DLLが見つかりません"));
    EXPECT_EQ(f.LabelLzhMsg->toolTip(), U("UNLHA32.DLL をインストールしないと圧縮できません。"));
    EXPECT_FALSE(f.RadioButtonLzh->isEnabled());
    EXPECT_TRUE(f.RadioButtonZip->isChecked());
}

TEST_F(DllCheckTest, NothingUsableTurnsTheRunOffWithOneMessageOncePerStart) {
    TFormMain f;
    f.show();
    // The first paint runs the check; later paints do not repeat it.
    for (int i = 0; i < 5; ++i) {
        f.repaint();
        QApplication::processEvents();
    }
    EXPECT_TRUE(f.FDllChecked);
    ASSERT_EQ(Prompts.Asked.size(), 1u);
    EXPECT_EQ(Prompts.Asked[0].Text, "必要なDLLがインストールされていないと使用できません。。。");
    EXPECT_EQ(Prompts.Asked[0].Buttons, TMsgDlgButtons{mbOK});
    EXPECT_FALSE(f.ButtonExec->isEnabled());
    EXPECT_FALSE(f.RadioButtonLzh->isEnabled());
    EXPECT_FALSE(f.RadioButtonZip->isEnabled());
    EXPECT_TRUE(f.RadioButtonLzh->isChecked());
    EXPECT_FALSE(f.EditZipPass->isEnabled());
    f.FormPaint();
    EXPECT_EQ(Prompts.Asked.size(), 1u);
}

}  // namespace
}  // namespace kt
