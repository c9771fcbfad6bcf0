#include "foreground_window.h"

BOOL SetForegroundWindow(HWND wnd) {
    if (!IsWindow(wnd)) return FALSE;
    SendMessage(wnd, RegisterWindowMessage(KT_SET_FOREGROUND_MESSAGE_NAME), 0, 0);
    return TRUE;
}
