// The input list of the main window: adding by drop, dialog and command
// line, directory texts, sorting with its marks, the context menu and the
// entry states.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QDropEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "app/infile_entry.h"
#include "app/main_window.h"
#include "platform/qt/prompt.h"
#include "tests/support/temp_folder.h"
#include "tests/widgets/ensure_qt_app.h"
#include "widgets/drop_dst.h"
#include "widgets/kwall_list_view.h"

namespace kt {
namespace {

namespace fs = std::filesystem;

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

struct TRow {
    std::string Dir, Name, State;
    bool operator==(const TRow&) const = default;
};

std::ostream& operator<<(std::ostream& o, const TRow& r) {
    return o << "{" << r.Dir << " | " << r.Name << " | " << r.State << "}";
}

class MainListTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureQtApp();
        root = fs::canonical(tmp.Path()).string();
    }

    TKWallListView* List() { return form->KWallListViewInfile; }

    std::vector<TRow> Rows() {
        std::vector<TRow> rows;
        for (int r = 0; r < List()->ItemCount(); ++r) {
            rows.push_back({List()->ItemText(r, 0).toStdString(),
                            List()->ItemText(r, 1).toStdString(),
                            List()->ItemText(r, 2).toStdString()});
        }
        return rows;
    }
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (const TRow& r : Rows()) names.push_back(r.Name);
        return names;
    }
    const TInfileEntry& Entry(int row) {
        return *static_cast<const TInfileEntry*>(List()->ItemData(row));
    }
    std::vector<std::string> Captions() {
        std::vector<std::string> c;
        for (int i = 0; i < List()->ColumnCount(); ++i)
            c.push_back(List()->Column(i).Caption.toStdString());
        return c;
    }
    void ClickHeader(int column) { emit List()->horizontalHeader()->sectionClicked(column); }

    // Drops `paths` on the list as the file manager would.
    void Drop(const std::vector<std::string>& paths) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const std::string& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p));
        mime.setUrls(urls);
        QWidget* viewport = List()->viewport();
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
    }

    // After every bulk operation the brackets are closed again.
    void ExpectIdle() {
        EXPECT_EQ(form->ProgressBar->value(), 0);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_FALSE(List()->Updating());
        EXPECT_TRUE(List()->updatesEnabled());
        EXPECT_EQ(form->LabelFileNum->text().toStdString(),
                  "（ファイル数：" + std::to_string(List()->ItemCount()) + "）");
    }

    // Rows added one by one, as the run's own tests and these do.
    void AddEntries(const std::vector<std::string>& paths) {
        for (const std::string& p : paths) form->AddEntry(p);
        form->ShowFileCount();
        form->ProgressBar->setValue(0);  // AddEntry alone only steps it
    }

    void MakeForm(std::vector<std::string> params = {}) {
        form = std::make_unique<TFormMain>(std::move(params));
    }

    TScriptedAnswerer prompts;
    test::TempFolder tmp;
    std::string root;
    std::unique_ptr<TFormMain> form;
};

TEST_F(MainListTest, DroppedFolderAddsEveryFileBelowItHiddenOnesIncluded) {
    fs::create_directories(root + "/d/sub/deeper");
    fs::create_directories(root + "/d/empty");
    Touch(root + "/d/a.txt");
    Touch(root + "/d/.hidden");
    Touch(root + "/d/sub/b.txt");
    Touch(root + "/d/sub/deeper/c.txt");
    MakeForm();
    form->FSortAscent = true;
    Drop({root + "/d"});
    // Sorted by directory, ascending; rows of one folder keep scan order,
    // so compare as sets per folder.
    std::vector<TRow> rows = Rows();
    ASSERT_EQ(rows.size(), 4u);
    std::sort(rows.begin(), rows.end(), [](auto& a, auto& b) { return a.Name < b.Name; });
    EXPECT_EQ(rows[0], (TRow{root + "/d", ".hidden", "未処理"}));
    EXPECT_EQ(rows[1], (TRow{root + "/d", "a.txt", "未処理"}));
    EXPECT_EQ(rows[2], (TRow{root + "/d/sub", "b.txt", "未処理"}));
    EXPECT_EQ(rows[3], (TRow{root + "/d/sub/deeper", "c.txt", "未処理"}));
    EXPECT_EQ(List()->ItemText(3, 0).toStdString(), root + "/d/sub/deeper");
    EXPECT_EQ(Entry(3).Path(), root + "/d/sub/deeper/c.txt");
    EXPECT_EQ(Entry(3).State, esWaiting);
    EXPECT_EQ(Entry(3).Dir(), root + "/d/sub/deeper");
    EXPECT_EQ(Entry(3).Name(), "c.txt");
    EXPECT_TRUE(prompts.Asked.empty());
    ExpectIdle();
}

// Sorted by folder, each folder's files show in name order (the keys'
// order), whatever order the folder keeps them in.
TEST_F(MainListTest, AFoldersFilesShowInNameOrderWhenSortedByFolder) {
    fs::create_directories(root + "/d/sub");
    const std::vector<std::string> made = {"m.txt", "B.txt", "z",     "a.txt", "_u",
                                           "c2",    "C1",    "b.doc", "0"};
    for (const std::string& n : made) Touch(root + "/d/" + n);
    Touch(root + "/d/sub/y");
    Touch(root + "/d/sub/x");
    MakeForm();
    form->FSortAscent = true;
    Drop({root + "/d"});
    EXPECT_EQ(Names(), (std::vector<std::string>{"0", "a.txt", "b.doc", "B.txt", "C1", "c2",
                                                 "m.txt", "z", "_u", "x", "y"}));
}

// The folder is dropped as an unprivileged user would (root reads any
// folder): it is named in the one box about paths that add nothing.
TEST_F(MainListTest, AnUnreadableFolderIsNamedAndAddsNothing) {
    fs::create_directories(root + "/locked");
    Touch(root + "/locked/secret.txt");
    Touch(root + "/ok.txt");
    ASSERT_EQ(0, chmod(tmp.Path().c_str(), 0777));
    ASSERT_EQ(0, chmod(root.c_str(), 0777));
    ASSERT_EQ(0, chmod((root + "/locked").c_str(), 0));
    MakeForm();
    const bool root_user = geteuid() == 0;
    if (root_user) {
        ASSERT_EQ(0, setresgid(65534, 65534, 0));
        ASSERT_EQ(0, setresuid(65534, 65534, 0));
    }
    Drop({root + "/locked", root + "/ok.txt"});
    if (root_user) {
        ASSERT_EQ(0, setresuid(0, 0, 0));
        ASSERT_EQ(0, setresgid(0, 0, 0));
    }
    chmod((root + "/locked").c_str(), 0755);
    EXPECT_EQ(Names(), std::vector<std::string>{"ok.txt"});
    ASSERT_EQ(prompts.Asked.size(), 1u);
    EXPECT_EQ(
        prompts.Asked[0].Text,
        "次のファイルは追加できません（通常のファイルまたは読み取れるフォルダではありません）。\r" +
            root + "/locked");
}

TEST_F(MainListTest, TheSameFileTwiceGivesTwoRows) {
    Touch(root + "/same.txt");
    MakeForm();
    Drop({root + "/same.txt"});
    Drop({root + "/same.txt"});
    EXPECT_EQ(Names(), (std::vector<std::string>{"same.txt", "same.txt"}));
    ExpectIdle();
}

TEST_F(MainListTest, AFifoInADroppedFolderIsPassedOverAndTheAddFinishes) {
    fs::create_directories(root + "/d");
    Touch(root + "/d/file.txt");
    ASSERT_EQ(::mkfifo((root + "/d/pipe").c_str(), 0600), 0);
    fs::create_directory_symlink(root, root + "/d/loop");
    MakeForm();
    Drop({root + "/d"});
    EXPECT_EQ(Names(), std::vector<std::string>{"file.txt"});
    EXPECT_TRUE(prompts.Asked.empty());
    ExpectIdle();
}

TEST_F(MainListTest, APathGivenDirectlyThatCannotBeListedIsReportedOnceAfterTheOthers) {
    Touch(root + "/one.txt");
    Touch(root + "/two.txt");
    ASSERT_EQ(::mkfifo((root + "/pipe").c_str(), 0600), 0);
    MakeForm();
    int rowsWhenAsked = -1;
    prompts.Answers = {};
    form->AddFiles({root + "/one.txt", root + "/pipe", root + "/missing", root + "/two.txt"});
    rowsWhenAsked = List()->ItemCount();
    ASSERT_EQ(prompts.Asked.size(), 1u);
    EXPECT_NE(prompts.Asked[0].Text.find(root + "/pipe"), std::string::npos);
    EXPECT_EQ(prompts.Asked[0].Text.find("missing"), std::string::npos);
    EXPECT_EQ(prompts.Asked[0].Buttons, TMsgDlgButtons{mbOK});
    EXPECT_EQ(rowsWhenAsked, 2);
    ExpectIdle();
}

TEST_F(MainListTest, CommandLinePathsAreListedAbsoluteAndSortedBeforeTheFirstPaint) {
    fs::create_directories(root + "/folder/inner");
    Touch(root + "/b-file.txt");
    Touch(root + "/a-file.txt");
    Touch(root + "/folder/x.txt");
    Touch(root + "/folder/inner/y.txt");
    const fs::path old = fs::current_path();
    fs::current_path(root);
    // Relative paths, as a shell passes them.
    MakeForm({"b-file.txt", "./a-file.txt", "folder"});
    fs::current_path(old);
    ASSERT_FALSE(form->isVisible());  // nothing painted yet
    // Sorted by directory in the direction the settings give; the two files
    // of the root compare equal and keep their command-line order.
    std::vector<TRow> rows = Rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(form->FSortPattern, 0);
    if (!form->FSortAscent) rows = {rows[2], rows[3], rows[1], rows[0]};
    // Ascending order: root b, root a, folder, folder/inner.
    EXPECT_EQ(rows[0], (TRow{root, "b-file.txt", "未処理"}));
    EXPECT_EQ(rows[1], (TRow{root, "a-file.txt", "未処理"}));
    EXPECT_EQ(rows[2], (TRow{root + "/folder", "x.txt", "未処理"}));
    EXPECT_EQ(rows[3], (TRow{root + "/folder/inner", "y.txt", "未処理"}));
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(Entry(r).Path(), List()->ItemText(r, 0).toStdString() + "/" +
                                       List()->ItemText(r, 1).toStdString());
    }
    EXPECT_EQ(form->LabelFileNum->text(), QString::fromUtf8("（ファイル数：4）"));
}

TEST_F(MainListTest, DirectoryTextOfAFileInTheRootIsASlash) {
    MakeForm();
    form->AddEntry("/vmlinuz");
    form->AddEntry("/home/user/Data/file.txt");
    EXPECT_EQ(Rows()[0], (TRow{"/", "vmlinuz", "未処理"}));
    EXPECT_EQ(Rows()[1], (TRow{"/home/user/Data", "file.txt", "未処理"}));
}

TEST_F(MainListTest, HeaderClicksSortByEachColumnBothWaysWithTheirMarks) {
    MakeForm();
    form->FSortPattern = 0;
    form->FSortAscent = true;
    AddEntries({"/b/2.txt", "/a/3.txt", "/c/1.txt"});
    form->SetEntryState(0, esDone);
    form->SetEntryState(2, esFailed);

    ClickHeader(1);  // another column: by name, ascending
    EXPECT_EQ(Captions(), (std::vector<std::string>{"ディレクトリ名", "ファイル名 △", "状態"}));
    EXPECT_EQ(Names(), (std::vector<std::string>{"1.txt", "2.txt", "3.txt"}));
    ClickHeader(1);  // same column: flipped
    EXPECT_EQ(Captions(), (std::vector<std::string>{"ディレクトリ名", "ファイル名 ▽", "状態"}));
    EXPECT_EQ(Names(), (std::vector<std::string>{"3.txt", "2.txt", "1.txt"}));

    ClickHeader(0);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"ディレクトリ名 △", "ファイル名", "状態"}));
    EXPECT_EQ(Names(), (std::vector<std::string>{"3.txt", "2.txt", "1.txt"}));  // /a /b /c
    ClickHeader(0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"1.txt", "2.txt", "3.txt"}));  // /c /b /a
    EXPECT_EQ(Captions()[0], "ディレクトリ名 ▽");

    ClickHeader(2);  // 未処理 (3.txt), 失敗 (1.txt), 完了 (2.txt)
    EXPECT_EQ(Captions(), (std::vector<std::string>{"ディレクトリ名", "ファイル名", "状態 △"}));
    EXPECT_EQ(Names(), (std::vector<std::string>{"3.txt", "1.txt", "2.txt"}));
    ClickHeader(2);
    EXPECT_EQ(Captions()[2], "状態 ▽");
    EXPECT_EQ(Names(), (std::vector<std::string>{"2.txt", "1.txt", "3.txt"}));
    ExpectIdle();
}

TEST_F(MainListTest, StateOrderIsWaitingFailedPackingDoneAborted) {
    MakeForm();
    for (int i = 0; i < 5; ++i) form->AddEntry("/s/" + std::to_string(i));
    const std::uint8_t states[5] = {esAborted, esDone, esWaiting, esPacking, esFailed};
    for (int i = 0; i < 5; ++i) form->SetEntryState(i, states[i]);
    form->FSortPattern = 2;
    form->FSortAscent = true;
    form->SortList();
    std::vector<std::string> texts;
    for (const TRow& r : Rows()) texts.push_back(r.State);
    EXPECT_EQ(texts, (std::vector<std::string>{"未処理", "失敗", "圧縮中", "完了", "中断"}));
    form->FSortAscent = false;
    form->SortList();
    EXPECT_EQ(Rows().front().State, "中断");
    EXPECT_EQ(Rows().back().State, "未処理");
}

TEST_F(MainListTest, DirectorySortIgnoresLetterCaseAndKeepsEqualRowsInPlace) {
    MakeForm();
    form->FSortPattern = 0;
    form->FSortAscent = true;
    form->AddEntry("/t/data/1");
    form->AddEntry("/t/DATA/2");
    form->AddEntry("/t/b/3");
    form->AddEntry("/t/Data/4");
    form->SortList();
    EXPECT_EQ(Names(), (std::vector<std::string>{"3", "1", "2", "4"}));
    form->FSortAscent = false;
    form->SortList();
    EXPECT_EQ(Names(), (std::vector<std::string>{"1", "2", "4", "3"}));
}

TEST_F(MainListTest, AStoredSortColumnOutsideTheThreeActsAsTheFirst) {
    MakeForm();
    form->FSortPattern = 7;
    form->FSortAscent = true;
    form->ShowSortMark();
    EXPECT_EQ(Captions(), (std::vector<std::string>{"ディレクトリ名 △", "ファイル名", "状態"}));
    form->AddFiles({});
    form->AddEntry("/z/a");
    form->AddEntry("/a/z");
    form->SortList();
    EXPECT_EQ(Names(), (std::vector<std::string>{"z", "a"}));
}

TEST_F(MainListTest, ContextMenuCarriesItsItemsInOrder) {
    MakeForm();
    QStringList items;
    for (QAction* a : form->PopupMenuListView->actions()) {
        items << (a->isSeparator() ? QStringLiteral("-")
                                   : a->text() + " " + a->shortcut().toString());
    }
    EXPECT_EQ(items, (QStringList{"すべて選択(&A) Ctrl+A", "-", "リストから外す(&D) Del", "-",
                                  "状態を「未処理」にする(&S) Ctrl+S",
                                  "状態を「完了」にする(&E) Ctrl+E"}));
}

TEST_F(MainListTest, SelectAllRemoveAndSetStatesOnSelections) {
    MakeForm();
    AddEntries({"/m/0", "/m/1", "/m/2", "/m/3", "/m/4", "/m/5"});
    form->NAllSelect->trigger();
    EXPECT_EQ(List()->SelectedCount(), 6);
    EXPECT_EQ(List()->FocusedItem(), 5);
    ExpectIdle();

    List()->clearSelection();
    List()->SetSelected(1, true);
    List()->SetSelected(4, true);
    form->NExecEnd->trigger();  // "状態を「完了」にする(&E)"
    EXPECT_EQ(Rows()[1].State, "完了");
    EXPECT_EQ(Rows()[4].State, "完了");
    EXPECT_EQ(Entry(4).State, esDone);
    EXPECT_EQ(Rows()[0].State, "未処理");
    EXPECT_EQ(List()->SelectedRows(), (std::vector<int>{1, 4}));  // not re-sorted, still chosen
    form->NNotExec->trigger();  // "状態を「未処理」にする(&S)"
    EXPECT_EQ(Rows()[1].State, "未処理");
    EXPECT_EQ(Entry(1).State, esWaiting);
    ExpectIdle();

    form->NDel->trigger();
    EXPECT_EQ(Names(), (std::vector<std::string>{"0", "2", "3", "5"}));
    ExpectIdle();

    // Nothing selected: nothing changes.
    form->NDel->trigger();
    form->NExecEnd->trigger();
    EXPECT_EQ(List()->ItemCount(), 4);
    EXPECT_EQ(Rows()[0].State, "未処理");
    ExpectIdle();
}

TEST_F(MainListTest, ClearButtonEmptiesTheList) {
    Touch(root + "/a");
    Touch(root + "/b");
    MakeForm();
    form->AddFiles({root});
    ASSERT_EQ(List()->ItemCount(), 2);
    form->ButtonListClear->click();
    EXPECT_EQ(List()->ItemCount(), 0);
    ExpectIdle();
}

TEST_F(MainListTest, OpenDialogAddsTheChosenFiles) {
    Touch(root + "/picked.txt");
    Touch(root + "/noext");
    MakeForm();
    form->OpenDialogInfile->setOption(QFileDialog::DontUseNativeDialog, true);
    QTimer::singleShot(0, [&] {
        QFileDialog* d = form->OpenDialogInfile;
        d->setDirectory(QString::fromStdString(root));
        d->selectFile("\"picked.txt\" \"noext\"");
        QMetaObject::invokeMethod(d, "accept");
    });
    form->ButtonOpen->click();
    std::vector<std::string> names = Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"noext", "picked.txt"}));
    ExpectIdle();
}

}  // namespace
}  // namespace kt
