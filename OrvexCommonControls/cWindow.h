// Window helpers: find a top-level window by its class, and bring a window of this or another
// program back on screen and to the front.
#pragma once

#include <windows.h>

#include <string>

// The private message that tells a running program to come forward (WM_USER + 65).
inline constexpr UINT WM_ACTIVATE_INSTANCE = WM_USER + 65;
// How long ActivateWindow waits for the window to handle that message.
inline constexpr UINT kActivateReplyTimeoutMs = 3000;

// A top-level window whose class name equals className, or nullptr.
HWND FindWindowByClass(const std::wstring& className);

// Sends WM_ACTIVATE_INSTANCE, restores the window and brings it to the front. Nothing waits on
// the window's thread for longer than kActivateReplyTimeoutMs at a time: the restore is handed
// to the window's thread, and a window that did not answer, or no longer answers after that, is
// brought forward without sharing its input state. True when the window ended in the
// foreground. A null window is a programming error (assertion in cWindow).
bool ActivateWindow(HWND window);

// Shows a minimised or hidden window again: maximised when it was maximised before being
// minimised, otherwise at its normal size. Another thread's window is never waited for: the
// placement is posted to it, or, where the system refuses to place another program's window,
// the window is asked to show itself. True when the placement was applied or handed over.
bool RestoreWindow(HWND window);

// Makes the window the foreground window, borrowing the foreground thread's input state for
// the first attempt. True when it is (or became) the foreground window.
bool ForceForeground(HWND window);
// One plain foreground request, for a window whose thread does not answer.
bool ForegroundWithoutAttach(HWND window);
