// Texts of the freedesktop key files the program writes (desktop entries,
// service menus, file-manager actions): value escapes and command lines.
#pragma once

#include <string>

namespace kt {

// The argument inside double quotes with ", `, $ and \ escaped: one word for
// a desktop entry's Exec line and for GLib's shell-like command parser alike.
std::string DoubleQuotedArgument(const std::string& arg);

// An argument of a desktop entry's Exec line: double-quoted, and a literal
// percent sign written "%%" so that it is not taken for a field code.
std::string QuoteExecArgument(const std::string& arg);

// A string value of a key file, escaped (no line breaks inside).
std::string EntryValue(const std::string& value);

}  // namespace kt
