// The owner window of an archiver library: the bookkeeping behind
// SetOwnerWindowEx / KillOwnerWindowEx and the progress message
// "wm_arcextract" sent to that window through the message hub. Each library
// holds one OwnerWindow object of its own.
#pragma once

#include <mutex>
#include <string_view>

#include "platform/archiver_api.h"

namespace kt::arc {

class OwnerWindow {
public:
    // Registers wnd; false for a null or unknown window or while another
    // window is registered (the same window again is accepted).
    bool Set(HWND wnd);
    // Unregisters wnd; false when wnd is not the registered window.
    bool Kill(HWND wnd);
    bool Active() const;
    // The registered window, null when none.
    HWND Window() const;
    // Sends "wm_arcextract" with state and info to the registered window.
    // True when the window replied non-zero, i.e. asked to stop. Without a
    // registered window nothing is sent and the answer is false.
    bool Send(UINT state, EXTRACTINGINFOEX* info);

private:
    mutable std::mutex mutex_;
    HWND wnd_ = nullptr;
};

// Copies text into a fixed-size record field, cut to fit (never inside a
// UTF-8 character) and always terminated.
void CopyFixed(char* field, std::size_t fieldSize, std::string_view text);

template <std::size_t N>
void CopyFixed(char (&field)[N], std::string_view text) {
    CopyFixed(field, N, text);
}

}  // namespace kt::arc
