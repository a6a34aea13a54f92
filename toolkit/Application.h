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

  // Makes the calling thread the GUI thread: the one that runs the message loop.
  void Initialize();
  // What windows need, set up before the first one is created rather than at start: the common
  // controls' classes, and COM on the GUI thread (the shell's dialogs and file operations and the
  // imaging component want an apartment there). A process that never creates a window, the
  // first one of a run, which only hands over to its copy, starts that copy without waiting for
  // the library start-ups and the connection to the display they bring.
  void PrepareForWindows();

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
  DWORD guiThread_ = 0;
  bool apartmentReady_ = false;
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
