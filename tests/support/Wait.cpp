#include "tests/support/Wait.h"

#include <windows.h>

namespace testing_support {

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(interval.count()),
                                QS_ALLINPUT);
  }
}

void PumpTicks(std::chrono::milliseconds interval, int ticks) {
  const UINT_PTR timer = ::SetTimer(nullptr, 0, static_cast<UINT>(interval.count()), nullptr);
  int fired = 0;
  while (fired < ticks) {
    MSG msg{};
    if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) {
      // Leave the quit request for whoever runs the loop.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (msg.message == WM_TIMER && !msg.hwnd && msg.wParam == timer) {
      ++fired;
      continue;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  ::KillTimer(nullptr, timer);
}

void PumpUntilIdle() {
  MSG msg{};
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

}  // namespace testing_support
