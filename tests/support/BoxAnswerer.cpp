#include "tests/support/BoxAnswerer.h"

#include <windows.h>

#include <map>
#include <optional>

#include "tests/support/Wait.h"

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;

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
    const bool filledIn = !::GetDlgItem(box.hwnd, kBoxTextId) || !box.text.empty();
    if (!box.buttons.empty() && (filledIn || now - seen > 3s)) return box;
  }
  return std::nullopt;
}

// A visible dialog of this process, other than `except`.
HWND OurDialog(HWND except) {
  HWND found = nullptr;
  while ((found = ::FindWindowExW(nullptr, found, L"#32770", nullptr))) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(found, &pid);
    if (found != except && pid == ::GetCurrentProcessId() && ::IsWindowVisible(found)) return found;
  }
  return nullptr;
}

}  // namespace

BoxAnswerer::BoxAnswerer(std::vector<std::wstring> buttons, std::optional<std::wstring> then)
    : expected_(buttons.size()) {
  thread_ = std::thread(
      [this, buttons = std::move(buttons), then = std::move(then)] { Answer(buttons, then); });
}

BoxAnswerer::BoxAnswerer(std::function<void(HWND)> steps) {
  thread_ = std::thread([this, steps = std::move(steps)] { Drive(steps); });
}

BoxAnswerer::~BoxAnswerer() {
  Stop();
}

void BoxAnswerer::Answer(const std::vector<std::wstring>& buttons,
                         const std::optional<std::wstring>& then) {
  std::map<HWND, Clock::time_point> firstSeen;
  while (!stop_) {
    if (!then && Answered().size() >= buttons.size()) return;
    const auto box = ReadyBox(firstSeen);
    if (!box) {
      std::this_thread::sleep_for(50ms);
      continue;
    }
    size_t index = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      index = answered_.size();
      answered_.push_back(*box);
    }
    const std::wstring button = index < buttons.size() ? buttons[index] : then.value_or(L"");
    if (button.empty())
      CloseWithOwnButton(*box);
    else
      PressButton(*box, button);
    // A box without the asked-for button may ignore it; the call must return all the same.
    for (int tries = 0; tries < 6 && !WaitForBoxClosed(box->hwnd, 5s); ++tries)
      CloseWithOwnButton(*box);
    firstSeen.erase(box->hwnd);
  }
}

void BoxAnswerer::Drive(const std::function<void(HWND)>& steps) {
  HWND dialog = nullptr;
  if (!WaitUntil([&] { return stop_ || (dialog = OurDialog(nullptr)) != nullptr; }, 20s, 50ms) ||
      !dialog)
    return;
  opened_ = true;
  steps(dialog);
  if (WaitUntil([&] { return !::IsWindow(dialog); }, 10s, 50ms)) return;
  leftOpen_ = true;
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDCANCEL)));
}

std::vector<MessageBoxInfo> BoxAnswerer::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  return Answered();
}

std::optional<MessageBoxInfo> BoxAnswerer::StopAtFirst() {
  const std::vector<MessageBoxInfo> boxes = Stop();
  if (boxes.empty()) return std::nullopt;
  return boxes.front();
}

std::vector<MessageBoxInfo> BoxAnswerer::Finish(std::chrono::milliseconds perBox) {
  for (size_t seen = Answered().size(); seen < expected_; seen = Answered().size())
    if (!WaitUntil([&] { return Answered().size() > seen; }, perBox)) break;
  return Stop();
}

std::vector<MessageBoxInfo> BoxAnswerer::Answered() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return answered_;
}

bool BoxAnswerer::Opened() {
  if (thread_.joinable()) thread_.join();
  return opened_;
}

bool BoxAnswerer::LeftOpen() {
  if (thread_.joinable()) thread_.join();
  return leftOpen_;
}

std::vector<MessageBoxInfo> BoxesDuring(const std::function<void()>& call,
                                        const std::wstring& button) {
  BoxAnswerer answerer({button}, L"");
  call();
  return answerer.Stop();
}

}  // namespace testing_support
