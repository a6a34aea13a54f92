#include "toolkit/Application.h"

#include <objbase.h>

#include "toolkit/CommonControls.h"
#include "toolkit/Errors.h"
#include "toolkit/Keyboard.h"
#include "toolkit/Text.h"

namespace tk {

Application& Application::Instance() {
  static Application app;
  return app;
}

void Application::Initialize() {
  guiThread_ = ::GetCurrentThreadId();
}

void Application::PrepareForWindows() {
  comctl::Initialize();
  if (apartmentReady_ || guiThread_ != ::GetCurrentThreadId()) return;
  apartmentReady_ = true;
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
}

void Application::Terminate() {
  terminated_ = true;
  ::PostQuitMessage(0);
}

HWND Application::DialogOwner() const {
  const HWND active = ::GetActiveWindow();
  return active ? active : mainForm_;
}

int Application::ShowMessageBox(const std::wstring& text, const std::wstring& caption,
                                unsigned flags) const {
  if (terminated_) return 0;
  return ::MessageBoxW(DialogOwner(), text.c_str(), caption.c_str(), flags);
}

void Application::Dispatch(MSG& msg) {
  if (mainForm_ && HandleNavigationKey(mainForm_, msg)) return;
  if (mainForm_ && ::IsDialogMessageW(mainForm_, &msg)) return;
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
}

int Application::Run() {
  MSG msg{};
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) Dispatch(msg);
  terminated_ = true;
  return static_cast<int>(msg.wParam);
}

void Application::ProcessMessages() {
  MSG msg{};
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave the quit request for the main loop.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    Dispatch(msg);
  }
}

std::wstring ExceptionText(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return FromUtf8(e.what());
  } catch (...) {
    return L"Unknown error";
  }
}

void Application::HandleException(std::exception_ptr error) {
  const std::wstring message = ExceptionText(error);
  if (OnException) {
    OnException(message);
    return;
  }
  std::wstring caption =
      (title_.empty() ? std::wstring(L"Application") : title_) + L" - Error report";
  std::wstring text = message +
                      L"\r\n\r\nThe action was stopped at this point. You can go on using the "
                      L"program.";
  ShowMessageBox(text, caption, MB_OK | MB_ICONERROR);
}

}  // namespace tk
