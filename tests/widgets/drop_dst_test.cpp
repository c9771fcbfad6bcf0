// Drop target and control hook: what reaches OnFileDrop, when drops are
// accepted, and what happens when the hooked control goes away.
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <memory>
#include <stdexcept>

#include "platform/qt/prompt.h"
#include "tests/widgets/ensure_qt_app.h"
#include "widgets/drop_dst.h"
#include "widgets/kwall_list_view.h"

namespace kt {
namespace {

struct TDropRecord {
    int Calls = 0;
    std::vector<std::string> Files;
    int X = -1, Y = -1;
};

std::unique_ptr<QMimeData> FileMime(const QStringList& paths) {
    auto mime = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    mime->setUrls(urls);
    return mime;
}

// Sends a drag-enter and a drop at `pos` of `target`; gives whether the
// drag was accepted.
bool DragAndDrop(QWidget* target, QPoint pos, const QMimeData* mime) {
    QDragEnterEvent enter(pos, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(pos), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

class DropDstTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureQtApp();
        list = std::make_unique<TKWallListView>();
        list->setGeometry(0, 0, 320, 244);
        list->AddColumn("a", 100, 0);
        list->show();
        drop = new TDropDst(list.get());
        drop->BeginLoading();
        drop->SetControl(list.get());
        drop->SetTarget(htControl);
        drop->OnFileDrop = [this](TDropDst* sender, const std::vector<std::string>& files, int x,
                                  int y) {
            EXPECT_EQ(sender, drop);
            ++record.Calls;
            record.Files = files;
            record.X = x;
            record.Y = y;
        };
        drop->Loaded();
    }

    std::unique_ptr<TKWallListView> list;
    TDropDst* drop = nullptr;
    TDropRecord record;
};

TEST_F(DropDstTest, ThreeFilesArriveInOneCallInOrderWithThePointInTheListsCoordinates) {
    auto mime = FileMime({"/tmp/c file.txt", "/tmp/a.txt", "/tmp/b/日本語.txt"});
    QWidget* viewport = list->viewport();
    const QPoint inViewport(30, 40);
    ASSERT_TRUE(DragAndDrop(viewport, inViewport, mime.get()));
    EXPECT_EQ(record.Calls, 1);
    EXPECT_EQ(record.Files,
              (std::vector<std::string>{"/tmp/c file.txt", "/tmp/a.txt", "/tmp/b/日本語.txt"}));
    // The viewport lies below the header and inside the border: the point is
    // reported in the list's own coordinates.
    const QPoint expected = viewport->mapTo(list.get(), inViewport);
    EXPECT_NE(expected, inViewport);
    EXPECT_EQ(record.X, expected.x());
    EXPECT_EQ(record.Y, expected.y());
}

TEST_F(DropDstTest, LongPathsAreCarriedWhole) {
    const std::string longPath = "/tmp/" + std::string(400, 'x') + "/" + std::string(300, 'y');
    auto mime = FileMime({QString::fromStdString(longPath)});
    ASSERT_TRUE(DragAndDrop(list->viewport(), QPoint(5, 5), mime.get()));
    ASSERT_EQ(record.Files.size(), 1u);
    EXPECT_EQ(record.Files[0], longPath);
}

TEST_F(DropDstTest, DropsWithoutLocalFilesAreRefused) {
    QMimeData text;
    text.setText("not a file");
    EXPECT_FALSE(DragAndDrop(list->viewport(), QPoint(5, 5), &text));
    auto remote = std::make_unique<QMimeData>();
    remote->setUrls({QUrl("https://example.org/a.txt")});
    EXPECT_FALSE(DragAndDrop(list->viewport(), QPoint(5, 5), remote.get()));
    EXPECT_EQ(record.Calls, 0);
}

TEST_F(DropDstTest, AcceptDropSwitchesDropsOffAndOnAgain) {
    auto mime = FileMime({"/tmp/a.txt"});
    EXPECT_TRUE(list->acceptDrops());
    EXPECT_TRUE(list->viewport()->acceptDrops());

    drop->SetAcceptDrop(false);
    EXPECT_FALSE(list->acceptDrops());
    EXPECT_FALSE(list->viewport()->acceptDrops());
    EXPECT_FALSE(DragAndDrop(list->viewport(), QPoint(5, 5), mime.get()));
    EXPECT_EQ(record.Calls, 0);

    drop->SetAcceptDrop(true);
    EXPECT_TRUE(list->viewport()->acceptDrops());
    EXPECT_TRUE(DragAndDrop(list->viewport(), QPoint(5, 5), mime.get()));
    EXPECT_EQ(record.Calls, 1);
}

TEST_F(DropDstTest, DropWithoutHandlerCompletes) {
    drop->OnFileDrop = nullptr;
    auto mime = FileMime({"/tmp/a.txt"});
    EXPECT_TRUE(DragAndDrop(list->viewport(), QPoint(5, 5), mime.get()));
}

TEST_F(DropDstTest, AnErrorInTheHandlerIsReportedAndTheDropFinishes) {
    TScriptedAnswerer prompts;
    drop->OnFileDrop = [](TDropDst*, const std::vector<std::string>&, int, int) {
        throw std::runtime_error("壊れたドロップ");
    };
    auto mime = FileMime({"/tmp/a.txt"});
    EXPECT_TRUE(DragAndDrop(list->viewport(), QPoint(5, 5), mime.get()));
    ASSERT_EQ(prompts.Asked.size(), 1u);
    EXPECT_EQ(prompts.Asked[0].Text, "壊れたドロップ");
    EXPECT_EQ(prompts.Asked[0].Buttons, TMsgDlgButtons{mbOK});
}

TEST_F(DropDstTest, DestroyedControlLeavesNoControlAndNoHook) {
    list.reset();  // destroys the control; the hook is its child and goes too
    // A hook owned elsewhere outlives its control.
    auto edit = std::make_unique<QLineEdit>();
    TDropDst other(nullptr);
    other.SetControl(edit.get());
    EXPECT_EQ(other.HookedWindow(), edit.get());
    edit.reset();
    EXPECT_EQ(other.Control(), nullptr);
    EXPECT_EQ(other.HookedWindow(), nullptr);
    // Re-hooking now finds no target and does nothing.
    other.SetTarget(htControl);
    EXPECT_EQ(other.HookedWindow(), nullptr);
}

TEST(ControlHookTest, FormTargetHooksTheWindowThatOwnsTheHook) {
    EnsureQtApp();
    QWidget form;
    QWidget* inner = new QWidget(&form);
    TControlHook hook(inner);  // owned (by Qt parent) through the inner widget
    hook.SetTarget(htForm);
    EXPECT_EQ(hook.HookedWindow(), &form);
    hook.SetControl(nullptr);
    EXPECT_EQ(hook.HookedWindow(), &form);
}

TEST(ControlHookTest, FormTargetWithoutAWindowFails) {
    EnsureQtApp();
    TControlHook hook(nullptr);
    try {
        hook.SetTarget(htForm);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "フック先を特定できません。");
    }
}

TEST(ControlHookTest, UnhookingGivesTheControlItsOwnDropAcceptanceBack) {
    EnsureQtApp();
    QLineEdit first, second;
    ASSERT_TRUE(first.acceptDrops());  // an edit box takes text drops of its own
    TDropDst drop(nullptr);
    drop.SetAcceptDrop(false);
    drop.SetControl(&first);
    EXPECT_FALSE(first.acceptDrops());
    // Moving to another control registers that one at once, and the first
    // one gets its own setting back.
    drop.SetControl(&second);
    EXPECT_FALSE(second.acceptDrops());
    EXPECT_TRUE(first.acceptDrops());
}

}  // namespace
}  // namespace kt
