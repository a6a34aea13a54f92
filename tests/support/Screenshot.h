// Saves what the screen shows of a window as a PNG file.
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

// Captures the window's rectangle from the screen (with its frame) and writes a PNG.
bool SaveWindowPng(HWND window, const std::wstring& pngPath);

}  // namespace testing_support
