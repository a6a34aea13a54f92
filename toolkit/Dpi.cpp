#include "toolkit/Dpi.h"

#include "toolkit/Handles.h"

namespace tk::dpi {
namespace {

// Looked up at run time: the DPI calls came with Windows 10 and the program still starts on Vista.
template <typename Fn>
Fn User32Export(const char* name) {
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(user32, name)))
                : nullptr;
}

UINT ScreenDpi() {
  UniqueWindowDC screen(nullptr);
  const UINT dpi = static_cast<UINT>(::GetDeviceCaps(screen.get(), LOGPIXELSX));
  return dpi ? dpi : kDesign;
}

}  // namespace

UINT ForWindow(HWND hwnd) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = User32Export<GetDpiForWindowFn>("GetDpiForWindow");
  if (hwnd && getDpiForWindow) {
    if (UINT dpi = getDpiForWindow(hwnd)) return dpi;
  }
  return ScreenDpi();
}

UINT ForSystem() {
  using GetDpiForSystemFn = UINT(WINAPI*)();
  static const auto getDpiForSystem = User32Export<GetDpiForSystemFn>("GetDpiForSystem");
  if (getDpiForSystem) {
    if (UINT dpi = getDpiForSystem()) return dpi;
  }
  return ScreenDpi();
}

SIZE WindowSizeForClient(int clientWidth96, int clientHeight96, DWORD style, DWORD exStyle,
                         UINT dpi) {
  RECT rc{0, 0, Scale(clientWidth96, dpi), Scale(clientHeight96, dpi)};
  using AdjustFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = User32Export<AdjustFn>("AdjustWindowRectExForDpi");
  if (!adjustForDpi || !adjustForDpi(&rc, style, FALSE, exStyle, dpi))
    ::AdjustWindowRectEx(&rc, style, FALSE, exStyle);
  return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

}  // namespace tk::dpi
