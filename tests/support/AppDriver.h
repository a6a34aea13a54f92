// Drives a window of another process the way a person would: finds its controls by class and
// caption, reads their texts, types into fields and presses buttons.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/Wait.h"

namespace testing_support {

std::wstring ClassOf(HWND window);
// The control's own text, asked of the window itself (works for every control of any process).
std::wstring TextOf(HWND window);
// Every descendant window of root, in z-order, depth first.
std::vector<HWND> Descendants(HWND root);
// The first descendant of the class and (when given) the exact caption.
HWND FindDescendant(HWND root, const std::wstring& className, const std::wstring& caption = L"");
// A button among the descendants, found by its caption.
HWND FindButton(HWND root, const std::wstring& caption);

// Presses the button without waiting for what its click starts.
void ClickButton(HWND button);
// Replaces a field's text as typing it would (the field reports the change to its owner).
void TypeText(HWND edit, const std::wstring& text);

// Rows of a multi-line field as its text shows them (split at CR LF, CR or LF).
std::vector<std::wstring> TextRows(HWND edit);

// One row of a log as the user sees it (a rich-edit control of any process, or a saved log):
// its text, colour and weight.
struct RichRow {
  std::wstring text;
  COLORREF color = 0;
  bool bold = false;
  bool operator==(const RichRow& other) const = default;
};
void PrintTo(const RichRow& row, std::ostream* os);
// Every row of the control (the empty place after the last row's mark is not a row), or none
// when the control could not be asked. The format
// is asked of the control itself, through memory lent in its process; the selection moves.
std::vector<RichRow> RichEditRows(HWND edit);

bool WaitForEnabled(HWND window, bool enabled, std::chrono::milliseconds timeout);

}  // namespace testing_support
