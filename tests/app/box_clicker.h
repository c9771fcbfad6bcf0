// Answers the program's real message boxes the way a person does: a timer
// looks for the modal box, records its text and clicks the button whose
// caption the script names next. Other modal dialogs (the open dialog, the
// folder dialog) are recorded by class and closed.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kt::test {

class TBoxClicker {
public:
    TBoxClicker() {
        FTimer.setInterval(5);
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Poll(); });
        FTimer.start();
    }

    // Captions to click, in order ("はい(&Y)", "OK", ...); "<Esc>" closes
    // the box with the Escape key instead.
    std::deque<std::string> Script;
    // Called with each box's text before it is answered: a test's look at
    // the world while the box is open.
    std::function<void(const std::string&)> OnBox;
    // Texts of the boxes answered (line breaks as "\n"), and what else
    // was seen: scripts that ran out, captions a box did not have, other
    // dialogs.
    std::vector<std::string> Texts;
    std::vector<std::string> Problems;
    std::vector<std::string> Dialogs;

private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal->property("kt_answered").toBool()) return;
        // Answered once per showing: a dialog that is shown again (the open
        // dialog is kept) is answered again.
        modal->setProperty("kt_answered", true);
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            QObject::connect(
                dialog, &QDialog::finished, dialog,
                [dialog] { dialog->setProperty("kt_answered", false); }, Qt::SingleShotConnection);
        }
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) {
            Dialogs.push_back(modal->metaObject()->className());
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
            return;
        }
        Texts.push_back(box->text().toStdString());
        if (OnBox) OnBox(Texts.back());
        QAbstractButton* target = nullptr;
        if (!Script.empty() && Script.front() == "<Esc>") {
            Script.pop_front();
            QTimer::singleShot(0, box, [box] { QTest::keyClick(box, Qt::Key_Escape); });
            return;
        }
        if (Script.empty()) {
            Problems.push_back("unscripted box: " + Texts.back());
            target = box->escapeButton() != nullptr ? box->escapeButton() : box->buttons().value(0);
        } else {
            const QString caption = QString::fromStdString(Script.front());
            Script.pop_front();
            for (QAbstractButton* b : box->buttons())
                if (b->text() == caption) target = b;
            if (target == nullptr) {
                Problems.push_back("no button " + caption.toStdString() + " in: " + Texts.back());
                target =
                    box->escapeButton() != nullptr ? box->escapeButton() : box->buttons().value(0);
            }
        }
        // Clicked after the box has finished showing itself, as a hand would.
        QTimer::singleShot(0, target, [target] { QTest::mouseClick(target, Qt::LeftButton); });
    }

    QTimer FTimer;
};

}  // namespace kt::test
