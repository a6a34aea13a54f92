#include "OrvexCommonControls/cWindow.h"

#include "toolkit/Errors.h"
#include "toolkit/Handles.h"

namespace {

constexpr wchar_t kCWindowModule[] = L"cWindow";

// The show command that brings the window back as the user last saw it un-minimised.
UINT RestoreCommand(const WINDOWPLACEMENT& placement) {
  return (placement.flags & WPF_RESTORETOMAXIMIZED) ? SW_SHOWMAXIMIZED : SW_RESTORE;
}

bool ReadPlacement(HWND window, WINDOWPLACEMENT& placement) {
  placement = WINDOWPLACEMENT{};
  placement.length = 44;
  static_assert(sizeof(WINDOWPLACEMENT) == 44);
  return ::GetWindowPlacement(window, &placement) != FALSE;
}

}  // namespace

HWND FindWindowByClass(const std::wstring& className) {
  return ::FindWindowW(className.c_str(), nullptr);
}

bool ActivateWindow(HWND window) {
  tk::Assert(window != nullptr, L"ActivateWindow - the window handle is empty!", kCWindowModule);
  // Bounded: a window that hangs, or never answers this message, must not hang the caller with
  // it.
  DWORD_PTR reply = 0;
  const bool answered =
      ::SendMessageTimeoutW(window, WM_ACTIVATE_INSTANCE, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                            kActivateReplyTimeoutMs, &reply) != 0;
  RestoreWindow(window);
  // Borrowing the window's input state keeps the windows this thread shows next (the warning
  // about the running program) in front, but makes the activation wait for the window's thread:
  // only while it still answers (one that answered may have stopped since).
  DWORD_PTR still = 0;
  const bool answers =
      answered && ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                                        kActivateReplyTimeoutMs, &still) != 0;
  return answers ? ForceForeground(window) : ForegroundWithoutAttach(window);
}

bool ForegroundWithoutAttach(HWND window) {
  if (::GetForegroundWindow() == window) return true;
  return ::SetForegroundWindow(window) != FALSE;
}

bool RestoreWindow(HWND window) {
  WINDOWPLACEMENT placement;
  if (!ReadPlacement(window, placement)) return false;
  placement.showCmd = RestoreCommand(placement);
  const bool ownThread = ::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId();
  // Another thread's window gets the placement posted, not waited for.
  if (!ownThread) placement.flags |= WPF_ASYNCWINDOWPLACEMENT;
  if (::SetWindowPlacement(window, &placement)) return true;
  // Some systems refuse to place another program's window; its own thread can still be asked
  // to show itself, and then restores a maximised window as maximised by itself.
  if (ownThread) return false;
  return ::ShowWindowAsync(window, static_cast<int>(placement.showCmd)) != FALSE;
}

bool ForceForeground(HWND window) {
  const HWND foreground = ::GetForegroundWindow();
  if (foreground == window) return true;
  const DWORD windowThread = ::GetWindowThreadProcessId(window, nullptr);
  const DWORD foregroundThread = ::GetWindowThreadProcessId(foreground, nullptr);
  if (windowThread == foregroundThread) return ::SetForegroundWindow(window) != FALSE;

  bool first = false;
  {
    const bool attached = ::AttachThreadInput(foregroundThread, windowThread, TRUE) != FALSE;
    tk::ScopeExit detach([&] {
      if (attached) ::AttachThreadInput(foregroundThread, windowThread, FALSE);
    });
    first = ::SetForegroundWindow(window) != FALSE;
  }
  if (!first) return false;
  return ::SetForegroundWindow(window) != FALSE;
}
