#include "tests/support/BoxScript.h"

#include <windows.h>

namespace testing_support {

BoxScript::BoxScript(std::vector<std::wstring> buttons, BoxFilter filter,
                     std::chrono::milliseconds perBox) {
  if (filter.processId == 0) filter.processId = ::GetCurrentProcessId();
  thread_ = std::thread(
      [this, buttons = std::move(buttons), filter, perBox] { Run(buttons, filter, perBox); });
}

BoxScript::~BoxScript() {
  Finish();
}

void BoxScript::Run(std::vector<std::wstring> buttons, BoxFilter filter,
                    std::chrono::milliseconds perBox) {
  for (const std::wstring& button : buttons) {
    auto box = WaitForBox(perBox, filter);
    if (!box) return;
    PressButton(*box, button);
    WaitForBoxClosed(box->hwnd, std::chrono::seconds(10));
    std::lock_guard<std::mutex> lock(mutex_);
    answered_.push_back(*box);
  }
}

std::vector<MessageBoxInfo> BoxScript::Finish() {
  if (thread_.joinable()) thread_.join();
  return Answered();
}

std::vector<MessageBoxInfo> BoxScript::Answered() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return answered_;
}

}  // namespace testing_support
