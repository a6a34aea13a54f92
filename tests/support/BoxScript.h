// Answers a known sequence of message boxes from a thread of its own while the test thread is
// busy (for example inside a click handler that shows them), and keeps what each box said.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/BoxDriver.h"

namespace testing_support {

class BoxScript {
 public:
  // Presses buttons[i] on the i-th box that matches the filter (by default: boxes of this
  // process). Gives up when a box does not come within perBox.
  explicit BoxScript(std::vector<std::wstring> buttons, BoxFilter filter = {},
                     std::chrono::milliseconds perBox = std::chrono::seconds(30));
  ~BoxScript();
  BoxScript(const BoxScript&) = delete;
  BoxScript& operator=(const BoxScript&) = delete;

  // Waits until the script has run out (every box answered, or one did not come), then returns
  // the boxes that were answered, in order.
  std::vector<MessageBoxInfo> Finish();
  // The boxes answered so far.
  std::vector<MessageBoxInfo> Answered() const;

 private:
  void Run(std::vector<std::wstring> buttons, BoxFilter filter, std::chrono::milliseconds perBox);

  mutable std::mutex mutex_;
  std::vector<MessageBoxInfo> answered_;
  std::thread thread_;
};

}  // namespace testing_support
