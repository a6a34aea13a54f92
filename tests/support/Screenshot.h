// Saves what the screen shows of a window as a PNG file.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

namespace testing_support {

// Captures the window's rectangle from the screen (with its frame) and writes a PNG.
bool SaveWindowPng(HWND window, const std::wstring& pngPath);
// Whether what the screen shows of the window holds a pixel of that colour.
bool ScreenShowsColor(HWND window, COLORREF color);
// Has the window (of any process) paint itself now, then waits until what the screen shows of it
// stays the same between two looks; false when it still changes at the end of the time.
bool PaintAndWaitUntilStill(HWND window, std::chrono::milliseconds timeout);

}  // namespace testing_support
