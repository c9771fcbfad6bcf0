// The target folder choice on the window: where the folder dialog starts,
// what OK and Cancel do to the folder box, and folder-box drops.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "platform/qt/prompt.h"
#include "tests/widgets/ensure_qt_app.h"
#include "widgets/drop_dst.h"
#include "widgets/shbffex.h"
#include "widgets/shbffex_dialog.h"

namespace kt {
namespace {

class FolderChoice : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureQtApp();
        ASSERT_TRUE(home.isValid());
        // The Send To check at start-up looks below XDG_DATA_HOME.
        hadData = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        savedData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
        form = std::make_unique<TFormMain>();
        form->RadioButtonSelect->click();
    }
    void TearDown() override {
        form.reset();
        if (hadData)
            qputenv("XDG_DATA_HOME", savedData);
        else
            qunsetenv("XDG_DATA_HOME");
    }
    std::string Dir(const char* relative) {
        const QString path = home.path() + "/" + relative;
        EXPECT_TRUE(QDir().mkpath(path));
        return path.toStdString();
    }
    std::string File(const char* relative) {
        const QString path = home.path() + "/" + relative;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return path.toStdString();
    }
    std::string Box() const { return form->EditSelect->text().toStdString(); }
    void SetBox(const std::string& text) {
        form->EditSelect->setText(QString::fromStdString(text));
    }

    // Presses the folder button; script works the open dialog and closes it.
    // Returns the folder the dialog had selected when it opened.
    std::string PressFolderButton(const std::function<void(TSHBrowseDialog*)>& script) {
        std::string start;
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TSHBrowseDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            shown = true;
            start = dialog->SelectedPath().toStdString();
            script(dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        form->SpeedButtonSelectClick();
        EXPECT_TRUE(shown);
        return start;
    }

    QTemporaryDir home;
    bool hadData = false;
    QByteArray savedData;
    TScriptedAnswerer prompts;
    std::unique_ptr<TFormMain> form;
};

TEST_F(FolderChoice, DialogStartsAtTheBoxFolderElseAtTheFileSystems) {
    const std::string folder = Dir("out");
    const std::string file = File("out/list.txt");
    const auto cancel = [](TSHBrowseDialog* dialog) { dialog->reject(); };
    for (const auto& [box, start] : std::vector<std::pair<std::string, std::string>>{
             {folder, folder}, {file, "/"}, {folder + "/missing", "/"}, {"", "/"}}) {
        SetBox(box);
        EXPECT_EQ(PressFolderButton(cancel), start) << "box: " << box;
        EXPECT_EQ(Box(), box) << "cancel changed the box";
    }
    EXPECT_EQ(form->SHBrowseForFolderExIn->Caption(),
              "圧縮ファイル格納先フォルダを選択してください");
    EXPECT_TRUE(prompts.Asked.empty());
}

TEST_F(FolderChoice, OkTakesTheFolderAndALaterCancelKeepsIt) {
    const std::string start = Dir("a");
    const std::string chosen = Dir("a/選んだ フォルダ");
    SetBox(start);
    PressFolderButton([&](TSHBrowseDialog* dialog) {
        ASSERT_TRUE(dialog->SetSelection(QString::fromStdString(chosen)));
        dialog->accept();
    });
    EXPECT_EQ(Box(), chosen);
    EXPECT_EQ(form->SHBrowseForFolderExIn->FolderName(), chosen);

    const std::string started = PressFolderButton([&](TSHBrowseDialog* dialog) {
        dialog->SetSelection(QString::fromStdString(start));
        dialog->reject();
    });
    EXPECT_EQ(started, chosen);
    EXPECT_EQ(Box(), chosen);
    EXPECT_EQ(form->SHBrowseForFolderExIn->FolderName(), "");
    EXPECT_TRUE(form->RadioButtonSelect->isChecked());
}

TEST_F(FolderChoice, OnlyASingleDroppedFolderFillsTheBox) {
    const std::string one = Dir("one");
    const std::string two = Dir("two");
    const std::string file = File("file.txt");
    SetBox("before");
    ASSERT_TRUE(form->DropDstDir->OnFileDrop);
    form->RadioButtonInfile->click();
    form->DropDstDir->OnFileDrop(form->DropDstDir, {one, two}, 5, 5);
    EXPECT_EQ(Box(), "before");
    form->DropDstDir->OnFileDrop(form->DropDstDir, {file}, 5, 5);
    EXPECT_EQ(Box(), "before");
    form->DropDstDir->OnFileDrop(form->DropDstDir, {home.path().toStdString() + "/gone"}, 5, 5);
    EXPECT_EQ(Box(), "before");
    form->DropDstDir->OnFileDrop(form->DropDstDir, {two}, 5, 5);
    EXPECT_EQ(Box(), two);
    // The drop does not pick the target-folder option.
    EXPECT_TRUE(form->RadioButtonInfile->isChecked());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace kt
