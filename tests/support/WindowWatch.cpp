#include "tests/support/WindowWatch.h"

#include <algorithm>

namespace testing_support {
namespace {

// The hook's callback has no context of its own; one watch runs at a time.
WindowWatch* current = nullptr;

std::vector<HWND> VisibleTopLevelWindows() {
  std::vector<HWND> windows;
  ::EnumWindows(
      [](HWND hwnd, LPARAM list) CALLBACK -> BOOL {
        if (::IsWindowVisible(hwnd)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

}  // namespace

WindowWatch::WindowWatch() : before_(VisibleTopLevelWindows()) {
  current = this;
  thread_ = std::thread([this] { Run(); });
  while (!ready_) ::Sleep(1);
}

WindowWatch::~WindowWatch() {
  Stop();
}

std::vector<SeenWindow> WindowWatch::Stop() {
  if (thread_.joinable()) {
    stop_ = true;
    thread_.join();
    current = nullptr;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return seen_;
}

std::vector<SeenWindow> WindowWatch::Of(const std::vector<SeenWindow>& seen, DWORD pid) {
  std::vector<SeenWindow> of;
  std::copy_if(seen.begin(), seen.end(), std::back_inserter(of),
               [pid](const SeenWindow& w) { return w.pid == pid; });
  return of;
}

void WindowWatch::Note(HWND hwnd) {
  if (!::IsWindow(hwnd) || ::GetAncestor(hwnd, GA_PARENT) != ::GetDesktopWindow()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (std::find(before_.begin(), before_.end(), hwnd) != before_.end()) return;
  for (const SeenWindow& seen : seen_)
    if (seen.hwnd == hwnd) return;
  SeenWindow seen;
  seen.hwnd = hwnd;
  ::GetWindowThreadProcessId(hwnd, &seen.pid);
  wchar_t text[512] = {};
  ::GetClassNameW(hwnd, text, 512);
  seen.className = text;
  text[0] = L'\0';
  ::InternalGetWindowText(hwnd, text, 512);
  seen.caption = text;
  seen_.push_back(seen);
}

void CALLBACK WindowWatch::OnShow(HWINEVENTHOOK, DWORD, HWND hwnd, LONG object, LONG child, DWORD,
                                  DWORD) {
  if (current && hwnd && object == OBJID_WINDOW && child == CHILDID_SELF) current->Note(hwnd);
}

void WindowWatch::Run() {
  HWINEVENTHOOK hook = ::SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, nullptr, OnShow, 0,
                                         0, WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
  ready_ = true;
  while (!stop_) {
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    for (HWND hwnd : VisibleTopLevelWindows()) Note(hwnd);
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
  }
  if (hook) ::UnhookWinEvent(hook);
}

}  // namespace testing_support
