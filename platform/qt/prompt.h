// The prompt service: every message box of the program goes through it.
// In the program it shows a modal box titled "KalvoraTrindle" without icon,
// with the fixed Japanese captions in the fixed order and Yes as default.
// Tests install a TScriptedAnswerer instead, which records each text and
// button list and answers from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

class QWidget;

namespace kt {

// Buttons a prompt may carry. Shown always in this order, whatever order the
// caller lists them in.
enum TMsgDlgBtn { mbYes, mbNo, mbAbort, mbNoToAll, mbYesToAll, mbOK };
using TMsgDlgButtons = std::vector<TMsgDlgBtn>;

// Answers, numbered as the toolkit's modal results.
enum TModalResult {
    mrNone = 0,
    mrOk = 1,
    mrAbort = 3,
    mrYes = 6,
    mrNo = 7,
    mrNoToAll = 9,
    mrYesToAll = 10,
};

// The caption of a button, with its mnemonic ("はい(&Y)", ...).
const char* ButtonCaption(TMsgDlgBtn button);
// The answer a button gives.
TModalResult ButtonResult(TMsgDlgBtn button);
// The buttons in display order, duplicates dropped.
TMsgDlgButtons OrderedButtons(const TMsgDlgButtons& buttons);

class TPromptService {
public:
    virtual ~TPromptService() = default;
    // Shows `text` (UTF-8; a carriage return is a line break) with the given
    // buttons and returns the answer.
    virtual TModalResult Ask(const std::string& text, const TMsgDlgButtons& buttons) = 0;
};

// The service in use: the modal box unless a test has installed another.
TPromptService& Prompts();
// Installs `service` (not owned); nullptr restores the modal box.
void SetPromptService(TPromptService* service);

// A prompt with the given buttons.
TModalResult MessageDlg(const std::string& text, const TMsgDlgButtons& buttons);
// A plain message with the one button "OK".
void ShowMessage(const std::string& text);

// The window that owns the program's boxes: the modal dialog in front if
// there is one, else the window registered with SetDialogOwner (the main
// window, active or not: a window manager may have given the focus
// elsewhere, or there may be none), else the active window. A box with an
// owner is placed over it by the window manager.
QWidget* DialogOwner();
// Registers the program's main window as the owner of last resort
// (nullptr: none). Held weakly: a destroyed window is forgotten.
void SetDialogOwner(QWidget* window);

// The modal box of the program.
class TMessageBoxPrompt : public TPromptService {
public:
    TModalResult Ask(const std::string& text, const TMsgDlgButtons& buttons) override;
};

// A recording answerer for tests: installs itself for its lifetime, answers
// from the queue `Answers` and records every prompt. When the queue is empty
// it answers with the default button (Yes, else the first button) and counts
// the prompt in `Unscripted`.
class TScriptedAnswerer : public TPromptService {
public:
    struct TAsked {
        std::string Text;
        TMsgDlgButtons Buttons;  // in display order
    };

    TScriptedAnswerer();
    ~TScriptedAnswerer() override;
    TScriptedAnswerer(const TScriptedAnswerer&) = delete;
    TScriptedAnswerer& operator=(const TScriptedAnswerer&) = delete;

    TModalResult Ask(const std::string& text, const TMsgDlgButtons& buttons) override;

    std::deque<TModalResult> Answers;
    std::vector<TAsked> Asked;
    int Unscripted = 0;

private:
    TPromptService* FPrevious;
};

}  // namespace kt
