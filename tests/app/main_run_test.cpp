// The batch run over this build's real libraries: the prompts in order with
// their answers, skip and stop, states and progress, the sound behaviour
// where entries change under the run, and archives other tools read back.
#include <sys/stat.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <cstdlib>
#include <map>

#include "app/infile_entry.h"
#include "tests/app/run_fixture.h"
#include "tests/support/run_tool.h"
#include "widgets/kwall_list_view.h"

namespace kt {
namespace {

using test::ReadAll;
using test::Texts;
using test::WriteFile;

const std::string kStart = "圧縮処理を開始します。よろしいですか？";
const std::string kStopped = "処理を中断します。";
const std::string kEnd = "終了しました。";
using test::kToolPath;

class RunTest : public test::ProgramFolderTest {
protected:
    RunTest() {
        InstallRealLibraries();
        Form = std::make_unique<TFormMain>();
        Form->FormPaint();                       // the library check, as at the first paint
        Form->RadioButtonZip->setChecked(true);  // the default settings choose LZH
        Form->RadioButtonZipClick();
        Src = Temp / "src";
        std::filesystem::create_directories(Src);
    }
    ~RunTest() override { Form.reset(); }

    std::string Source(const std::string& name, const std::string& bytes) {
        WriteFile(Src + "/" + name, bytes);
        return Src + "/" + name;
    }
    void List(const std::vector<std::string>& paths) { Form->AddFiles(paths); }
    std::string State(int row) { return Form->KWallListViewInfile->ItemText(row, 2).toStdString(); }
    void Run(std::deque<TModalResult> answers) {
        answers.push_front(mrYes);  // the start question
        Prompts.Answers = std::move(answers);
        Form->ButtonExecClick();
    }
    // The one member of a ZIP archive, as unzip reads it.
    std::string Unzip(const std::string& archive, const std::string& password = "") {
        const std::string out = Temp / "unzipped";
        std::filesystem::remove_all(out);
        std::string cmd = std::string(kToolPath) + "unzip -qq -o ";
        if (!password.empty()) cmd += "-P '" + password + "' ";
        cmd += "'" + archive + "' -d '" + out + "' 2>&1";
        if (std::system(cmd.c_str()) != 0) return "<unzip failed>";
        for (auto& e : std::filesystem::recursive_directory_iterator(out))
            if (e.is_regular_file()) return ReadAll(e.path());
        return "<empty>";
    }
    bool ControlsBack() {
        return Form->ButtonExec->isEnabled() && Form->ButtonOpen->isEnabled() &&
               QApplication::overrideCursor() == nullptr;
    }

    std::unique_ptr<TFormMain> Form;
    std::string Src;
};

TEST_F(RunTest, ZipWithPasswordThenLzhWithoutIt) {
    const std::string a = Source("a.txt", "alpha alpha alpha");
    List({a});
    Form->RadioButtonZip->setChecked(true);
    Form->RadioButtonZipClick();
    Form->EditZipPass->setText("pa ss\\word");
    Run({});
    EXPECT_EQ(Texts(Prompts), (std::vector<std::string>{kStart, kEnd}));
    EXPECT_EQ(State(0), "完了");
    EXPECT_EQ(Unzip(Src + "/a.zip", "pa ss\\word"), "alpha alpha alpha");
    EXPECT_EQ(Unzip(Src + "/a.zip", "wrong"), "<unzip failed>");
    EXPECT_TRUE(ControlsBack());
    EXPECT_EQ(Form->ProgressBar->value(), 0);

    Form->NNotExecClick();  // nothing selected: set the one row back by hand
    Form->SetEntryState(0, esWaiting);
    Form->RadioButtonLzh->setChecked(true);
    Prompts.Asked.clear();
    Run({});
    EXPECT_EQ(Form->ArchiveFile->Options().UserOptions, "");
    EXPECT_EQ(Form->ArchiveFile->CommandLine().find(" -P \""), std::string::npos);
    const std::string out = Temp / "lha";
    std::filesystem::create_directories(out);
    ASSERT_EQ(std::system(
                  (kToolPath + "cd '" + out + "' && lhasa -xq '" + Src + "/a.lzh' >/dev/null 2>&1")
                      .c_str()),
              0);
    EXPECT_EQ(ReadAll(out + "/a.txt"), "alpha alpha alpha");
}

TEST_F(RunTest, PasswordWithDoubleQuoteIsRefusedBeforeAnythingIsPacked) {
    List({Source("a.txt", "x")});
    Form->RadioButtonZip->setChecked(true);
    Form->EditZipPass->setText("ab\"cd");
    Run({});
    ASSERT_EQ(Prompts.Asked.size(), 1u);
    EXPECT_NE(Prompts.Asked[0].Text.find("ダブルクォーテーション"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(Src + "/a.zip"));
    EXPECT_EQ(State(0), "未処理");
}

TEST_F(RunTest, MissingFolderCreateSkipAbort) {
    List({Source("a.txt", "a"), Source("b.txt", "b"), Source("c.txt", "c")});
    Form->RadioButtonSelect->setChecked(true);
    const std::string target = Temp / "out/deep";
    Form->EditSelect->setText(QString::fromStdString(target + "/"));  // one trailing "/" dropped
    const std::string ask = "ディレクトリ(" + target + ")がありません。\r作成しますか？";
    // a: No (skip), b: Abort (stop).
    Run({mrNo, mrOk, mrAbort});
    EXPECT_EQ(Texts(Prompts),
              (std::vector<std::string>{
                  kStart, ask, "ファイル(" + target + "/a.txt)の圧縮処理はスキップします。", ask,
                  kStopped}));
    EXPECT_EQ(Prompts.Asked[1].Buttons, (TMsgDlgButtons{mbYes, mbNo, mbAbort}));
    EXPECT_EQ(State(0), "未処理");
    EXPECT_EQ(State(1), "未処理");
    EXPECT_TRUE(Form->KWallListViewInfile->IsSelected(1));  // the stopped row stays selected
    EXPECT_TRUE(ControlsBack());
    // Again: Yes creates the folder once; every archive lands in it.
    Prompts.Asked.clear();
    Run({mrYes});
    EXPECT_EQ(Texts(Prompts), (std::vector<std::string>{kStart, ask, kEnd}));
    for (const char* n : {"a", "b", "c"}) EXPECT_EQ(Unzip(target + "/" + n + ".zip"), n);
}

TEST_F(RunTest, FolderThatIsAFileLeadsToFailureAndYesToAllOnFailures) {
    List({Source("a.txt", "a"), Source("b.txt", "b")});
    Form->RadioButtonSelect->setChecked(true);
    WriteFile(Temp / "file", "not a folder");
    Form->EditSelect->setText(QString::fromStdString(Temp / "file"));
    const std::string ask = "ディレクトリ(" + (Temp / "file") +
                            ")がファイルとして存在するため圧縮処理ができません。\r続けますか？";
    Run({mrYes, mrYesToAll, mrYes});
    EXPECT_EQ(Texts(Prompts), (std::vector<std::string>{
                                  kStart, ask, "圧縮に失敗しました。\r続けますか？", ask, kEnd}));
    EXPECT_EQ(Prompts.Asked[2].Buttons, (TMsgDlgButtons{mbYes, mbAbort, mbYesToAll}));
    EXPECT_EQ(State(0), "失敗");
    EXPECT_EQ(State(1), "失敗");
    EXPECT_EQ(ReadAll(Temp / "file"), "not a folder");
}

TEST_F(RunTest, OverwriteAnswersYesNoAbort) {
    List({Source("a.txt", "new a"), Source("b.txt", "new b"), Source("c.txt", "new c")});
    WriteFile(Src + "/a.zip", "old");
    WriteFile(Src + "/b.zip", "old");
    WriteFile(Src + "/c.zip", "old");
    auto ask = [&](const char* n) {
        return "ファイル(" + Src + "/" + n + ".zip)が既に存在します。\r上書きしますか？";
    };
    Run({mrYes, mrNo, mrOk, mrAbort});
    EXPECT_EQ(Texts(Prompts),
              (std::vector<std::string>{kStart, ask("a"), ask("b"),
                                        "ファイル(" + Src + "/b.txt)の圧縮処理はスキップします。",
                                        ask("c"), kStopped}));
    EXPECT_EQ(Prompts.Asked[1].Buttons,
              (TMsgDlgButtons{mbYes, mbNo, mbAbort, mbNoToAll, mbYesToAll}));
    EXPECT_EQ(Unzip(Src + "/a.zip"), "new a");
    EXPECT_EQ(ReadAll(Src + "/b.zip"), "old");
    EXPECT_EQ(ReadAll(Src + "/c.zip"), "old");
    EXPECT_EQ((std::vector<std::string>{State(0), State(1), State(2)}),
              (std::vector<std::string>{"完了", "未処理", "未処理"}));
    EXPECT_EQ(Form->ProgressBar->value(),
              1 * TFormMain::kProgressSteps);  // stop keeps the position
}

TEST_F(RunTest, YesToAllAndNoToAllHoldForLaterEntries) {
    List({Source("a.txt", "new a"), Source("b.txt", "new b")});
    WriteFile(Src + "/a.zip", "old");
    WriteFile(Src + "/b.zip", "old");
    Run({mrNoToAll});
    EXPECT_EQ(Prompts.Asked.size(), 3u);  // start, one overwrite prompt, end
    EXPECT_EQ(ReadAll(Src + "/b.zip"), "old");
    EXPECT_EQ(State(1), "未処理");
    Prompts.Asked.clear();
    Run({mrYesToAll});
    EXPECT_EQ(Prompts.Asked.size(), 3u);
    EXPECT_EQ(Unzip(Src + "/a.zip"), "new a");
    EXPECT_EQ(Unzip(Src + "/b.zip"), "new b");
}

TEST_F(RunTest, ASecondSourceOfTheSameArchiveFailsWithItsReasonAndIsNeverAskedToOverwrite) {
    List({Source("a.txt", "text"), Source("a.doc", "doc")});
    const std::string first = Src + "/" + Form->KWallListViewInfile->ItemText(0, 1).toStdString();
    const std::string second = Src + "/" + Form->KWallListViewInfile->ItemText(1, 1).toStdString();
    Run({mrOk, mrYes});
    ASSERT_EQ(Prompts.Asked.size(), 4u) << testing::PrintToString(Texts(Prompts));
    // The reason names both files, then the designed failure prompt.
    EXPECT_NE(Prompts.Asked[1].Text.find(first), std::string::npos) << Prompts.Asked[1].Text;
    EXPECT_NE(Prompts.Asked[1].Text.find(second), std::string::npos) << Prompts.Asked[1].Text;
    EXPECT_EQ(Prompts.Asked[2].Text, "圧縮に失敗しました。\r続けますか？");
    EXPECT_EQ(Prompts.Asked[3].Text, kEnd);
    EXPECT_EQ(Unzip(Src + "/a.zip"), ReadAll(first));
    EXPECT_EQ(State(0), "完了");
    EXPECT_EQ(State(1), "失敗");
}

TEST_F(RunTest, AFileListedTwiceIsDoneOnceWithoutAQuestion) {
    const std::string a = Source("a.txt", "once");
    List({a, a});
    ASSERT_EQ(Form->KWallListViewInfile->ItemCount(), 2);
    Run({});
    EXPECT_EQ(Texts(Prompts), (std::vector<std::string>{kStart, kEnd}));
    EXPECT_EQ(State(0), "完了");
    EXPECT_EQ(State(1), "完了");
    EXPECT_EQ(Unzip(Src + "/a.zip"), "once");
}

TEST_F(RunTest, NamesWithQuotesAndLineBreaksPackAndAFolderInTheWayFailsAlone) {
    // A double quote or a line break in a name is packed like any other
    // name, in both formats, and peers give the file back under that name;
    // a folder where an archive goes fails that entry alone, with its reason.
    const std::vector<std::string> names = {"a\"b.txt", "line\nbreak.txt", "\"quoted\".txt"};
    struct Format {
        bool Zip;
        const char* Ext;
        std::vector<std::string> Readers;  // each extracts ARCHIVE into the current folder
    };
    for (const Format& format :
         {Format{false, "lzh", {"lhasa -xq ARCHIVE", "7z x -y ARCHIVE"}},
          Format{true, "zip", {"unzip -^ -qq ARCHIVE", "7z x -y ARCHIVE"}}}) {
        SCOPED_TRACE(format.Ext);
        std::filesystem::remove_all(Src);
        std::filesystem::create_directories(Src + "/blocked." + format.Ext);
        Form->ClearList();
        std::vector<std::string> sources;
        for (const std::string& name : names) sources.push_back(Source(name, "bytes of " + name));
        sources.push_back(Source("blocked.txt", "b"));
        List(sources);
        Form->RadioButtonZip->setChecked(format.Zip);
        Form->RadioButtonLzh->setChecked(!format.Zip);
        Prompts.Asked.clear();
        Run({mrOk, mrYes});
        const std::vector<std::string> texts = Texts(Prompts);
        ASSERT_EQ(texts.size(), 4u);
        EXPECT_EQ(texts[0], kStart);
        EXPECT_NE(texts[1].find("同じ名前のフォルダ(" + Src + "/blocked." + format.Ext + ")"),
                  std::string::npos)
            << texts[1];
        EXPECT_EQ(texts[3], kEnd);
        for (int row = 0; row < 4; ++row) {
            const std::string name = Form->KWallListViewInfile->ItemText(row, 1).toStdString();
            EXPECT_EQ(State(row), name == "blocked.txt" ? "失敗" : "完了") << name;
        }
        for (const std::string& name : names) {
            const std::string stem = name.substr(0, name.size() - 4);
            const std::string archive = Src + "/" + stem + "." + format.Ext;
            for (const std::string& reader : format.Readers) {
                const std::string out = Temp / "peer";
                std::filesystem::remove_all(out);
                std::filesystem::create_directories(out);
                std::string cmd = reader;
                cmd.replace(cmd.find("ARCHIVE"), 7, test::Quote(archive));
                EXPECT_EQ(
                    std::system(
                        (kToolPath + "cd '" + out + "' && " + cmd + " >/dev/null 2>&1").c_str()),
                    0)
                    << reader << " " << name;
                EXPECT_EQ(ReadAll(out + "/" + name), "bytes of " + name) << reader << " " << name;
            }
        }
    }
}

TEST_F(RunTest, WildcardAndNonUtf8NamesKeepExactlyTheirOwnFileAndBytes) {
    const std::string q = Source("a?.txt", "question");
    Source("ab.txt", "neighbour");
    const std::string odd = Source(std::string("caf\xe9.txt", 8), "latin-1");
    List({q, odd});
    Form->RadioButtonLzh->setChecked(true);
    Run({});
    EXPECT_EQ(Texts(Prompts), (std::vector<std::string>{kStart, kEnd}));
    EXPECT_EQ(
        std::system((kToolPath + "test \"$(bsdtar -tf '" + Src + "/a?.lzh')\" = 'a?.txt'").c_str()),
        0);
    EXPECT_TRUE(std::filesystem::is_regular_file(Src + "/" + std::string("caf\xe9.lzh", 8)));
}

TEST_F(RunTest, TheProgressBarMovesInsideALongEntry) {
    std::string big(48 << 20, '\0');
    std::uint32_t x = 7;
    for (char& c : big) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    List({Source("big.bin", big), Source("small.txt", "s")});
    std::vector<int> seen;
    QObject listener;  // ends the connection before `seen` goes
    QObject::connect(Form->ProgressBar, &QProgressBar::valueChanged, &listener,
                     [&](int v) { seen.push_back(v); });
    Run({});
    EXPECT_EQ(State(0), "完了");
    // Between "nothing done" and "first entry done" the bar stood still
    // nowhere: it showed parts of the large entry.
    int inside = 0;
    for (int v : seen) inside += v > 0 && v < TFormMain::kProgressSteps;
    EXPECT_GT(inside, 0) << testing::PrintToString(seen);
    EXPECT_EQ(Form->ProgressBar->maximum(), 2 * TFormMain::kProgressSteps);
}

TEST_F(RunTest, AFullDiskUnderTheRunKeepsSourcesAndOldArchivesAndLeavesNoTemporary) {
    // The libraries of this test's program folder are loaded afresh, so
    // they read the fault switch now: their first write fails as on a full
    // disk.
    setenv("KT_FAULT_WRITE", "1", 1);
    const std::string a = Source("a.txt", "new text"), b = Source("b.txt", "more");
    WriteFile(Src + "/a.zip", "old zip");
    WriteFile(Src + "/b.lzh", "old lzh");
    List({a, b});
    Run({mrYes, mrYes, mrYes});  // overwrite a.zip; go on after each failure
    Form->NAllSelectClick();
    Form->NNotExecClick();
    Form->RadioButtonLzh->setChecked(true);
    Prompts.Asked.clear();
    Run({mrYes, mrYesToAll, mrYes});  // a fails; b.lzh replaced; b fails
    unsetenv("KT_FAULT_WRITE");
    int failures = 0;
    for (const std::string& t : Texts(Prompts))
        failures += t == "圧縮に失敗しました。\r続けますか？";
    EXPECT_EQ(failures, 2) << "both LZH entries failed and the user was told";
    EXPECT_EQ(State(0), "失敗");
    EXPECT_EQ(State(1), "失敗");
    EXPECT_EQ(ReadAll(Src + "/a.zip"), "old zip");
    EXPECT_EQ(ReadAll(Src + "/b.lzh"), "old lzh");
    EXPECT_EQ(ReadAll(a), "new text");
    EXPECT_EQ(ReadAll(b), "more");
    std::vector<std::string> left;
    for (auto& e : std::filesystem::directory_iterator(Src)) left.push_back(e.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"a.txt", "a.zip", "b.lzh", "b.txt"}));
}

TEST_F(RunTest, FailedReplacementKeepsTheOldArchive) {
    const std::string a = Source("a.txt", "a");
    List({a});
    WriteFile(Src + "/a.zip", "precious old archive");
    std::filesystem::remove(a);  // the source vanished after listing
    Run({mrYes, mrOk, mrYes});
    EXPECT_EQ(Prompts.Asked[2].Text, "圧縮元ファイル(" + a + ")が見つかりません。");
    EXPECT_EQ(Prompts.Asked[3].Text, "圧縮に失敗しました。\r続けますか？");
    EXPECT_EQ(State(0), "失敗");
    EXPECT_EQ(ReadAll(Src + "/a.zip"), "precious old archive");
    for (auto& e : std::filesystem::directory_iterator(Src))
        EXPECT_EQ(e.path().filename().string().rfind(".~kt", 0), std::string::npos) << e.path();
}

TEST_F(RunTest, HiddenSourceIsPackedAndDoneMeansTheArchiveExists) {
    List({Source(".hidden", "secret")});
    Run({});
    EXPECT_EQ(State(0), "完了");
    EXPECT_EQ(Unzip(Src + "/.hidden.zip"), "secret");
}

TEST_F(RunTest, EntriesAllDoneWalkEveryRowAndMakeNothing) {
    List({Source("a.txt", "a"), Source("b.txt", "b")});
    Form->SetEntryState(0, esDone);
    Form->SetEntryState(1, esFailed);
    Run({});
    EXPECT_EQ(Texts(Prompts), (std::vector<std::string>{kStart, kEnd}));
    EXPECT_FALSE(std::filesystem::exists(Src + "/a.zip"));
    EXPECT_FALSE(std::filesystem::exists(Src + "/b.zip"));
    EXPECT_TRUE(Form->KWallListViewInfile->SelectedRows().empty());
}

TEST_F(RunTest, RowsRemovedOrSortedDuringAPromptNeverPackTheWrongFile) {
    List({Source("a.txt", "a"), Source("b.txt", "b"), Source("c.txt", "c")});
    WriteFile(Src + "/a.zip", "old");
    Prompts.OnAsk = [&](const std::string& text) {
        if (text.find("上書き") == std::string::npos) return;
        // While the overwrite prompt for a is open: b goes, the list is
        // sorted the other way round.
        Form->KWallListViewInfile->DeleteItems({1});
        Form->FSortPattern = 1;
        Form->FSortAscent = false;
        Form->SortList();
    };
    Run({mrYes});
    EXPECT_EQ(Unzip(Src + "/a.zip"), "a");
    EXPECT_FALSE(std::filesystem::exists(Src + "/b.zip"));
    EXPECT_EQ(Unzip(Src + "/c.zip"), "c");
    ASSERT_EQ(Form->KWallListViewInfile->ItemCount(), 2);
    EXPECT_EQ(State(0), "完了");
    EXPECT_EQ(State(1), "完了");
}

TEST_F(RunTest, ClosingDuringTheRunStopsAfterTheCurrentEntryThenCloses) {
    List({Source("a.txt", "a"), Source("b.txt", "b")});
    WriteFile(Src + "/a.zip", "old");
    Form->show();
    Prompts.OnAsk = [&](const std::string& text) {
        if (text.find("上書き") != std::string::npos) Form->close();
    };
    Run({mrYes});
    EXPECT_TRUE(Form->isVisible());  // the close waits for the run
    EXPECT_EQ(State(0), "完了");
    EXPECT_EQ(State(1), "未処理");
    EXPECT_FALSE(std::filesystem::exists(Src + "/b.zip"));
    QApplication::processEvents();
    EXPECT_FALSE(Form->isVisible());
    EXPECT_TRUE(Form->ButtonExec->isEnabled());
}

TEST_F(RunTest, ArchiveLayerErrorEndsTheRunWithItsText) {
    std::filesystem::remove(Programs() + "/UNLHA32.DLL");
    FreeLibraries();
    List({Source("a.txt", "a"), Source("b.txt", "b")});
    Form->RadioButtonLzh->setEnabled(true);
    Form->RadioButtonLzh->setChecked(true);
    Run({});
    ASSERT_EQ(Prompts.Asked.size(), 2u);
    EXPECT_NE(Prompts.Asked[1].Text.find("UNLHA32"), std::string::npos) << Prompts.Asked[1].Text;
    EXPECT_EQ(State(0), "失敗");
    EXPECT_EQ(State(1), "未処理");
    EXPECT_TRUE(ControlsBack());
}

TEST_F(RunTest, EmptyListAndEmptyFolderBoxStartNothing) {
    Form->ButtonExecClick();
    EXPECT_TRUE(Prompts.Asked.empty());
    List({Source("a.txt", "a")});
    Form->RadioButtonSelect->setChecked(true);
    Form->EditSelect->setText("");
    Form->ButtonExecClick();
    EXPECT_EQ(Texts(Prompts),
              (std::vector<std::string>{"圧縮ファイル格納先ディレクトリを入力してください。"}));
    Prompts.Asked.clear();
    Form->RadioButtonSelect->setChecked(false);
    Form->RadioButtonInfile->setChecked(true);
    Prompts.Answers = {mrNo};
    Form->ButtonExecClick();
    EXPECT_EQ(Texts(Prompts), (std::vector<std::string>{kStart, kStopped}));
    EXPECT_EQ(Prompts.Asked[0].Buttons, (TMsgDlgButtons{mbYes, mbNo}));
}

}  // namespace
}  // namespace kt

namespace kt {
namespace {

using test::ExtractOne;

class EndToEndTest : public RunTest {};

TEST_F(EndToEndTest, MixedFolderGivesOneArchivePerFileThatOtherToolsRead) {
    std::map<std::string, std::string> files;
    files["日本語の名前.txt"] = "日本語のテキスト\n";
    files["sub/deeper/nested.bin"] = std::string("\x00\x01\x02\xff", 4);
    files["empty.dat"] = "";
    std::string big(50 << 20, '\0');
    std::uint32_t x = 12345;
    for (size_t i = 0; i < big.size(); ++i) {
        x = x * 1103515245u + 12345u;
        // Half of it text-like, half noise.
        big[i] = i < big.size() / 2 ? "abcdefgh ijklmn\n"[(x >> 16) & 15] : char(x >> 24);
    }
    files["big.bin"] = big;
    for (const auto& [name, bytes] : files) Source(name, bytes);
    List({Src});
    ASSERT_EQ(Form->KWallListViewInfile->ItemCount(), 4);

    Form->RadioButtonZip->setChecked(true);
    Form->EditZipPass->setText("秘密 pass");
    Run({});
    Form->NAllSelectClick();
    Form->NNotExecClick();
    Form->RadioButtonLzh->setChecked(true);
    Run({});
    EXPECT_EQ(Prompts.Asked.back().Text, kEnd);

    const std::string out = Temp / "x";
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const std::string stem = Src + "/" + name.substr(0, name.rfind('.'));
        // ZipCrypto keys are made from the password's code page 932 form.
        EXPECT_TRUE(
            ExtractOne("unzip -qq -P \"$(printf '秘密 pass' | iconv -t CP932)\" '" + stem + ".zip'",
                       out) == bytes);
        EXPECT_TRUE(ExtractOne("lhasa -xq '" + stem + ".lzh'", out) == bytes);
        EXPECT_TRUE(ExtractOne("7z x -y '" + stem + ".lzh'", out) == bytes);
    }
}

}  // namespace
}  // namespace kt
