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

// Restores the window, on a thread of its own.
DWORD WINAPI Restore(void* parameter) {
  return RestoreWindow(static_cast<HWND>(parameter)) ? 1 : 0;
}

// RestoreWindow, waited for at most `timeout` ms: a thread still held by the window then goes on
// by itself and ends with the process at the latest. False when it did not end in time.
bool RestoreWithin(HWND window, DWORD timeout) {
  // This thread's own window cannot keep it waiting, and would wait for it.
  if (::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId())
    return RestoreWindow(window);
  tk::UniqueHandle thread(::CreateThread(nullptr, 0, Restore, window, 0, nullptr));
  return thread && ::WaitForSingleObject(thread.get(), timeout) == WAIT_OBJECT_0;
}

// The window's thread handles messages now: it answers an empty one within `timeout` ms.
bool Answers(HWND window, UINT timeout) {
  DWORD_PTR reply = 0;
  return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, timeout,
                               &reply) != 0;
}

}  // namespace

HWND FindWindowByClass(const std::wstring& className) {
  return ::FindWindowW(className.c_str(), nullptr);
}

bool ActivateWindow(HWND window) {
  tk::Assert(window != nullptr, L"ActivateWindow - the window handle is empty!", kCWindowModule);
  // A window that hangs, or never answers this message, must not hang the caller with it.
  DWORD_PTR reply = 0;
  const bool answered =
      ::SendMessageTimeoutW(window, WM_ACTIVATE_INSTANCE, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                            kActivateReplyTimeoutMs, &reply) != 0;
  // Moving another thread's window waits for that thread; one that did not answer would keep
  // us waiting for good, and one that answered may stop answering now. Borrowing its input state
  // (which keeps the windows this thread shows next, the warning about the running program, in
  // front) waits for it too: only while it still answers.
  if (answered && RestoreWithin(window, kActivateReplyTimeoutMs) &&
      Answers(window, kActivateReplyTimeoutMs))
    return ForceForeground(window);
  if (!answered) RestoreWindowAsync(window);
  // Sharing input state with a thread that does not run would make the activation wait for it.
  return ForegroundWithoutAttach(window);
}

bool ForegroundWithoutAttach(HWND window) {
  if (::GetForegroundWindow() == window) return true;
  return ::SetForegroundWindow(window) != FALSE;
}

bool RestoreWindow(HWND window) {
  WINDOWPLACEMENT placement;
  if (!ReadPlacement(window, placement)) return false;
  placement.showCmd = RestoreCommand(placement);
  if (::SetWindowPlacement(window, &placement)) return true;
  // Some systems refuse to place another program's window; its own thread can still be asked
  // to show itself, and then restores a maximised window as maximised by itself.
  if (::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId()) return false;
  return ::ShowWindowAsync(window, static_cast<int>(placement.showCmd)) != FALSE;
}

bool RestoreWindowAsync(HWND window) {
  WINDOWPLACEMENT placement;
  if (!ReadPlacement(window, placement)) return false;
  return ::ShowWindowAsync(window, static_cast<int>(RestoreCommand(placement))) != FALSE;
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
