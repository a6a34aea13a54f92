// The keys that move between a window's controls and press its buttons, handled the same way on
// every system: Tab and Shift+Tab walk every control that takes the focus, the picture buttons
// inside other controls included, in the order of the window tree; Enter on a focused button
// presses it.
#pragma once

#include <windows.h>

#include <vector>

namespace tk {

// The controls under root that Tab stops at, in order: visible, enabled, WS_TABSTOP, and no
// container of controls (WS_EX_CONTROLPARENT), each followed by the stops inside it.
std::vector<HWND> TabStops(HWND root);
// The stop after (or before) `from`; the first (or last) one when `from` is none of them; null
// when there is no stop.
HWND NextTabStop(HWND root, HWND from, bool backward);

// Handles Tab, Shift+Tab and Enter for the controls under root; true when the message was used.
// A control that asks for the key itself (WM_GETDLGCODE) keeps it.
bool HandleNavigationKey(HWND root, const MSG& msg);

// Presses the default button of the window that holds `control`, as Enter does elsewhere in it.
void PressDefaultButton(HWND control);

}  // namespace tk
