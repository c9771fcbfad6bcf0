// The run packing in worker processes, pressed like a person presses it: the
// archives are those the one-process run makes, byte for byte; rows turn
// 完了 in list order; and every box shows at its entry with the world as
// the one-process run leaves it at that point (earlier entries settled, no
// archive of a later entry), also when the answer stops the run.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <map>

#include "app/infile_entry.h"
#include "tests/app/box_clicker.h"
#include "tests/app/run_fixture.h"
#include "tests/support/run_tool.h"
#include "widgets/kwall_list_view.h"

namespace kt {
namespace {

using test::ReadAll;
using test::WriteFile;

const std::string kStart = "圧縮処理を開始します。よろしいですか？";
const std::string kEnd = "終了しました。";
const std::string kStopped = "処理を中断します。";
const std::string kFailed = "圧縮に失敗しました。\n続けますか？";

// Processes this one has started and not yet reaped.
int ChildCount() {
    int children = 0;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return -1;
    while (dirent* e = readdir(tasks)) {
        if (e->d_name[0] == '.') continue;
        std::ifstream in(std::string("/proc/self/task/") + e->d_name + "/children");
        for (int pid; in >> pid;) ++children;
    }
    closedir(tasks);
    return children;
}

class WorkersRunTest : public test::ProgramFolderTest {
protected:
    WorkersRunTest() {
        InstallRealLibraries();
        SetPromptService(nullptr);  // the program's own message boxes
        Form = std::make_unique<TFormMain>();
        Form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
        QApplication::processEvents();  // the first paint runs the library check
        Form->FRunWorkers = 2;
        Src = Temp / "src";
        std::filesystem::create_directories(Src);
        QTest::mouseClick(Form->RadioButtonZip, Qt::LeftButton);
        QTest::mouseClick(Form->RadioButtonInfile, Qt::LeftButton);
    }
    ~WorkersRunTest() override {
        Form.reset();
        SetPromptService(&Prompts);
    }

    // `count` sources of different sizes and kinds; every 50th is larger
    // than a worker queues behind another.
    void MakeSources(int count) {
        std::uint32_t x = 99;
        for (int n = 0; n < count; ++n) {
            const std::size_t size = n % 50 == 7 ? (3u << 19) : 200 + (n * 7919) % 60000;
            std::string bytes(size, '\0');
            for (std::size_t i = 0; i < size; ++i) {
                x = x * 1103515245u + 12345u;
                bytes[i] = n % 3 == 0 ? char(x >> 24) : "kalvora trindle\n"[(x >> 16) % 16];
            }
            char name[16];
            std::snprintf(name, sizeof name, "f%03d.txt", n);
            WriteFile(Src + "/" + name, bytes);
        }
        Form->AddFiles({Src});
        ASSERT_EQ(Form->KWallListViewInfile->ItemCount(), count);
    }
    std::string State(int row) { return Form->KWallListViewInfile->ItemText(row, 2).toStdString(); }
    std::string SourceOf(int row) {
        return Src + "/" + Form->KWallListViewInfile->ItemText(row, 1).toStdString();
    }
    std::string ArchiveOf(int row, const std::string& ext = ".zip") {
        const std::string s = SourceOf(row);
        return s.substr(0, s.rfind('.')) + ext;
    }
    bool Exists(const std::string& path) { return std::filesystem::exists(path); }
    // Rows whose archives exist, from `first` on.
    std::vector<int> ArchivesFrom(int first) {
        std::vector<int> rows;
        for (int r = first; r < Form->KWallListViewInfile->ItemCount(); ++r)
            if (Exists(ArchiveOf(r))) rows.push_back(r);
        return rows;
    }
    // Names in the source folder that are neither a source nor an archive
    // (a temporary archive is hidden: ".~kt...zip").
    std::vector<std::string> Strays() {
        std::vector<std::string> names;
        for (auto& e : std::filesystem::directory_iterator(Src)) {
            const std::string name = e.path().filename();
            const std::string ext = e.path().extension();
            if (name[0] != 'f' || (ext != ".txt" && ext != ".zip")) names.push_back(name);
        }
        return names;
    }
    void Run(test::TBoxClicker& boxes) {
        QTest::mouseClick(Form->ButtonExec, Qt::LeftButton);
        EXPECT_EQ(boxes.Problems, std::vector<std::string>{});
        EXPECT_TRUE(Form->ButtonExec->isEnabled());
    }

    std::unique_ptr<TFormMain> Form;
    std::string Src;
};

TEST_F(WorkersRunTest, TwoHundredFilesMakeTheOneProcessArchivesAndTurnDoneInListOrder) {
    MakeSources(200);
    std::vector<int> doneOrder;
    int childrenSeen = 0;
    QObject listener;
    QObject::connect(Form->KWallListViewInfile->Items(), &QAbstractItemModel::dataChanged,
                     &listener, [&](const QModelIndex& from, const QModelIndex& to) {
                         childrenSeen = std::max(childrenSeen, ChildCount());
                         for (int r = from.row(); r <= to.row(); ++r)
                             if (State(r) == "完了") doneOrder.push_back(r);
                     });
    std::map<int, std::string> byWorkers;
    for (int workers : {2, 1}) {
        SCOPED_TRACE(workers);
        Form->FRunWorkers = workers;
        doneOrder.clear();
        childrenSeen = 0;
        for (int r = 0; r < 200; ++r) {
            std::filesystem::remove(ArchiveOf(r));
            // ZIP keeps the access time too, which the first run's reading moved.
            const timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
            ASSERT_EQ(utimensat(AT_FDCWD, SourceOf(r).c_str(), times, 0), 0);
        }
        test::TBoxClicker boxes;
        boxes.Script = {"はい(&Y)", "OK"};
        Run(boxes);
        EXPECT_EQ(boxes.Texts, (std::vector<std::string>{kStart, kEnd}));
        // The list ends on the last entry worked on, which is no longer selected.
        TKWallListView* list = Form->KWallListViewInfile;
        EXPECT_TRUE(
            list->viewport()->rect().intersects(list->visualRect(list->model()->index(199, 0))));
        EXPECT_FALSE(list->selectionModel()->hasSelection());
        std::vector<int> expected(200);
        for (int r = 0; r < 200; ++r) expected[r] = r;
        EXPECT_EQ(doneOrder, expected);
        EXPECT_EQ(childrenSeen > 0, workers > 1) << childrenSeen;
        for (int r = 0; r < 200; ++r) {
            if (workers == 2) {
                byWorkers[r] = ReadAll(ArchiveOf(r));
            } else {
                ASSERT_FALSE(byWorkers[r].empty()) << r;
                EXPECT_TRUE(ReadAll(ArchiveOf(r)) == byWorkers[r]) << ArchiveOf(r);
            }
            Form->SetEntryState(r, esWaiting);
        }
        EXPECT_EQ(Strays(), std::vector<std::string>{});
    }
    // And the archives are sound: a few, read back by an outside tool.
    for (int r : {0, 7, 199})
        EXPECT_TRUE(test::ExtractOne("unzip -qq '" + ArchiveOf(r) + "'", Temp / "x") ==
                    ReadAll(SourceOf(r)))
            << r;
}

// Boxes about an entry show once every earlier entry is settled and before
// any later archive exists; "yes to all" replaces later ones unasked, a box
// closed with Escape skips its entry.
TEST_F(WorkersRunTest, OverwritePromptsAmidTheRunYesToAllAndClosedWithEscape) {
    MakeSources(80);
    for (int r : {10, 30, 45}) WriteFile(ArchiveOf(r), "old " + std::to_string(r));
    std::vector<std::string> wrong;
    test::TBoxClicker boxes;
    boxes.OnBox = [&](const std::string& text) {
        for (int r : {10, 30}) {
            if (text.find(ArchiveOf(r)) == std::string::npos ||
                text.find("上書き") == std::string::npos)
                continue;
            for (int e = 0; e < r; ++e)
                if (State(e) != (e == 10 ? "未処理" : "完了"))
                    wrong.push_back("row " + std::to_string(e) + " " + State(e) + " at box " +
                                    std::to_string(r));
            for (int later : ArchivesFrom(r + 1))
                if (ReadAll(ArchiveOf(later)) != "old " + std::to_string(later))
                    wrong.push_back("archive of row " + std::to_string(later));
        }
    };
    boxes.Script = {"はい(&Y)", "<Esc>", "OK", "すべてはい(&A)", "OK"};
    Run(boxes);
    EXPECT_EQ(wrong, std::vector<std::string>{});
    ASSERT_EQ(boxes.Texts.size(), 5u);
    EXPECT_EQ(boxes.Texts[1],
              "ファイル(" + ArchiveOf(10) + ")が既に存在します。\n上書きしますか？");
    EXPECT_EQ(boxes.Texts[2], "ファイル(" + SourceOf(10) + ")の圧縮処理はスキップします。");
    EXPECT_EQ(boxes.Texts[3],
              "ファイル(" + ArchiveOf(30) + ")が既に存在します。\n上書きしますか？");
    EXPECT_EQ(boxes.Texts[4], kEnd);
    for (int r = 0; r < 80; ++r) EXPECT_EQ(State(r), r == 10 ? "未処理" : "完了") << r;
    EXPECT_EQ(ReadAll(ArchiveOf(10)), "old 10");
    for (int r : {30, 45})
        EXPECT_TRUE(test::ExtractOne("unzip -qq '" + ArchiveOf(r) + "'", Temp / "x") ==
                    ReadAll(SourceOf(r)))
            << r;
    EXPECT_EQ(Strays(), std::vector<std::string>{});
}

// 中止 on a box mid-run, a failure mid-run answered 中止, and the window
// closed mid-run: entries after the stop are not packed, their rows stay
// 未処理, no temporary and no later archive is left, and old archives
// keep their bytes.
TEST_F(WorkersRunTest, StoppingMidRunLeavesLaterEntriesUnpackedAndOldArchivesAlone) {
    MakeSources(120);
    struct Case {
        const char* what;
        int stopRow;  // the entry the run stops at
        std::deque<std::string> script;
        std::string stopBox;  // text of the box at stopRow ("" for the close)
    };
    const std::vector<Case> cases = {
        {"abort on the overwrite prompt", 60, {"はい(&Y)", "中止(&A)", "OK"}, "上書き"},
        {"abort on a failure", 40, {"はい(&Y)", "OK", "中止(&A)", "OK"}, kFailed},
        {"window closed", 25, {"はい(&Y)"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int r = 0; r < 120; ++r) {
            std::filesystem::remove(ArchiveOf(r));
            Form->SetEntryState(r, esWaiting);
        }
        WriteFile(ArchiveOf(60), "old 60");
        WriteFile(ArchiveOf(100), "old 100");
        const std::string moved = SourceOf(40) + ".gone";
        if (c.stopRow == 40) std::filesystem::rename(SourceOf(40), moved);

        std::vector<std::string> wrong;
        test::TBoxClicker boxes;
        boxes.Script = c.script;
        boxes.OnBox = [&](const std::string& text) {
            if (c.stopBox.empty() || text.find(c.stopBox) == std::string::npos) return;
            for (int e = 0; e < c.stopRow; ++e)
                if (State(e) != "完了")
                    wrong.push_back("row " + std::to_string(e) + " " + State(e));
            for (int e = c.stopRow + 1; e < 120; ++e)
                if (State(e) != "未処理")
                    wrong.push_back("later row " + std::to_string(e) + " " + State(e));
            for (int later : ArchivesFrom(c.stopRow + 1))
                if (ReadAll(ArchiveOf(later)) != "old " + std::to_string(later))
                    wrong.push_back("archive of row " + std::to_string(later));
        };
        QObject listener;
        if (c.stopBox.empty()) {
            QObject::connect(Form->KWallListViewInfile->Items(), &QAbstractItemModel::dataChanged,
                             &listener, [&](const QModelIndex& from, const QModelIndex& to) {
                                 for (int r = from.row(); r <= to.row(); ++r)
                                     if (r == c.stopRow && State(r) == "圧縮中") Form->close();
                             });
        }
        Run(boxes);
        EXPECT_EQ(wrong, std::vector<std::string>{});
        if (c.stopRow == 40) std::filesystem::rename(moved, SourceOf(40));
        const int settled = c.stopRow + (c.stopBox.empty() ? 1 : 0);
        for (int r = 0; r < 120; ++r) {
            const std::string expected = r < settled                         ? "完了"
                                         : r == c.stopRow && c.stopRow == 40 ? "失敗"
                                                                             : "未処理";
            EXPECT_EQ(State(r), expected) << r;
        }
        // From the stop on, only the old archives are there, as they were.
        EXPECT_EQ(ArchivesFrom(settled), (std::vector<int>{60, 100}));
        EXPECT_EQ(ReadAll(ArchiveOf(60)), "old 60");
        EXPECT_EQ(ReadAll(ArchiveOf(100)), "old 100");
        EXPECT_EQ(Strays(), std::vector<std::string>{});
        // The bar keeps its place: the entries before the stop.
        if (!c.stopBox.empty()) {
            EXPECT_EQ(Form->ProgressBar->value(), c.stopRow * TFormMain::kProgressSteps);
        } else {
            QApplication::processEvents();
            EXPECT_FALSE(Form->isVisible());  // the close asked for is carried out
            Form->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
        }
    }
}

}  // namespace
}  // namespace kt
