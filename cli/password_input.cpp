#include "password_input.h"

#include "archive/batch_run.h"

#include <iostream>
#include <optional>

#include "terminal.h"

namespace kaltri {

bool ObtainPassword(const Options& o, Lang lang, bool confirm, const std::atomic<bool>& interrupted,
                    std::string* password, int* status) {
    password->clear();
    *status = 2;
    if (!o.passwordFile.empty()) {
        std::optional<std::string> p = ReadFirstLine(o.passwordFile);
        if (!p) {
            std::cerr << Text(lang, Msg::PasswordFileUnreadable, o.passwordFile) << "\n";
            return false;
        }
        *password = *p;
    } else if (o.askPassword) {
        if (!CanAsk()) {
            std::cerr << Text(lang, Msg::NotATerminal) << "\n";
            return false;
        }
        std::optional<std::string> a = ReadPasswordNoEcho(Text(lang, Msg::PasswordPrompt));
        std::optional<std::string> b =
            a && confirm ? ReadPasswordNoEcho(Text(lang, Msg::PasswordAgain)) : a;
        if (interrupted) {
            *status = 130;
            return false;
        }
        if (!a || !b || *a != *b) {
            std::cerr << Text(lang, Msg::PasswordMismatch) << "\n";
            return false;
        }
        *password = *a;
    } else {
        return true;
    }
    // An empty password would silently mean "no password".
    if (password->empty()) {
        std::cerr << Text(lang, Msg::PasswordEmpty) << "\n";
        return false;
    }
    if (!kt::PasswordFitsSwitch(*password)) {
        std::cerr << Text(lang, Msg::PasswordHasQuote) << "\n";
        return false;
    }
    return true;
}

}  // namespace kaltri
