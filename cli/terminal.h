// Talking to the user on the controlling terminal: questions with one-key
// answers and a password read without echo.
#pragma once

#include <optional>
#include <string>

namespace kaltri {

// True when standard input and standard error are both terminals, so that
// kaltri may ask questions.
bool CanAsk();

// Shows question + hint on standard error and reads one answer line from the
// terminal; returns the first character typed, or nullopt at end of input.
std::optional<char> AskChar(const std::string& question, const std::string& hint);

// Reads a line from the terminal with echo switched off; nullopt at end of
// input. Echo is restored even when the read is interrupted.
std::optional<std::string> ReadPasswordNoEcho(const std::string& prompt);

// The first line of a file, without its line end; nullopt when unreadable.
std::optional<std::string> ReadFirstLine(const std::string& path);

}  // namespace kaltri
