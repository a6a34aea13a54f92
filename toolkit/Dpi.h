// Sizes are written in 96-DPI units and scaled through this one helper.
#pragma once

#include <windows.h>

namespace tk::dpi {

inline constexpr UINT kDesign = 96;

inline int Scale(int value, UINT dpi) {
  return ::MulDiv(value, static_cast<int>(dpi), kDesign);
}
inline int Unscale(int value, UINT dpi) {
  return ::MulDiv(value, kDesign, static_cast<int>(dpi));
}

// DPI of the monitor that shows the window (per-monitor aware), or of the screen before Windows 10.
UINT ForWindow(HWND hwnd);
// DPI of the primary screen, for windows that do not exist yet.
UINT ForSystem();
// Window rectangle for a client area of the given size, scaled for dpi.
SIZE WindowSizeForClient(int clientWidth96, int clientHeight96, DWORD style, DWORD exStyle,
                         UINT dpi);

}  // namespace tk::dpi
