// Bringing a window to the foreground. A window here is a message-hub
// handle; the window side answers the registered message named below by
// raising and activating itself.
#pragma once

#include "message_hub.h"

#define KT_SET_FOREGROUND_MESSAGE_NAME "kt_setforegroundwindow"

// Asks the window to come to the foreground; false when there is no such
// window.
BOOL SetForegroundWindow(HWND wnd);
