#include "message_hub.h"

#include <cctype>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

namespace {

struct Window {
    WNDPROC_HUB proc;
    void* user;
};

struct Hub {
    std::mutex lock;
    std::map<std::string, UINT> messages;  // keyed by the lower-cased name
    UINT nextMessage = 0xC000;
    std::unordered_map<DWORD, Window> windows;
    DWORD nextWindow = 1;
};

Hub& hub() {
    static Hub* instance = new Hub;  // never destroyed: libraries may outlive static teardown
    return *instance;
}

}  // namespace

extern "C" UINT RegisterWindowMessage(LPCSTR name) {
    if (name == nullptr || *name == '\0') return 0;
    std::string key(name);
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    Hub& h = hub();
    std::lock_guard<std::mutex> guard(h.lock);
    auto it = h.messages.find(key);
    if (it != h.messages.end()) return it->second;
    if (h.nextMessage > 0xFFFF) return 0;
    UINT id = h.nextMessage++;
    h.messages.emplace(std::move(key), id);
    return id;
}

extern "C" HWND CreateMessageWindow(WNDPROC_HUB proc, void* user) {
    if (proc == nullptr) return nullptr;
    Hub& h = hub();
    std::lock_guard<std::mutex> guard(h.lock);
    DWORD id = h.nextWindow++;
    if (h.nextWindow == 0) h.nextWindow = 1;
    h.windows[id] = Window{proc, user};
    return NumberToHandle(id);
}

extern "C" BOOL DestroyMessageWindow(HWND wnd) {
    Hub& h = hub();
    std::lock_guard<std::mutex> guard(h.lock);
    return h.windows.erase(HandleToNumber(wnd)) != 0 ? TRUE : FALSE;
}

extern "C" BOOL IsWindow(HWND wnd) {
    Hub& h = hub();
    std::lock_guard<std::mutex> guard(h.lock);
    return h.windows.count(HandleToNumber(wnd)) != 0 ? TRUE : FALSE;
}

extern "C" LRESULT SendMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window target{};
    {
        Hub& h = hub();
        std::lock_guard<std::mutex> guard(h.lock);
        auto it = h.windows.find(HandleToNumber(wnd));
        if (it == h.windows.end()) return 0;
        target = it->second;
    }
    return target.proc(wnd, msg, wParam, lParam, target.user);
}
