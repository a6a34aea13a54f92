// What a screen reader is told of a control: the system's own accessible object for the window's
// client area, with the role, name, value and state that the control gives in place of the ones
// the system guesses from the window class (a push button or a picture the system cannot tell
// from a plain window).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace tk {

class TWinControl;

struct AccessibleFacts {
  long Role = 0;                      // ROLE_SYSTEM_*; 0 keeps the system's
  std::wstring Name;                  // empty keeps the system's
  std::optional<std::wstring> Value;  // none keeps the system's
  long AddedState = 0;                // STATE_SYSTEM_* bits besides the system's
  std::wstring DefaultAction;         // empty keeps the system's; else the action presses
};

// The answer to WM_GETOBJECT for the control's client area; 0 when the system's accessibility is
// missing (the caller then lets the window's own procedure answer). The object asks the control
// for its facts each time it is asked, and falls back to the system's once the control is gone.
LRESULT AnswerGetObject(TWinControl& control, WPARAM wParam);

// How a reader names a control that shows a caption: the caption without its accelerator marks,
// or, when the caption is a symbol rather than words ("^", "..."), the first line of its hint.
std::wstring SpokenName(const std::wstring& caption, const std::wstring& hint);

}  // namespace tk
