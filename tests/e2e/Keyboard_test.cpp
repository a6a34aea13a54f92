// The real Uninstaller.exe with the keyboard alone: real key strokes (SendInput) walk its
// controls, press its buttons, answer its boxes and close it, the way a person without a mouse
// does, from the start to the request for feedback.
#include "tests/e2e/UninstallerFixture.h"

using namespace testing_support;

namespace {

// The keyboard's focus in the uninstaller's window, as its thread has it.
HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

void Press(WORD key, bool shift = false, bool alt = false) {
  std::vector<INPUT> strokes;
  const auto add = [&](WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    strokes.push_back(input);
  };
  if (alt) add(VK_MENU, false);
  if (shift) add(VK_SHIFT, false);
  add(key, false);
  add(key, true);
  if (shift) add(VK_SHIFT, true);
  if (alt) add(VK_MENU, true);
  ::SendInput(static_cast<UINT>(strokes.size()), strokes.data(), sizeof(INPUT));
}

class Keyboard : public UninstallerFixture {
 protected:
  // The uninstaller in front with its Uninstall button usable, as a user finds it.
  void StartInFront() {
    InstallBoth();
    ASSERT_NE(StartUninstaller(), nullptr);
    ASSERT_TRUE(WaitForEnabled(Button(L"Uninstall"), true, 30s)) << "the countdown";
    ::SetForegroundWindow(window_);
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == window_; }, 10s));
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(window_) != nullptr; }, 10s));
  }

  // Presses Tab (or Shift+Tab) and waits until the focus has moved.
  HWND Step(bool back = false) {
    const HWND before = FocusOf(window_);
    Press(VK_TAB, back);
    WaitUntil([&] { return FocusOf(window_) != before; }, 10s);
    return FocusOf(window_);
  }

  // The controls that take the focus, in the designed order, from the log pane on.
  std::vector<HWND> DesignedOrder() const {
    HWND browse = nullptr;
    for (HWND child : Descendants(window_))
      if (ClassOf(child) == L"TEditButton") browse = child;
    return {Log(),
            PathField(),
            browse,
            Button(L"^"),
            Button(L"Uninstall"),
            Button(L"How to reset program to factory default?"),
            Button(L"Send feedback")};
  }

  // Moves the focus to the control with Tab strokes alone.
  void TabTo(HWND control) {
    for (int i = 0; i < 10 && FocusOf(window_) != control; ++i) Step();
    ASSERT_EQ(FocusOf(window_), control) << "not reached with Tab: " << Wide2Utf8(TextOf(control));
  }

  // Waits for the next box of the copy and answers it with a key.
  MessageBoxInfo AnswerWithKey(WORD key) {
    auto box = WaitForBox(60s, BoxFilter{pid_, L""});
    if (!box) {
      ADD_FAILURE() << "no box came";
      return {};
    }
    ExpectModal(*box);
    WaitUntil([&] { return ::GetForegroundWindow() == box->hwnd; }, 10s);
    Press(key);
    EXPECT_TRUE(WaitForBoxClosed(box->hwnd, 30s))
        << "the key did not answer " << Wide2Utf8(box->text);
    return *box;
  }
};

TEST_F(Keyboard, TabAndShiftTabWalkTheControlsInTheDesignedOrder) {
  StartInFront();
  const std::vector<HWND> order = DesignedOrder();
  for (HWND control : order) ASSERT_NE(control, nullptr);
  TabTo(order[0]);
  for (size_t i = 1; i <= order.size(); ++i)
    EXPECT_EQ(Step(), order[i % order.size()]) << "Tab from " << Wide2Utf8(ClassOf(order[i - 1]));
  for (size_t i = order.size(); i-- > 0;)
    EXPECT_EQ(Step(true), order[i]) << "Shift+Tab to " << Wide2Utf8(ClassOf(order[i]));
  CloseWindow();
}

// A focused control shows that it has the focus: what the screen shows of it changes when the
// focus arrives, and changes back when it leaves.
TEST_F(Keyboard, FocusIsVisibleOnEveryButton) {
  StartInFront();
  const std::vector<HWND> order = DesignedOrder();
  for (size_t i = 2; i < order.size(); ++i) {
    HWND control = order[i];
    TabTo(order[i - 1]);
    PaintAndWaitUntilStill(control, 10s);
    const bool changed = [&] {
      SaveWindowPng(control, SandboxDir() + L"\\state\\unfocused.png");
      const std::string before = ReadFileBytes(SandboxDir() + L"\\state\\unfocused.png");
      Step();
      PaintAndWaitUntilStill(control, 10s);
      SaveWindowPng(control, SandboxDir() + L"\\state\\focused.png");
      return ReadFileBytes(SandboxDir() + L"\\state\\focused.png") != before;
    }();
    EXPECT_EQ(FocusOf(window_), control);
    EXPECT_TRUE(changed) << "no focus shown on " << Wide2Utf8(ClassOf(control)) << " "
                         << Wide2Utf8(TextOf(control));
  }
  CloseWindow();
}

TEST_F(Keyboard, AWholeUninstallWithTheKeyboardAlone) {
  StartInFront();
  HWND uninstall = Button(L"Uninstall");
  TabTo(uninstall);
  // Space presses the focused button; N answers the question, and the focus is back on the
  // button that asked it.
  Press(VK_SPACE);
  EXPECT_NE(AnswerWithKey('N').text.find(L"Are you sure"), std::wstring::npos);
  EXPECT_TRUE(WaitUntil([&] { return FocusOf(window_) == uninstall; }, 10s)) << "focus after No";
  // Enter presses it as well; the questions are answered with Y, the request for feedback with
  // Enter.
  Press(VK_RETURN);
  EXPECT_NE(AnswerWithKey('Y').text.find(L"Are you sure"), std::wstring::npos);
  EXPECT_TRUE(WaitUntil([&] { return FocusOf(window_) == uninstall; }, 10s)) << "focus after Yes";
  EXPECT_NE(AnswerWithKey('Y').text.find(L"Do you approve deletion"), std::wstring::npos);
  EXPECT_EQ(AnswerWithKey(VK_RETURN).text, kFeedbackRequest);
  ASSERT_TRUE(Ended());
  EXPECT_FALSE(DirExists(installDir_));
  EXPECT_FALSE(DirExists(dataDir_));
  ExpectSelfDeleted();
}

// While an uninstall runs, the window stays: a request to close it that reaches the window behind
// its box (the taskbar's, say) is refused, and once the uninstall stops Esc closes it.
TEST_F(Keyboard, CloseRequestsAreRefusedWhileAnUninstallRuns) {
  StartInFront();
  TabTo(Button(L"Uninstall"));
  Press(VK_SPACE);
  auto box = WaitForBox(60s, BoxFilter{pid_, L""});
  ASSERT_TRUE(box);
  ASSERT_NE(box->text.find(L"Are you sure"), std::wstring::npos);
  // Each request is handled by the time the call returns.
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(window_, WM_CLOSE, 0, 0, SMTO_NORMAL, 10000, &ignored);
  ::SendMessageTimeoutW(window_, WM_SYSCOMMAND, SC_CLOSE, 0, SMTO_NORMAL, 10000, &ignored);
  ASSERT_TRUE(::IsWindow(window_)) << "the window closed under its box";
  WaitUntil([&] { return ::GetForegroundWindow() == box->hwnd; }, 10s);
  Press('N');
  ASSERT_TRUE(WaitForBoxClosed(box->hwnd, 30s));
  EXPECT_TRUE(::IsWindow(window_));
  EXPECT_TRUE(DirExists(installDir_));
  ASSERT_TRUE(WaitUntil([&] { return FocusOf(window_) != nullptr; }, 10s));
  Press(VK_ESCAPE);
  EXPECT_TRUE(Ended()) << "Esc closes the window once the uninstall has stopped";
}

TEST_F(Keyboard, EnterInThePathFieldPressesSendFeedback) {
  StartInFront();
  TabTo(PathField());
  Press(VK_RETURN);
  EXPECT_TRUE(WaitUntil(
      [] { return TimesRecorded(L"xdg-email", L"mailto:support@example.com") == 1; }, 30s));
  EXPECT_TRUE(WaitUntil([] { return TimesRecorded(L"xdg-open", kFeedbackPage) == 1; }, 30s));
  EXPECT_TRUE(DirExists(installDir_)) << "nothing else happened";
  CloseWindow();
}

TEST_F(Keyboard, EscapeClosesTheWindowWhenNoUninstallRuns) {
  StartInFront();
  TabTo(Button(L"Send feedback"));
  Press(VK_ESCAPE);
  EXPECT_TRUE(Ended()) << "Esc closes the window";
  EXPECT_TRUE(DirExists(installDir_));
}

TEST_F(Keyboard, AltF4ClosesTheWindowWhenNoUninstallRuns) {
  StartInFront();
  Press(VK_F4, false, true);
  EXPECT_TRUE(Ended()) << "Alt+F4 closes the window";
  EXPECT_TRUE(DirExists(installDir_));
}

}  // namespace
