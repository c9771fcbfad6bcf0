// The progress line on standard error while packing on a terminal: files and
// bytes done, rate and time left, redrawn at most ten times a second.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace kaltri {

class ProgressBar {
public:
    ProgressBar(bool enabled, std::uint64_t totalFiles, std::uint64_t totalBytes);
    ~ProgressBar();

    void Advance(std::uint64_t files, std::uint64_t bytes);
    // Removes the line so that a message can be printed in its place; the
    // next Advance or Redraw draws it again.
    void Clear();
    void Redraw();

    // The line as it would be drawn (for tests).
    static std::string Format(std::uint64_t files, std::uint64_t totalFiles, std::uint64_t bytes,
                              std::uint64_t totalBytes, double seconds, int width);

private:
    bool enabled_;
    bool shown_ = false;
    std::uint64_t totalFiles_, totalBytes_;
    std::uint64_t files_ = 0, bytes_ = 0;
    std::chrono::steady_clock::time_point start_, lastDraw_;
};

std::string HumanBytes(double bytes);

}  // namespace kaltri
