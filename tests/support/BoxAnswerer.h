// Answers the message boxes and dialogs (#32770) that this process shows while the test thread
// is busy in a call that shows them (they are modal inside the call), from a thread of its own.
// For another program's boxes, use BoxDriver.h's WaitForBox, AnswerBox and PressButton directly.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/BoxDriver.h"

namespace testing_support {

class BoxAnswerer {
 public:
  // Presses buttons[i] on the i-th box; every later box, and one that its button does not close,
  // gets `then` (empty: the box's own first button), so that a call showing more boxes than its
  // test expects returns, and the test fails on what it was shown instead of hanging. Without
  // `then`, boxes after the listed ones are left open for the test.
  explicit BoxAnswerer(std::vector<std::wstring> buttons = {},
                       std::optional<std::wstring> then = L"OK");
  // Runs the test's own steps on the first dialog that opens (a file or folder picker, driven
  // through its controls); a dialog the steps leave open is cancelled.
  explicit BoxAnswerer(std::function<void(HWND)> steps);
  ~BoxAnswerer();
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

  // Stops now; the boxes answered, in order.
  std::vector<MessageBoxInfo> Stop();
  // Stops now; the first box answered, if one came.
  std::optional<MessageBoxInfo> StopAtFirst();
  // Waits until every listed button has been pressed, or until the next box has not come within
  // perBox; then stops. The boxes answered, in order.
  std::vector<MessageBoxInfo> Finish(std::chrono::milliseconds perBox = std::chrono::seconds(30));
  std::vector<MessageBoxInfo> Answered() const;
  // For the steps: a dialog opened, and the steps left it open.
  bool Opened();
  bool LeftOpen();

 private:
  void Answer(const std::vector<std::wstring>& buttons, const std::optional<std::wstring>& then);
  void Drive(const std::function<void(HWND)>& steps);

  std::atomic<bool> stop_{false};
  std::atomic<bool> opened_{false};
  std::atomic<bool> leftOpen_{false};
  size_t expected_ = 0;
  mutable std::mutex mutex_;
  std::vector<MessageBoxInfo> answered_;
  std::thread thread_;
};

// Runs the call while a BoxAnswerer presses `button` on the first box and closes every further
// one with its own first button; the boxes shown, in order.
std::vector<MessageBoxInfo> BoxesDuring(const std::function<void()>& call,
                                        const std::wstring& button);

}  // namespace testing_support
