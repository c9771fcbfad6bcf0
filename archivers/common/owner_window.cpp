#include "owner_window.h"

#include <cstring>

#include "platform/message_hub.h"

namespace kt::arc {

bool OwnerWindow::Set(HWND wnd) {
    if (!wnd || !IsWindow(wnd)) return false;
    std::lock_guard lock(mutex_);
    if (wnd_ && wnd_ != wnd) return false;
    wnd_ = wnd;
    return true;
}

bool OwnerWindow::Kill(HWND wnd) {
    std::lock_guard lock(mutex_);
    if (!wnd_ || wnd_ != wnd) return false;
    wnd_ = nullptr;
    return true;
}

bool OwnerWindow::Active() const {
    std::lock_guard lock(mutex_);
    return wnd_ != nullptr;
}

HWND OwnerWindow::Window() const {
    std::lock_guard lock(mutex_);
    return wnd_;
}

bool OwnerWindow::Send(UINT state, EXTRACTINGINFOEX* info) {
    HWND wnd;
    {
        std::lock_guard lock(mutex_);
        wnd = wnd_;
    }
    if (!wnd) return false;
    // The message number is looked up per send: cheap, and always the hub's.
    UINT msg = RegisterWindowMessage(WM_ARCEXTRACT_NAME);
    return SendMessage(wnd, msg, state, reinterpret_cast<LPARAM>(info)) != 0;
}

void CopyFixed(char* field, std::size_t fieldSize, std::string_view text) {
    if (fieldSize == 0) return;
    std::size_t n = text.size() < fieldSize - 1 ? text.size() : fieldSize - 1;
    // Step back over a cut UTF-8 continuation so the field stays valid text.
    if (n < text.size()) {
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, fieldSize - n);
}

}  // namespace kt::arc
