// The start-up baseline: a minimal Win32 program that does what the uninstaller's start-up must
// do and nothing else. Without arguments it copies itself to the temporary folder and starts the
// copy with one argument; with one it shows an empty window.
#include <windows.h>

#include <string>

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(window, msg, wParam, lParam);
}

void RestartFromTemp() {
  wchar_t self[MAX_PATH] = {}, temp[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring exe = self;
  const std::wstring copy = temp + exe.substr(exe.find_last_of(L'\\') + 1);
  ::CopyFileW(self, copy.c_str(), FALSE);
  std::wstring command = L"\"" + copy + L"\" uninstall";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (::CreateProcessW(copy.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &si, &pi)) {
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR args, int show) {
  if (!args || !*args) {
    RestartFromTemp();
    return 0;
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"BenchBaseline";
  ::RegisterClassW(&wc);
  HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"Baseline", WS_OVERLAPPEDWINDOW, 346, 310,
                                  700, 350, nullptr, nullptr, instance, nullptr);
  ::ShowWindow(window, show);
  MSG msg{};
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
