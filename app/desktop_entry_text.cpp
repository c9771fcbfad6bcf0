#include "app/desktop_entry_text.h"

namespace kt {

std::string DoubleQuotedArgument(const std::string& arg) {
    std::string out = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

std::string QuoteExecArgument(const std::string& arg) {
    std::string escaped;
    for (char c : DoubleQuotedArgument(arg)) {
        escaped += c;
        if (c == '%') escaped += '%';
    }
    return escaped;
}

std::string EntryValue(const std::string& value) {
    std::string out;
    for (char c : value) {
        switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace kt
