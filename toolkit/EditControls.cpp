#include "toolkit/EditControls.h"

#include <oleacc.h>

#include "toolkit/Keyboard.h"

namespace tk {

namespace {
// The embedded button: a 16-pixel picture with one pixel of air on each side (96-DPI units).
constexpr int kButtonWidth = 18;
constexpr int kIconSize = 16;
}  // namespace

// --- TEdit ---

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 121, 21);
}

void TEdit::FillCreateParams(CreateParams& params) {
  params.ClassName = L"EDIT";
  params.Style = WS_CHILD | WS_TABSTOP | ES_AUTOHSCROLL | (readOnly_ ? ES_READONLY : 0);
  params.ExStyle = WS_EX_CLIENTEDGE;
}

void TEdit::SetText(const std::wstring& text) {
  if (text == Text()) return;
  // Our own change is reported once, here, whether or not the window reports it too.
  settingText_ = true;
  SetCaption(text);
  settingText_ = false;
  Change();
}

void TEdit::SetReadOnly(bool value) {
  readOnly_ = value;
  if (HandleAllocated()) ::SendMessageW(Handle(), EM_SETREADONLY, value ? TRUE : FALSE, 0);
}

COLORREF TEdit::BackgroundColor() const {
  return ShownRGB(Color() == clDefault ? clWindow : Color(), COLOR_WINDOW);
}

AccessibleFacts TEdit::Describe() {
  AccessibleFacts facts = TWinControl::Describe();
  facts.Role = ROLE_SYSTEM_TEXT;
  if (facts.Name.empty() && Parent()) facts.Name = SpokenName(Parent()->Caption(), {});
  facts.Value = Text();
  facts.AddedState = readOnly_ ? STATE_SYSTEM_READONLY : 0;
  return facts;
}

bool TEdit::CommandNotify(WORD code) {
  if (code != EN_CHANGE) return false;
  if (!settingText_) Change();
  return true;
}

HBRUSH TEdit::CtlColor(HDC dc) {
  TWinControl::CtlColor(dc);  // text colour from the font
  const COLORREF color = BackgroundColor();
  if (!brush_ || brushColor_ != color) {
    brush_.reset(::CreateSolidBrush(color));
    brushColor_ = color;
  }
  ::SetBkColor(dc, color);
  return brush_.get();
}

void TEdit::Change() {
  if (OnChange) OnChange(this);
}

void TEdit::KeyPress(wchar_t& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

LRESULT TEdit::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_GETDLGCODE: {
      LRESULT code = DefaultHandler(msg, wParam, lParam);
      const auto* keyMsg = reinterpret_cast<const MSG*>(lParam);
      if (wantReturn_ && keyMsg && keyMsg->message == WM_KEYDOWN && keyMsg->wParam == VK_RETURN)
        code |= DLGC_WANTALLKEYS;
      return code;
    }
    case WM_CHAR: {
      auto key = static_cast<wchar_t>(wParam);
      KeyPress(key);
      if (key == 0 || !HandleAllocated()) return 0;
      const LRESULT result = DefaultHandler(msg, key, lParam);
      if (key == L'\r' && wantReturn_ && HandleAllocated()) PressDefaultButton(Handle());
      return result;
    }
    case WM_LBUTTONDOWN:
      mouseDown_ = true;
      break;
    case WM_LBUTTONUP: {
      LRESULT result = DefaultHandler(msg, wParam, lParam);
      if (mouseDown_ && OnClick) OnClick(this);
      mouseDown_ = false;
      return result;
    }
    default:
      break;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}

// --- TEditButton ---

TEditButton::TEditButton(TButtonedEdit* edit) : TCustomControl(edit), edit_(edit) {
  SetBounds(0, 0, kButtonWidth, kIconSize);
}

void TEditButton::FillCreateParams(CreateParams& params) {
  params.ClassName = OwnClass(L"TEditButton", CS_HREDRAW | CS_VREDRAW);
  params.Style = WS_CHILD | WS_TABSTOP;
}

void TEditButton::SetImageIndex(int index) {
  imageIndex_ = index;
  Invalidate();
}

void TEditButton::SetHotImageIndex(int index) {
  hotImageIndex_ = index;
  Invalidate();
}

int TEditButton::ShownImageIndex() const {
  return hot_ && hotImageIndex_ >= 0 ? hotImageIndex_ : imageIndex_;
}

void TEditButton::SetVisible(bool visible) {
  TWinControl::SetVisible(visible);
  edit_->LayoutButton();
}

void TEditButton::Click() {
  if (edit_->OnRightButtonClick) edit_->OnRightButtonClick(edit_);
}

AccessibleFacts TEditButton::Describe() {
  AccessibleFacts facts = TWinControl::Describe();
  facts.Role = ROLE_SYSTEM_PUSHBUTTON;
  if (facts.Name.empty()) facts.Name = SpokenName({}, Hint());
  facts.AddedState = STATE_SYSTEM_FOCUSABLE;
  facts.DefaultAction = L"Press";
  return facts;
}

void TEditButton::SetHot(bool hot) {
  if (hot_ == hot) return;
  hot_ = hot;
  if (hot) {
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, Handle(), 0};
    ::TrackMouseEvent(&track);
  }
  Invalidate();
}

void TEditButton::OnPaint(HDC dc) {
  RECT rc{};
  ::GetClientRect(Handle(), &rc);
  // The field's parent decides the field's colour; asking it the same way keeps both alike.
  HWND field = edit_->Handle();
  const bool enabled = ::IsWindowEnabled(field) != FALSE;
  const UINT colorMsg = (edit_->ReadOnly() || !enabled) ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
  auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(
      ::GetParent(field), colorMsg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(field)));
  ::FillRect(dc, &rc, brush ? brush : ::GetSysColorBrush(COLOR_WINDOW));
  if (TImageList* images = edit_->Images()) {
    images->Draw(dc, ShownImageIndex(), (rc.right - images->Width()) / 2,
                 (rc.bottom - images->Height()) / 2, enabled);
  }
  const bool focusShown = !(::SendMessageW(Handle(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
  if (::GetFocus() == Handle() && focusShown) {
    ::DrawFocusRect(dc, &rc);
  }
}

LRESULT TEditButton::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_MOUSEMOVE:
      SetHot(true);
      return 0;
    case WM_MOUSELEAVE:
      SetHot(false);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    case WM_KEYDOWN:
      // Space presses it once per stroke, not again while the key repeats.
      if (wParam == VK_SPACE && !(lParam & (1L << 30))) Click();
      return 0;
    case BM_CLICK:
      Click();
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:
      Invalidate();
      return TCustomControl::WndProc(msg, wParam, lParam);
    default:
      return TCustomControl::WndProc(msg, wParam, lParam);
  }
}

// --- TButtonedEdit ---

TButtonedEdit::TButtonedEdit(TComponent* owner)
    : TEdit(owner), rightButton_(new TEditButton(this)) {
  rightButton_->SetParent(this);
}

void TButtonedEdit::FillCreateParams(CreateParams& params) {
  TEdit::FillCreateParams(params);
  // The field must not paint over its button.
  params.Style |= WS_CLIPCHILDREN;
}

void TButtonedEdit::SetImages(TImageList* images) {
  images_ = images;
  rightButton_->Invalidate();
}

void TButtonedEdit::CreateWnd() {
  TEdit::CreateWnd();
  LayoutButton();
}

void TButtonedEdit::DpiChanged() {
  TEdit::DpiChanged();
  LayoutButton();
}

void TButtonedEdit::LayoutButton() {
  if (!HandleAllocated()) return;
  const SIZE client = ClientSize96();
  rightButton_->SetBounds(client.cx - kButtonWidth, 0, kButtonWidth, client.cy);
  const int margin = rightButton_->Visible() ? Scale(kButtonWidth) + Scale(1) : Scale(1);
  ::SendMessageW(Handle(), EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, margin));
}

LRESULT TButtonedEdit::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SIZE:
    case WM_SETFONT: {
      // A new font resets the margins; a new size moves the button.
      LRESULT result = TEdit::WndProc(msg, wParam, lParam);
      LayoutButton();
      return result;
    }
    case WM_PAINT: {
      // Whatever repainted the field (a new colour, enabling) may concern the button too.
      LRESULT result = TEdit::WndProc(msg, wParam, lParam);
      if (rightButton_->HandleAllocated()) ::InvalidateRect(rightButton_->Handle(), nullptr, FALSE);
      return result;
    }
    default:
      break;
  }
  return TEdit::WndProc(msg, wParam, lParam);
}

}  // namespace tk
