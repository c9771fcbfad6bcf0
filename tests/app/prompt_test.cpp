// The prompt service: the real box's title, captions, order and default, and
// the scripted answerer the other tests rely on.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "platform/qt/prompt.h"
#include "tests/widgets/ensure_qt_app.h"

namespace kt {
namespace {

TEST(PromptTest, BoxShowsTheFixedCaptionsInTheFixedOrderWithYesAsDefault) {
    EnsureQtApp();
    QStringList captions;
    QString title, text, defaultCaption;
    bool iconless = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        iconless = box->icon() == QMessageBox::NoIcon;
        for (QAbstractButton* b : box->buttons()) captions << b->text();
        defaultCaption = box->defaultButton() ? box->defaultButton()->text() : QString();
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == QString::fromUtf8("すべていいえ(&O)")) b->click();
        }
    });
    TMessageBoxPrompt box;
    // Listed out of order on purpose.
    const TModalResult answer =
        box.Ask("一行目\r二行目", {mbYesToAll, mbNoToAll, mbAbort, mbNo, mbYes});
    EXPECT_EQ(answer, mrNoToAll);
    EXPECT_EQ(title, "KalvoraTrindle");
    EXPECT_EQ(text, QString::fromUtf8("一行目\n二行目"));
    EXPECT_TRUE(iconless);
    EXPECT_EQ(defaultCaption, QString::fromUtf8("はい(&Y)"));
    // Qt lists the buttons of one role in the order they were added.
    EXPECT_EQ(captions, (QStringList{"はい(&Y)", "いいえ(&N)", "中止(&A)", "すべていいえ(&O)",
                                     "すべてはい(&A)"}));
}

TEST(PromptTest, ScriptedAnswererRecordsAndAnswersInTurn) {
    TScriptedAnswerer prompts;
    prompts.Answers = {mrNo, mrAbort};
    EXPECT_EQ(MessageDlg("first", {mbNo, mbYes}), mrNo);
    EXPECT_EQ(MessageDlg("second", {mbYes, mbNo, mbAbort}), mrAbort);
    ShowMessage("third");
    ASSERT_EQ(prompts.Asked.size(), 3u);
    EXPECT_EQ(prompts.Asked[0].Buttons, (TMsgDlgButtons{mbYes, mbNo}));
    EXPECT_EQ(prompts.Asked[2].Text, "third");
    EXPECT_EQ(prompts.Asked[2].Buttons, TMsgDlgButtons{mbOK});
    // Nothing scripted for the third: the default answer, and counted.
    EXPECT_EQ(prompts.Unscripted, 1);
}

TEST(PromptTest, AnswererRestoresThePreviousServiceWhenItEnds) {
    TScriptedAnswerer outer;
    {
        TScriptedAnswerer inner;
        ShowMessage("to inner");
        EXPECT_EQ(inner.Asked.size(), 1u);
    }
    ShowMessage("to outer");
    ASSERT_EQ(outer.Asked.size(), 1u);
    EXPECT_EQ(outer.Asked[0].Text, "to outer");
}

}  // namespace
}  // namespace kt
