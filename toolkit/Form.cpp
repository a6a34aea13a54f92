#include "toolkit/Form.h"

#include "toolkit/Application.h"
#include "toolkit/Dpi.h"
#include "toolkit/Keyboard.h"

#include <cstdlib>
#include <exception>

namespace tk {

namespace {
constexpr int kSnapDistance = 10;
}

TForm::TForm(TComponent* owner, std::wstring windowClass)
    : TWinControl(owner), windowClass_(std::move(windowClass)) {
  SetVisible(false);
  SetColor(clBtnFace);
}

TForm::~TForm() {
  if (HandleAllocated()) ::DestroyWindow(Handle());
}

void TForm::SetClientSize(int width96, int height96) {
  clientWidth_ = width96;
  clientHeight_ = height96;
}

void TForm::SetPosition(int left, int top) {
  position_ = POINT{left, top};
}

void TForm::SetAlphaBlendValue(BYTE alpha) {
  alpha_ = alpha;
  if (HandleAllocated() && alpha_ < 255) {
    ::SetWindowLongPtrW(Handle(), GWL_EXSTYLE,
                        ::GetWindowLongPtrW(Handle(), GWL_EXSTYLE) | WS_EX_LAYERED);
    ::SetLayeredWindowAttributes(Handle(), 0, alpha_, LWA_ALPHA);
  }
}

void TForm::FillCreateParams(CreateParams& params) {
  params.ClassName = OwnClass(windowClass_.c_str(), CS_DBLCLKS);
  params.Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  // A tool window is left off the taskbar unless it asks to be on it.
  params.ExStyle = WS_EX_CONTROLPARENT | (toolWindow_ ? WS_EX_TOOLWINDOW : 0) | WS_EX_APPWINDOW |
                   (alpha_ < 255 ? WS_EX_LAYERED : 0);
}

void TForm::CreateForm(bool asMainForm) {
  mainForm_ = asMainForm;
  CreateControls();
  // A process that is ending (the first one of a run, which has handed over to its copy) never
  // shows its form: the form and its controls run their creation steps and keep what they are
  // given without windows, and the pictures and rows never go to a screen.
  if (App().Terminated()) {
    if (const std::exception_ptr failure = RunFormCreate()) App().HandleException(failure);
    return;
  }
  CreateParams params;
  FillCreateParams(params);
  const bool showWhenDone = Visible();
  TWinControl::SetVisible(false);
  SIZE size = dpi::WindowSizeForClient(clientWidth_, clientHeight_, params.Style, params.ExStyle,
                                       dpi::ForSystem());
  SetBounds(position_.x, position_.y, size.cx, size.cy);
  CreateHandle();
  if (alpha_ < 255) ::SetLayeredWindowAttributes(Handle(), 0, alpha_, LWA_ALPHA);
  if (asMainForm) App().SetMainFormHandle(Handle());
  // The window may have opened on a monitor whose DPI differs from the primary one.
  if (Dpi() != dpi::ForSystem()) {
    size =
        dpi::WindowSizeForClient(clientWidth_, clientHeight_, params.Style, params.ExStyle, Dpi());
    ::SetWindowPos(Handle(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
    for (TWinControl* child : Children()) child->DpiChanged();
  }
  // A failed creation step is reported over the window it belongs to, which opens all the same.
  const std::exception_ptr failure = RunFormCreate();
  if (showWhenDone) Show();
  if (failure) App().HandleException(failure);
}

std::exception_ptr TForm::RunFormCreate() {
  try {
    FormCreate();
  } catch (...) {
    return std::current_exception();
  }
  return nullptr;
}

void TForm::Show() {
  // A process that is ending (the first one of a run, which has handed over to its copy) keeps
  // its form hidden.
  if (App().Terminated()) return;
  TWinControl::SetVisible(true);
  if (HandleAllocated()) {
    ::ShowWindow(Handle(), SW_SHOW);
    ::UpdateWindow(Handle());
  }
}

void TForm::Close() {
  if (HandleAllocated()) ::PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

TWinControl* TForm::FindById(const TWinControl* from, UINT id) {
  for (TWinControl* child : from->Children()) {
    if (child->HandleAllocated() && static_cast<UINT>(::GetDlgCtrlID(child->Handle())) == id)
      return child;
    if (TWinControl* found = FindById(child, id)) return found;
  }
  return nullptr;
}

TWinControl* TForm::FindDefaultButton(TWinControl* from) {
  for (TWinControl* child : from->Children()) {
    if (auto* button = dynamic_cast<TButton*>(child); button && button->Default()) return button;
    if (TWinControl* found = FindDefaultButton(child)) return found;
  }
  return nullptr;
}

void TForm::SnapToWorkArea(RECT& rc) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (!::GetMonitorInfoW(::MonitorFromRect(&rc, MONITOR_DEFAULTTONEAREST), &info)) return;
  const RECT& work = info.rcWork;
  const int width = rc.right - rc.left;
  const int height = rc.bottom - rc.top;
  if (std::abs(rc.left - work.left) < kSnapDistance)
    rc.left = work.left;
  else if (std::abs(rc.right - work.right) < kSnapDistance)
    rc.left = work.right - width;
  if (std::abs(rc.top - work.top) < kSnapDistance)
    rc.top = work.top;
  else if (std::abs(rc.bottom - work.bottom) < kSnapDistance)
    rc.top = work.bottom - height;
  rc.right = rc.left + width;
  rc.bottom = rc.top + height;
}

void TForm::OnDpiChanged(const RECT& suggested) {
  ::SetWindowPos(Handle(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  FontChanged();
  for (TWinControl* child : Children()) child->DpiChanged();
}

bool TForm::OnDialogCommand(WORD id) {
  // The dialog manager reports the default button by id alone when it is not a direct child.
  if (auto* button = dynamic_cast<TButton*>(FindById(this, id))) {
    button->Click();
    return true;
  }
  // Esc, as the dialog manager reports it.
  if (id == IDCANCEL) {
    Close();
    return true;
  }
  return false;
}

void TForm::OnActivate(WORD state, bool minimized) {
  if (state == WA_INACTIVE) {
    const HWND focus = ::GetFocus();
    if (focus && ::IsChild(Handle(), focus)) lastFocus_ = focus;
    return;
  }
  if (minimized) return;
  HWND focus = lastFocus_;
  if (!focus || !::IsChild(Handle(), focus) || !::IsWindowVisible(focus) ||
      !::IsWindowEnabled(focus))
    focus = NextTabStop(Handle(), nullptr, false);
  ::SetFocus(focus ? focus : Handle());
}

void TForm::OnDestroy() {
  if (!mainForm_) return;
  App().SetMainFormHandle(nullptr);
  ::PostQuitMessage(0);
}

LRESULT TForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      FillBackground(reinterpret_cast<HDC>(wParam));
      return 1;
    case WM_MOVING:
      if (screenSnap_) SnapToWorkArea(*reinterpret_cast<RECT*>(lParam));
      return TRUE;
    case WM_DPICHANGED:
      OnDpiChanged(*reinterpret_cast<const RECT*>(lParam));
      return 0;
    case DM_GETDEFID:
      if (TWinControl* button = FindDefaultButton(this))
        return MAKELRESULT(::GetDlgCtrlID(button->Handle()), DC_HASDEFID);
      return 0;
    case WM_COMMAND:
      if (lParam == 0 && HIWORD(wParam) == BN_CLICKED && OnDialogCommand(LOWORD(wParam))) return 0;
      break;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam), HIWORD(wParam) != 0);
      return 0;
    case WM_CLOSE:
      if (CanClose()) ::DestroyWindow(Handle());
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    default:
      break;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}

}  // namespace tk
