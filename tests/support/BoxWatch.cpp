#include "tests/support/BoxWatch.h"

#include <chrono>

namespace testing_support {

BoxWatch::BoxWatch(std::wstring button) : button_(std::move(button)) {
  thread_ = std::thread([this] {
    const BoxFilter ours{::GetCurrentProcessId(), L""};
    while (!stop_) {
      auto box = WaitForBox(std::chrono::milliseconds(100), ours);
      if (!box) continue;
      PressButton(*box, button_);
      WaitForBoxClosed(box->hwnd, std::chrono::seconds(5));
      answered_ = box;
      return;
    }
  });
}

BoxWatch::~BoxWatch() {
  Stop();
}

std::optional<MessageBoxInfo> BoxWatch::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  return answered_;
}

}  // namespace testing_support
