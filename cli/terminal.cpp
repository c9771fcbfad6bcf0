#include "terminal.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>

namespace kaltri {
namespace {

std::optional<std::string> ReadLine() {
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace

bool CanAsk() { return isatty(STDIN_FILENO) && isatty(STDERR_FILENO); }

std::optional<char> AskChar(const std::string& question, const std::string& hint) {
    std::cerr << question << hint << std::flush;
    for (;;) {
        std::optional<std::string> line = ReadLine();
        if (!line) return std::nullopt;
        std::size_t i = line->find_first_not_of(" \t");
        if (i != std::string::npos) return (*line)[i];
        std::cerr << hint << std::flush;
    }
}

std::optional<std::string> ReadPasswordNoEcho(const std::string& prompt) {
    std::cerr << prompt << std::flush;
    termios old{};
    bool restore = tcgetattr(STDIN_FILENO, &old) == 0;
    if (restore) {
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::optional<std::string> line = ReadLine();
    if (restore) tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    std::cerr << "\n";
    return line;
}

std::optional<std::string> ReadFirstLine(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string line;
    std::getline(in, line);
    if (in.bad()) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace kaltri
