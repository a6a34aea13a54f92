// The application object: title, main form, message loop, termination, and the report of every
// exception that reaches the message-dispatch boundary.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

namespace tk {

class Application {
 public:
  static Application& Instance();

  // Common controls, rich edit, COM for the shell.
  void Initialize();

  void SetTitle(const std::wstring& title) { title_ = title; }

  HWND MainFormHandle() const { return mainForm_; }
  void SetMainFormHandle(HWND hwnd) { mainForm_ = hwnd; }

  // Asks the message loop to end; the current handler returns first. From then on the process
  // shows nothing of its own: no form opens and no box appears (ShowMessageBox, TForm::Show).
  void Terminate();
  bool Terminated() const { return terminated_; }

  // The owner of a modal box: this thread's active window, or the main form when the thread has
  // none (another program has just been brought to the front), so that the main window stays
  // disabled for as long as the box is open.
  HWND DialogOwner() const;
  // A modal message box (MessageBoxW) owned by DialogOwner; 0 and nothing shown once termination
  // was requested.
  int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned flags) const;

  // Runs the loop until a quit request; returns the exit code.
  int Run();
  // Handles what is waiting in the queue, then returns.
  void ProcessMessages();

  // Shows the error to the user. Called at every message-dispatch boundary.
  void HandleException(std::exception_ptr error);
  // Replaces the report (tests record what would have been shown).
  std::function<void(const std::wstring& message)> OnException;

 private:
  Application() = default;
  void Dispatch(MSG& msg);

  std::wstring title_;
  HWND mainForm_ = nullptr;
  bool terminated_ = false;
};

inline Application& App() {
  return Application::Instance();
}

// The text that the report shows for an exception.
std::wstring ExceptionText(std::exception_ptr error);

// Runs f; an exception that escapes it is reported instead of unwinding into Windows' frames.
template <typename F>
void Guarded(F&& f) {
  try {
    f();
  } catch (...) {
    App().HandleException(std::current_exception());
  }
}

}  // namespace tk
