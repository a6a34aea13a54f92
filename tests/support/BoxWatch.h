// Watches for a message box of this process while a call that may show one runs on the test
// thread, presses the given button, and tells afterwards what (if anything) was shown.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "tests/support/BoxDriver.h"

namespace testing_support {

class BoxWatch {
 public:
  explicit BoxWatch(std::wstring button);
  ~BoxWatch();
  BoxWatch(const BoxWatch&) = delete;
  BoxWatch& operator=(const BoxWatch&) = delete;

  // Stops watching; the first box that was answered, if any.
  std::optional<MessageBoxInfo> Stop();

 private:
  std::wstring button_;
  std::atomic<bool> stop_{false};
  std::optional<MessageBoxInfo> answered_;
  std::thread thread_;
};

}  // namespace testing_support
