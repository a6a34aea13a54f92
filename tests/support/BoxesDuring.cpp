#include "tests/support/BoxesDuring.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace testing_support {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kTextId = 0xFFFF;

void CloseWithOwnButton(const MessageBoxInfo& box) {
  if (box.buttons.empty()) {
    ::PostMessageW(box.hwnd, WM_CLOSE, 0, 0);
    return;
  }
  PressButton(box, box.buttons.front().text);
}

// A box is taken once its buttons and text are there; one whose text stays empty (a fault in what
// it was given) is taken all the same after a while, since nobody else would ever close it.
std::optional<MessageBoxInfo> ReadyBox(std::map<HWND, Clock::time_point>& firstSeen) {
  const auto now = Clock::now();
  for (auto& box : OpenBoxes(BoxFilter{::GetCurrentProcessId(), L""})) {
    const auto seen = firstSeen.emplace(box.hwnd, now).first->second;
    const bool filledIn = !::GetDlgItem(box.hwnd, kTextId) || !box.text.empty();
    if (!box.buttons.empty() && (filledIn || now - seen > 3s)) return box;
  }
  return std::nullopt;
}

}  // namespace

std::vector<MessageBoxInfo> BoxesDuring(const std::function<void()>& call,
                                        const std::wstring& button) {
  std::atomic<bool> returned{false};
  std::mutex mutex;
  std::vector<MessageBoxInfo> shown;
  std::thread answerer([&] {
    std::map<HWND, Clock::time_point> firstSeen;
    while (!returned) {
      const auto box = ReadyBox(firstSeen);
      if (!box) {
        std::this_thread::sleep_for(50ms);
        continue;
      }
      bool first = false;
      {
        std::lock_guard<std::mutex> lock(mutex);
        first = shown.empty();
        shown.push_back(*box);
      }
      if (first)
        PressButton(*box, button);
      else
        CloseWithOwnButton(*box);
      // A box without the asked-for button may ignore it; the call must return all the same.
      for (int tries = 0; tries < 6 && !WaitForBoxClosed(box->hwnd, 5s); ++tries)
        CloseWithOwnButton(*box);
      firstSeen.erase(box->hwnd);
    }
  });
  try {
    call();
  } catch (...) {
    returned = true;
    answerer.join();
    throw;
  }
  returned = true;
  answerer.join();
  std::lock_guard<std::mutex> lock(mutex);
  return shown;
}

}  // namespace testing_support
