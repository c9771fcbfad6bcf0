#include "progress_bar.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kaltri {
namespace {

// A terminal that cannot clear to the end of a line (TERM=dumb, or none
// named) gets the line padded with blanks instead of the escape sequence.
bool DumbTerminal() {
    const char* term = std::getenv("TERM");
    return term == nullptr || *term == '\0' || std::strcmp(term, "dumb") == 0;
}

int TerminalWidth() {
    winsize ws{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 20) return ws.ws_col;
    return 80;
}

std::string Duration(double seconds) {
    if (seconds < 0 || seconds > 99 * 3600) return "--:--";
    long s = static_cast<long>(seconds + 0.5);
    char buf[32];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%02ld:%02ld", s / 60, s % 60);
    return buf;
}

}  // namespace

std::string HumanBytes(double bytes) {
    const char* units[] = {"B", "KB", "MB", "GB", "TB"};
    int u = 0;
    while (bytes >= 1000 && u < 4) {
        bytes /= 1000;
        ++u;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, u == 0 ? "%.0f %s" : "%.1f %s", bytes, units[u]);
    return buf;
}

ProgressBar::ProgressBar(bool enabled, std::uint64_t totalFiles, std::uint64_t totalBytes)
    : enabled_(enabled),
      totalFiles_(totalFiles),
      totalBytes_(totalBytes),
      start_(std::chrono::steady_clock::now()),
      lastDraw_() {}

ProgressBar::~ProgressBar() { Clear(); }

std::string ProgressBar::Format(std::uint64_t files, std::uint64_t totalFiles, std::uint64_t bytes,
                                std::uint64_t totalBytes, double seconds, int width) {
    double rate = seconds > 0 ? static_cast<double>(bytes) / seconds : 0;
    double left =
        rate > 0
            ? static_cast<double>(totalBytes - (bytes < totalBytes ? bytes : totalBytes)) / rate
            : -1;
    char tail[160];
    std::snprintf(tail, sizeof tail, " %llu/%llu files  %s/%s  %s/s  ETA %s",
                  static_cast<unsigned long long>(files),
                  static_cast<unsigned long long>(totalFiles),
                  HumanBytes(static_cast<double>(bytes)).c_str(),
                  HumanBytes(static_cast<double>(totalBytes)).c_str(), HumanBytes(rate).c_str(),
                  Duration(left).c_str());
    std::string t = tail;
    int barWidth = width - static_cast<int>(t.size()) - 3;
    if (barWidth < 5) return t.substr(1);
    double part = totalBytes > 0   ? static_cast<double>(bytes) / static_cast<double>(totalBytes)
                  : totalFiles > 0 ? static_cast<double>(files) / static_cast<double>(totalFiles)
                                   : 1.0;
    if (part > 1) part = 1;
    int filled = static_cast<int>(part * barWidth);
    return "[" + std::string(filled, '#') + std::string(barWidth - filled, '.') + "]" + t;
}

void ProgressBar::Advance(std::uint64_t files, std::uint64_t bytes) {
    files_ += files;
    bytes_ += bytes;
    auto now = std::chrono::steady_clock::now();
    if (shown_ && now - lastDraw_ < std::chrono::milliseconds(100) && files_ < totalFiles_) return;
    Redraw();
}

void ProgressBar::Redraw() {
    if (!enabled_) return;
    lastDraw_ = std::chrono::steady_clock::now();
    double seconds = std::chrono::duration<double>(lastDraw_ - start_).count();
    std::string line =
        Format(files_, totalFiles_, bytes_, totalBytes_, seconds, TerminalWidth() - 1);
    if (DumbTerminal())
        std::fprintf(stderr, "\r%-*s", TerminalWidth() - 1, line.c_str());
    else
        std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
    std::fflush(stderr);
    shown_ = true;
}

void ProgressBar::Clear() {
    if (!enabled_ || !shown_) return;
    if (DumbTerminal())
        std::fprintf(stderr, "\r%*s\r", TerminalWidth() - 1, "");
    else
        std::fprintf(stderr, "\r\x1b[K");
    std::fflush(stderr);
    shown_ = false;
}

}  // namespace kaltri
