#include "toolkit/Keyboard.h"

#include <algorithm>

namespace tk {

namespace {

bool Usable(HWND window) {
  const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
  return (style & WS_VISIBLE) && !(style & WS_DISABLED);
}

bool IsStop(HWND window) {
  return (::GetWindowLongPtrW(window, GWL_STYLE) & WS_TABSTOP) &&
         !(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
}

void CollectStops(HWND parent, std::vector<HWND>& stops) {
  for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!Usable(child)) continue;
    if (IsStop(child)) stops.push_back(child);
    CollectStops(child, stops);
  }
}

bool KeyDown(int key) {
  return (::GetKeyState(key) & 0x8000) != 0;
}

LRESULT DialogCode(HWND control, const MSG& msg) {
  return ::SendMessageW(control, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
}

}  // namespace

std::vector<HWND> TabStops(HWND root) {
  std::vector<HWND> stops;
  CollectStops(root, stops);
  return stops;
}

HWND NextTabStop(HWND root, HWND from, bool backward) {
  const std::vector<HWND> stops = TabStops(root);
  if (stops.empty()) return nullptr;
  const auto at = std::find(stops.begin(), stops.end(), from);
  if (at == stops.end()) return backward ? stops.back() : stops.front();
  const size_t index = static_cast<size_t>(at - stops.begin());
  return stops[backward ? (index + stops.size() - 1) % stops.size() : (index + 1) % stops.size()];
}

bool HandleNavigationKey(HWND root, const MSG& msg) {
  if (msg.message != WM_KEYDOWN || (msg.wParam != VK_TAB && msg.wParam != VK_RETURN)) return false;
  if (KeyDown(VK_CONTROL) || KeyDown(VK_MENU)) return false;
  const HWND focus = ::GetFocus();
  if (!focus || !::IsChild(root, focus)) return false;
  const LRESULT code = DialogCode(focus, msg);
  if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
  if (msg.wParam == VK_RETURN) {
    // Enter elsewhere is the dialog manager's: the default button.
    if (!(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) return false;
    ::SendMessageW(focus, BM_CLICK, 0, 0);
    return true;
  }
  if (code & DLGC_WANTTAB) return false;
  const HWND next = NextTabStop(root, focus, KeyDown(VK_SHIFT));
  if (!next) return false;
  // From the first key stroke on, the controls show where the focus is.
  ::SendMessageW(root, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  ::SetFocus(next);
  if (DialogCode(next, msg) & DLGC_HASSETSEL) ::SendMessageW(next, EM_SETSEL, 0, -1);
  return true;
}

void PressDefaultButton(HWND control) {
  const HWND root = ::GetAncestor(control, GA_ROOT);
  if (!root) return;
  const LRESULT id = ::SendMessageW(root, DM_GETDEFID, 0, 0);
  if (HIWORD(id) != DC_HASDEFID) return;
  ::SendMessageW(root, WM_COMMAND, MAKEWPARAM(LOWORD(id), BN_CLICKED), 0);
}

}  // namespace tk
