// The window as a person meets it: controls pressed with the mouse, keys,
// mnemonics and shortcuts, and the real message boxes answered by clicking
// their buttons. No handler is called directly here; a control that reaches
// no handler fails these tests.
#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <cstdlib>
#include <functional>
#include <set>

#include "app/infile_entry.h"
#include "platform/foreground_window.h"
#include "tests/app/box_clicker.h"
#include "tests/app/run_fixture.h"
#include "tests/support/run_tool.h"
#include "widgets/kwall_list_view.h"

namespace kt {
namespace {

using test::ExtractOne;
using test::ReadAll;
using test::WriteFile;

const std::string kStart = "圧縮処理を開始します。よろしいですか？";
const std::string kEnd = "終了しました。";
class WindowInputTest : public test::ProgramFolderTest {
protected:
    WindowInputTest() {
        InstallRealLibraries();
        // Send To entries go to this test's own data folder.
        const char* data = getenv("XDG_DATA_HOME");
        if (data != nullptr) FOldData = data;
        setenv("XDG_DATA_HOME", (Temp / "data").c_str(), 1);
        // The program's own message boxes, not the scripted answerer.
        SetPromptService(nullptr);
        Form = std::make_unique<TFormMain>();
        Form->show();
        Form->activateWindow();
        // Mnemonics and shortcuts reach only the active window.
        EXPECT_TRUE(QTest::qWaitForWindowActive(Form.get()));
        QApplication::processEvents();  // the first paint runs the library check
        Src = Temp / "src";
        std::filesystem::create_directories(Src);
    }
    ~WindowInputTest() override {
        Form.reset();
        SetPromptService(&Prompts);
        if (FOldData.empty())
            unsetenv("XDG_DATA_HOME");
        else
            setenv("XDG_DATA_HOME", FOldData.c_str(), 1);
    }

    std::string Source(const std::string& name, const std::string& bytes) {
        WriteFile(Src + "/" + name, bytes);
        return Src + "/" + name;
    }
    std::string State(int row) { return Form->KWallListViewInfile->ItemText(row, 2).toStdString(); }
    void Click(QAbstractButton* b) {
        Pressed.insert(b);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    // A mnemonic "animates" its button: the click comes about 100 ms later,
    // inside the event loop, as it would for a person.
    // `done` tells when the key has had its effect (a busy machine may be
    // slow to fire the click).
    void Alt(Qt::Key key, const std::function<bool()>& done = {}) {
        Activate();
        // The keyboard speaks to the focused control.
        QWidget* focus = QApplication::focusWidget();
        if (focus == nullptr || focus->window() != Form.get()) focus = Form.get();
        QTest::keyClick(focus, key, Qt::AltModifier);
        QTest::qWait(150);
        if (done) {
            EXPECT_TRUE(QTest::qWaitFor(done, 5000)) << "no effect of Alt+" << char(key);
        }
    }
    // A key pressed in a control of the window.
    void Key(QWidget* w, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        Activate();
        w->setFocus();
        QTest::keyClick(w, key, modifiers);
    }
    // The window comes back to the front after a dialog, as the desktop
    // brings it back for a person.
    void Activate() {
        QWidget* focus = QApplication::focusWidget();
        if (QApplication::activeWindow() == Form.get() && focus != nullptr &&
            focus->window() == Form.get() && QGuiApplication::focusWindow() == Form->windowHandle())
            return;
        Form->activateWindow();
        Form->setFocus();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Form.get()));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return QGuiApplication::focusWindow() == Form->windowHandle(); }, 2000));
    }

    std::unique_ptr<TFormMain> Form;
    std::string Src;
    std::set<QAbstractButton*> Pressed;

private:
    std::string FOldData;
};

TEST_F(WindowInputTest, ZipBatchWithPasswordIntoAFolderToBeCreatedByMouse) {
    const std::string a = Source("report.txt", std::string(300000, 'r') + "end");
    const std::string b = Source("日本語.bin", std::string("\x00\x01\xfe\xff", 4));
    Form->AddFiles({a, b});
    Click(Form->RadioButtonZip);
    Click(Form->RadioButtonSelect);
    const std::string target = Temp / "out/new";
    Form->EditSelect->clear();
    QTest::keyClicks(Form->EditSelect, QString::fromStdString(target));
    Form->EditZipPass->clear();
    QTest::keyClicks(Form->EditZipPass, "s3cret pw");
    EXPECT_EQ(Form->LabelPassLen->text(), " [9]");

    test::TBoxClicker boxes;
    boxes.Script = {"はい(&Y)", "はい(&Y)", "OK"};
    Click(Form->ButtonExec);
    EXPECT_EQ(boxes.Problems, std::vector<std::string>{});
    EXPECT_EQ(boxes.Texts,
              (std::vector<std::string>{
                  kStart, "ディレクトリ(" + target + ")がありません。\n作成しますか？", kEnd}));
    EXPECT_EQ(State(0), "完了");
    EXPECT_EQ(State(1), "完了");
    EXPECT_TRUE(Form->ButtonExec->isEnabled());
    EXPECT_EQ(Form->ProgressBar->value(), 0);

    const std::string out = Temp / "x";
    EXPECT_TRUE(ExtractOne("unzip -qq -P 's3cret pw' '" + target + "/report.zip'", out) ==
                ReadAll(a));
    EXPECT_TRUE(ExtractOne("7z x -y -p's3cret pw' '" + target + "/日本語.zip'", out) == ReadAll(b));
    EXPECT_EQ(ExtractOne("unzip -qq -P wrong '" + target + "/report.zip'", out),
              "<extract failed>");
}

TEST_F(WindowInputTest, LzhBatchByMnemonicsReplacesExistingArchivesOnYesToAll) {
    const std::string a = Source("a.txt", "alpha\n"), b = Source("b.txt", "bravo\n"),
                      c = Source("c.txt", "c\n");
    WriteFile(Src + "/a.lzh", "old a");
    WriteFile(Src + "/b.lzh", "old b");
    Form->AddFiles({a, b, c});
    Click(Form->RadioButtonZip);
    Click(Form->RadioButtonSelect);
    Alt(Qt::Key_L, [&] { return Form->RadioButtonLzh->isChecked(); });  // LZH(&L)
    ASSERT_TRUE(Form->RadioButtonLzh->isChecked());
    Alt(Qt::Key_I,
        [&] { return Form->RadioButtonInfile->isChecked(); });  // 各圧縮元ファイルの場所に格納(&I)
    ASSERT_TRUE(Form->RadioButtonInfile->isChecked());

    test::TBoxClicker boxes;
    boxes.Script = {"はい(&Y)", "すべてはい(&A)", "OK"};
    Alt(Qt::Key_R, [&] { return boxes.Texts.size() == 3; });  // 処理(&R)
    EXPECT_EQ(boxes.Problems, std::vector<std::string>{});
    ASSERT_EQ(boxes.Texts.size(), 3u);
    EXPECT_EQ(boxes.Texts[1], "ファイル(" + Src + "/a.lzh)が既に存在します。\n上書きしますか？");
    const std::string out = Temp / "x";
    for (const std::string& s : {a, b, c}) {
        const std::string archive = s.substr(0, s.size() - 4) + ".lzh";
        EXPECT_EQ(ExtractOne("lhasa -xq '" + archive + "'", out), ReadAll(s)) << archive;
        EXPECT_EQ(ExtractOne("7z x -y '" + archive + "'", out), ReadAll(s)) << archive;
    }
}

// Two sources of one archive name: the second fails with its reason in one
// box and the failure prompt follows; no overwrite question is asked whose
// answer would be overruled.
TEST_F(WindowInputTest, SameStemSourcesShowTheReasonAndTheFailurePromptOnly) {
    const std::string t = Source("a.txt", "text\n"), d = Source("a.doc", "doc\n");
    Form->AddFiles({t, d});
    Click(Form->RadioButtonZip);
    Click(Form->RadioButtonInfile);
    test::TBoxClicker boxes;
    boxes.Script = {"はい(&Y)", "OK", "はい(&Y)", "OK"};
    Click(Form->ButtonExec);
    EXPECT_EQ(boxes.Problems, std::vector<std::string>{});
    const std::string first = Src + "/" + Form->KWallListViewInfile->ItemText(0, 1).toStdString();
    const std::string second = Src + "/" + Form->KWallListViewInfile->ItemText(1, 1).toStdString();
    EXPECT_EQ(boxes.Texts,
              (std::vector<std::string>{kStart,
                                        "圧縮ファイル(" + Src + "/a.zip)は今回の処理でファイル(" +
                                            first + ")から作成したため、\nファイル(" + second +
                                            ")の圧縮で上書きしません。",
                                        "圧縮に失敗しました。\n続けますか？", kEnd}));
    EXPECT_EQ(State(0), "完了");
    EXPECT_EQ(State(1), "失敗");
    EXPECT_EQ(ExtractOne("unzip -qq '" + Src + "/a.zip'", Temp / "x"), ReadAll(first));
}

// A folder dropped again after its run holds the first run's archive: that
// archive is passed over with its reason and never packed into itself.
TEST_F(WindowInputTest, AFolderPackedTwicePassesOverItsOwnArchive) {
    Source("a.txt", "alpha\n");
    Form->AddFiles({Src});
    Click(Form->RadioButtonZip);
    Click(Form->RadioButtonInfile);
    {
        test::TBoxClicker boxes;
        boxes.Script = {"はい(&Y)", "OK"};
        Click(Form->ButtonExec);
        EXPECT_EQ(boxes.Problems, std::vector<std::string>{});
    }
    Form->ClearList();
    Form->AddFiles({Src});
    ASSERT_EQ(Form->KWallListViewInfile->ItemCount(), 2);
    test::TBoxClicker boxes;
    boxes.Script = {"はい(&Y)", "はい(&Y)", "OK", "OK"};
    Click(Form->ButtonExec);
    EXPECT_EQ(boxes.Problems, std::vector<std::string>{});
    EXPECT_EQ(boxes.Texts,
              (std::vector<std::string>{
                  kStart, "ファイル(" + Src + "/a.zip)が既に存在します。\n上書きしますか？",
                  "ファイル(" + Src +
                      "/a.zip)は作成する圧縮ファイルそのものであるため、圧縮処理はスキップします。",
                  kEnd}));
    EXPECT_EQ(State(0), "完了");    // a.txt
    EXPECT_EQ(State(1), "未処理");  // a.zip, as a skipped entry
    EXPECT_EQ(test::RunTool(test::kToolPath + "unzip -Z1 " + test::Quote(Src + "/a.zip")).Out,
              "a.txt\n");
}

TEST_F(WindowInputTest, ReturnOnTheFocusedRunButtonAndAbortStop) {
    Form->AddFiles({Source("a.txt", "a")});
    WriteFile(Src + "/a.zip", "old");
    Click(Form->RadioButtonZip);
    Form->ButtonExec->setFocus();
    test::TBoxClicker boxes;
    boxes.Script = {"はい(&Y)", "中止(&A)", "OK"};
    QTest::keyClick(Form->ButtonExec, Qt::Key_Space);
    EXPECT_EQ(boxes.Problems, std::vector<std::string>{});
    ASSERT_EQ(boxes.Texts.size(), 3u);
    EXPECT_EQ(boxes.Texts[2], "処理を中断します。");
    EXPECT_EQ(ReadAll(Src + "/a.zip"), "old");
    EXPECT_EQ(State(0), "未処理");
}

// Every control a person can press, and every key: each must reach its
// handler, seen by what the handler does.
TEST_F(WindowInputTest, EveryControlMnemonicAndShortcutReachesItsHandler) {
    TKWallListView* list = Form->KWallListViewInfile;
    auto fill = [&] {
        Form->ClearList();
        Form->AddFiles({Source("one.txt", "1"), Source("two.txt", "2")});
    };

    // Option radio buttons, by mouse and by mnemonic.
    Click(Form->RadioButtonSelect);
    EXPECT_TRUE(Form->EditSelect->isEnabled());
    Click(Form->RadioButtonInfile);
    EXPECT_FALSE(Form->EditSelect->isEnabled());
    Alt(Qt::Key_S, [&] { return Form->RadioButtonSelect->isChecked(); });
    EXPECT_TRUE(Form->SpeedButtonSelect->isEnabled());
    Alt(Qt::Key_I, [&] { return Form->RadioButtonInfile->isChecked(); });
    EXPECT_FALSE(Form->SpeedButtonSelect->isEnabled());
    Click(Form->RadioButtonLzh);
    EXPECT_FALSE(Form->EditZipPass->isEnabled());
    Click(Form->RadioButtonZip);
    EXPECT_TRUE(Form->EditZipPass->isEnabled());
    Alt(Qt::Key_L, [&] { return Form->RadioButtonLzh->isChecked(); });
    EXPECT_FALSE(Form->EditZipPass->isEnabled());
    Alt(Qt::Key_Z, [&] { return Form->RadioButtonZip->isChecked(); });
    EXPECT_TRUE(Form->RadioButtonZip->isChecked());
    EXPECT_TRUE(Form->EditZipPass->isEnabled());
    QTest::keyClicks(Form->EditZipPass, "abc");
    EXPECT_EQ(Form->LabelPassLen->text(), " [3]");
    // The group boxes' mnemonics move the focus into their group.
    Alt(Qt::Key_F,
        [&] { return Form->GroupBoxFolderInfo->isAncestorOf(QApplication::focusWidget()); });
    EXPECT_TRUE(Form->GroupBoxFolderInfo->isAncestorOf(QApplication::focusWidget()));
    Alt(Qt::Key_A,
        [&] { return Form->GroupBoxArcFormat->isAncestorOf(QApplication::focusWidget()); });
    EXPECT_TRUE(Form->GroupBoxArcFormat->isAncestorOf(QApplication::focusWidget()));

    // Buttons that open dialogs: the dialog appears (and is closed).
    {
        test::TBoxClicker boxes;
        Alt(Qt::Key_S, [&] { return Form->SpeedButtonSelect->isEnabled(); });
        Click(Form->SpeedButtonSelect);
        Alt(Qt::Key_O, [&] { return boxes.Dialogs.size() == 2; });
        Click(Form->ButtonOpen);
        EXPECT_EQ(boxes.Dialogs.size(), 3u) << "folder dialog once, open dialog twice";
    }

    // 処理(&R) by mouse and by mnemonic: the start question appears.
    Alt(Qt::Key_I, [&] { return Form->RadioButtonInfile->isChecked(); });
    fill();
    for (int way = 0; way < 2; ++way) {
        test::TBoxClicker boxes;
        boxes.Script = {"いいえ(&N)", "OK"};
        if (way == 0)
            Click(Form->ButtonExec);
        else
            Alt(Qt::Key_R, [&] { return boxes.Texts.size() == 2; });
        EXPECT_EQ(boxes.Texts, (std::vector<std::string>{kStart, "処理を中断します。"})) << way;
    }

    // The list's context menu shortcuts, with the focus in the list.
    Key(list, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list->SelectedRows().size(), 2u);
    Key(list, Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(State(0), "完了");
    EXPECT_EQ(State(1), "完了");
    Key(list, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(State(0), "未処理");
    Key(list, Qt::Key_Delete);
    EXPECT_EQ(list->ItemCount(), 0);
    // The same items from the menu itself.
    fill();
    for (QAction* a : {Form->NAllSelect, Form->NExecEnd}) {
        QTimer::singleShot(50, [a] {
            if (QMenu* m = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                QRect r = m->actionGeometry(a);
                QTest::mouseClick(m, Qt::LeftButton, {}, r.center());
            }
        });
        Form->PopupMenuListView->exec(list->mapToGlobal(QPoint(10, 30)));
    }
    EXPECT_EQ(State(1), "完了");

    // クリア(&C) by mnemonic and by mouse.
    Alt(Qt::Key_C, [&] { return list->ItemCount() == 0; });
    EXPECT_EQ(list->ItemCount(), 0);
    fill();
    Click(Form->ButtonListClear);
    EXPECT_EQ(list->ItemCount(), 0);

    // 設定(&T) toggles the Send To entry both ways.
    const QString before = Form->ButtonSendEntry->text();
    {
        test::TBoxClicker boxes;
        boxes.Script = {"はい(&Y)", "OK", "はい(&Y)", "OK"};
        Click(Form->ButtonSendEntry);
        EXPECT_NE(Form->ButtonSendEntry->text(), before);
        Alt(Qt::Key_T, [&] { return Form->ButtonSendEntry->text() == before; });
        EXPECT_EQ(Form->ButtonSendEntry->text(), before);
    }

    // ヘルプ(&H): a test program has no help page beside it, which is
    // reported (a present one would be handed to the browser).
    ASSERT_FALSE(std::filesystem::exists(Form->FHelpFile));
    for (int way = 0; way < 2; ++way) {
        test::TBoxClicker boxes;
        boxes.Script = {"OK"};
        if (way == 0)
            Click(Form->SpeedButtonHelp);
        else
            Alt(Qt::Key_H, [&] { return boxes.Texts.size() == 1; });
        EXPECT_EQ(boxes.Texts, std::vector<std::string>{"ヘルプファイル " + Form->FHelpFile +
                                                        " が見つかりません。"});
    }

    // Nothing pressable was left out of this walk.
    for (QAbstractButton* b : Form->findChildren<QAbstractButton*>()) {
        if (b->isVisibleTo(Form.get()) && !Pressed.count(b) && b != Form->ButtonEnd)
            ADD_FAILURE() << "not pressed by this test: " << b->text().toStdString();
    }
    Pressed.insert(Form->ButtonEnd);

    // 終了(&X) closes the window, by mnemonic and by mouse.
    ASSERT_TRUE(Form->isVisible());
    Alt(Qt::Key_X, [&] { return !Form->isVisible(); });
    EXPECT_FALSE(Form->isVisible());
    Form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    Click(Form->ButtonEnd);
    EXPECT_FALSE(Form->isVisible());
}

// A library that asks for the window (the TAR driver does, after each
// command) brings it to the front through the window's handle.
TEST_F(WindowInputTest, ForegroundRequestRaisesTheWindow) {
    ASSERT_NE(Form->FWindowHandle, nullptr);
    Form->showMinimized();
    QApplication::processEvents();
    EXPECT_TRUE(SetForegroundWindow(Form->FWindowHandle));
    QApplication::processEvents();
    EXPECT_FALSE(Form->isMinimized());
}

}  // namespace
}  // namespace kt
