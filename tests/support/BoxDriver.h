// Finds a message box of this or another process, reads it and presses one of its buttons, the
// way a person would. Works on any dialog of class #32770.
#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// The control that holds a message box's text.
constexpr int kBoxTextId = 0xFFFF;

enum class BoxIcon { None, Information, Warning, Error, Question, Unknown };
const wchar_t* IconName(BoxIcon icon);

struct BoxButton {
  int id = 0;
  std::wstring text;  // without the mnemonic ampersand
};

struct MessageBoxInfo {
  HWND hwnd = nullptr;
  DWORD processId = 0;
  std::wstring caption;
  std::wstring text;
  BoxIcon icon = BoxIcon::None;
  std::vector<BoxButton> buttons;

  bool HasButton(const std::wstring& text) const;
  std::wstring ButtonList() const;  // "Yes,No"
};

struct BoxFilter {
  DWORD processId = 0;         // 0: any process
  std::wstring captionPrefix;  // empty: any caption
};

// Waits until a visible box matches; nothing when the time runs out or the filter's process has
// ended.
std::optional<MessageBoxInfo> WaitForBox(std::chrono::milliseconds timeout,
                                         const BoxFilter& filter = {});
// Reads the box now (it must still be open).
std::optional<MessageBoxInfo> ReadBox(HWND box);
// Presses the named button ("OK", "Yes", "No", "Cancel" or the button's own text).
bool PressButton(const MessageBoxInfo& box, const std::wstring& button);
// Waits for a box, presses the button, and returns what the box said.
std::optional<MessageBoxInfo> AnswerBox(std::chrono::milliseconds timeout,
                                        const std::wstring& button, const BoxFilter& filter = {});
// Waits until the box window is gone.
bool WaitForBoxClosed(HWND box, std::chrono::milliseconds timeout);
// Every visible box on the desktop right now.
std::vector<MessageBoxInfo> OpenBoxes(const BoxFilter& filter = {});

}  // namespace testing_support
