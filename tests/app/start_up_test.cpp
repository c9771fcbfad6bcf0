// The program as it starts on a desktop: its own options with or without a
// display, Qt's dialogs and menus in Japanese, boxes owned by the window.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QTimer>
#include <QWindow>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "platform/qt/help.h"
#include "platform/qt/translations.h"
#include "tests/support/run_tool.h"
#include "tests/widgets/ensure_qt_app.h"

namespace kt {
namespace {

using test::Quote;
using test::RunTool;

// The program started as from a terminal, with `env` settings before it.
test::TToolRun Program(const std::string& env, const std::string& args) {
    return RunTool("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + env + " timeout 20 " +
                   Quote(std::string(KT_BIN_DIR) + "/KalvoraTrindle") + " " + args + " 2>&1");
}

TEST(ProgramOptions, HelpAndVersionAnswerWithOrWithoutADisplayAndNoDisplayIsOneLine) {
    struct Row {
        const char* Env;
        const char* Args;
        int Code;
        const char* Starts;
    };
    const std::vector<Row> rows = {
        {"", "--help", 0, "Usage: KalvoraTrindle "},
        {"", "-h", 0, "Usage: KalvoraTrindle "},
        {"", "--version", 0, "KalvoraTrindle 1."},
        // With a display the options still answer instead of opening the window.
        {"QT_QPA_PLATFORM=offscreen", "--help", 0, "Usage: KalvoraTrindle "},
        {"QT_QPA_PLATFORM=offscreen", "a.txt --version", 0, "KalvoraTrindle 1."},
        // Without a display, one line says what is missing instead of an abort.
        {"", "", 1, "KalvoraTrindle: the window needs a graphical session"},
        {"", "-- --help", 1, "KalvoraTrindle: the window needs a graphical session"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.Env) + " " + row.Args);
        const test::TToolRun run = Program(row.Env, row.Args);
        EXPECT_EQ(run.Code, row.Code) << run.Out;
        EXPECT_EQ(run.Out.rfind(row.Starts, 0), 0u) << run.Out;
        if (row.Code != 0) {
            EXPECT_EQ(std::count(run.Out.begin(), run.Out.end(), '\n'), 1) << run.Out;
        }
    }
}

class StartUp : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureQtApp();
        ASSERT_TRUE(InstallJapaneseQtTranslations()) << "qtbase_ja is not installed";
    }
};

// Texts of every button and label a dialog shows.
std::vector<QString> Texts(QWidget* dialog) {
    std::vector<QString> texts;
    for (auto* b : dialog->findChildren<QAbstractButton*>()) texts.push_back(b->text());
    for (auto* l : dialog->findChildren<QLabel*>()) texts.push_back(l->text());
    return texts;
}

bool HasText(const std::vector<QString>& texts, const QString& wanted) {
    return std::find(texts.begin(), texts.end(), wanted) != texts.end();
}

TEST_F(StartUp, TheOpenDialogAndAnEditBoxMenuSpeakJapanese) {
    TFormMain f;
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));

    std::vector<QString> dialogTexts;
    QTimer::singleShot(50, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        dialogTexts = Texts(dialog);
        QPushButton* cancel =
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel);
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    QTest::mouseClick(f.ButtonOpen, Qt::LeftButton);
    ASSERT_FALSE(dialogTexts.empty()) << "the open dialog did not show";
    for (const char* english : {"Look in:", "File &name:", "&Open", "Cancel", "Files of type:"})
        EXPECT_FALSE(HasText(dialogTexts, english)) << english;
    EXPECT_TRUE(HasText(dialogTexts, QCoreApplication::translate("QFileDialog", "&Open")));
    EXPECT_TRUE(HasText(dialogTexts, QCoreApplication::translate("QFileDialog", "File &name:")));
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "&Open"), "&Open");

    // The password box's own menu (ZIP picked first, so the box is enabled),
    // opened as a right click opens it.
    QTest::mouseClick(f.RadioButtonZip, Qt::LeftButton);
    ASSERT_TRUE(f.EditZipPass->isEnabled());
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(5, 5),
                                 f.EditZipPass->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(f.EditZipPass, &rightClick);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr) << "no context menu";
    std::vector<QString> actions;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) actions.push_back(a->text().section('\t', 0, 0));
    menu->close();
    ASSERT_FALSE(actions.empty()) << "no context menu";
    EXPECT_EQ(actions.front(), QCoreApplication::translate("QLineEdit", "&Undo"));
    EXPECT_NE(actions.front(), "&Undo");
    EXPECT_EQ(actions.back(), QCoreApplication::translate("QLineEdit", "Select All"));
    EXPECT_NE(actions.back(), "Select All");
}

TEST_F(StartUp, ABoxBelongsToTheMainWindowEvenWhenAnotherWindowIsActive) {
    TFormMain f;
    f.FHelpFile = "/nonexistent/KalvoraTrindle.html";  // its box is the one to look at
    f.show();
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));

    QWidget* owner = nullptr;
    QWindow* transientParent = nullptr;
    QTimer::singleShot(50, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        owner = box->parentWidget();
        transientParent = box->windowHandle()->transientParent();
        QTest::mouseClick(box->buttons().front(), Qt::LeftButton);
    });
    QTest::mouseClick(f.SpeedButtonHelp, Qt::LeftButton);
    EXPECT_EQ(owner, &f);
    EXPECT_EQ(transientParent, f.windowHandle());
}

TEST_F(StartUp, EmptyWarningLabelsAreNotReadOutAsTheGroupCaption) {
    TFormMain f;
    f.show();
    for (QLabel* label : {f.LabelLzhMsg, f.LabelZipMsg}) {
        ASSERT_TRUE(label->text().isEmpty());
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(label);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->text(QAccessible::Name), QString()) << label->objectName().toStdString();
    }
}

}  // namespace
}  // namespace kt
