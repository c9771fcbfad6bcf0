/* The message hub: the stand-in for window handles and window messages.

   A window handle is a number the hub hands out for a handler function;
   RegisterWindowMessage gives one process-wide number per name from 0xC000
   up; SendMessage calls the handler synchronously on the calling thread.
   The hub is one small shared library that the program and every archiver
   library link, so a library can send progress to a window of the program.
   All functions are safe to call from several threads; handlers run outside
   the hub's lock, so a handler may itself send messages. */
#ifndef KT_PLATFORM_MESSAGE_HUB_H
#define KT_PLATFORM_MESSAGE_HUB_H

#include "windows_types.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef LRESULT (*WNDPROC_HUB)(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, void* user);

/* Same number for the same name (case-insensitive, as on Windows), counting
   up from 0xC000; 0 for an empty or null name. */
UINT RegisterWindowMessage(LPCSTR name);

/* A hidden message-only window whose messages go to proc with user. */
HWND CreateMessageWindow(WNDPROC_HUB proc, void* user);
BOOL DestroyMessageWindow(HWND wnd);
BOOL IsWindow(HWND wnd);

/* Calls the window's handler and returns its result; 0 for a window that
   does not exist (handle 0 included). */
LRESULT SendMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

/* The handle as the 32-bit number that the design stores in its fields. */
static inline DWORD HandleToNumber(HWND wnd) { return (DWORD)(uintptr_t)wnd; }
static inline HWND NumberToHandle(DWORD n) { return (HWND)(uintptr_t)n; }

#ifdef __cplusplus
}
#endif

#endif
