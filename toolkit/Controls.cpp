#include "toolkit/Controls.h"

#include <commctrl.h>

#include <oleacc.h>
#include <windowsx.h>

#include <algorithm>

#include "toolkit/Application.h"
#include "toolkit/Dpi.h"
#include "toolkit/Errors.h"

namespace tk {

namespace {

constexpr wchar_t kTooltipProp[] = L"tk.tooltip";

UINT NextControlId() {
  static UINT next = 1000;
  return next++;
}

}  // namespace

COLORREF ColorToRGB(TColor color) {
  if (color & clSysFlag) return ::GetSysColor(static_cast<int>(color & 0xFF));
  return color & 0xFFFFFF;
}

bool HighContrast() {
  HIGHCONTRASTW scheme{};
  scheme.cbSize = sizeof(scheme);
  return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(scheme), &scheme, 0) &&
         (scheme.dwFlags & HCF_HIGHCONTRASTON);
}

COLORREF ShownRGB(TColor color, int systemIndex) {
  if (!(color & clSysFlag) && HighContrast()) return ::GetSysColor(systemIndex);
  return ColorToRGB(color);
}

TWinControl::TWinControl(TComponent* owner) : TComponent(owner) {}

TWinControl::~TWinControl() {
  LeaveParent();
  for (TWinControl* child : children_) child->parent_ = nullptr;
  if (HWND hwnd = DetachWindow()) ::DestroyWindow(hwnd);
}

TWinControl* TWinControl::ChildByHandle(HWND hwnd) const {
  for (TWinControl* child : children_)
    if (hwnd && child->Handle() == hwnd) return child;
  return nullptr;
}

void TWinControl::LeaveParent() {
  if (!parent_) return;
  auto& siblings = parent_->children_;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent_ == parent) return;
  LeaveParent();
  parent_ = parent;
  if (!parent_) return;
  parent_->children_.push_back(this);
  if (hwnd_) {
    ::SetParent(hwnd_.get(), parent_->Handle());
    ApplyBounds();
  } else if (parent_->HandleAllocated()) {
    CreateHandle();
  }
}

const wchar_t* TWinControl::OwnClass(const wchar_t* name, UINT classStyle, HBRUSH background) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  if (!::GetClassInfoExW(instance, name, &wc)) {
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    wc.style = classStyle;
    wc.lpfnWndProc = StaticProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    wc.hIcon = ::LoadIconW(instance, L"MAINICON");
    if (!::RegisterClassExW(&wc))
      throw Exception(L"Cannot register the window class " + std::wstring(name));
  }
  return name;
}

void TWinControl::CreateHandle() {
  App().PrepareForWindows();
  CreateParams params;
  FillCreateParams(params);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  ownClass_ = ::GetClassInfoExW(::GetModuleHandleW(nullptr), params.ClassName, &wc) &&
              wc.lpfnWndProc == StaticProc;
  HWND parentHandle = parent_ ? parent_->Handle() : nullptr;
  DWORD style = params.Style | (visible_ ? WS_VISIBLE : 0) | (enabled_ ? 0 : WS_DISABLED);
  if (parentHandle) style |= WS_CHILD | WS_CLIPSIBLINGS;
  // A top-level window's bounds are screen pixels already; a child's are 96-DPI units.
  UINT dpi = parentHandle ? dpi::ForWindow(parentHandle) : dpi::kDesign;
  if (parentFont_ && parent_) font_ = parent_->font_;
  HMENU id =
      parentHandle ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(NextControlId())) : nullptr;
  HWND hwnd = ::CreateWindowExW(params.ExStyle, params.ClassName, caption_.c_str(), style,
                                dpi::Scale(bounds_.x, dpi), dpi::Scale(bounds_.y, dpi),
                                dpi::Scale(bounds_.dx, dpi), dpi::Scale(bounds_.dy, dpi),
                                parentHandle, id, ::GetModuleHandleW(nullptr), this);
  if (!hwnd) throw Exception(L"Cannot create the window of " + Name);
  // A window of our own class was tied to this object by its first message (WM_NCCREATE).
  if (!ownClass_) Subclass(hwnd);
  ApplyFont();
  RegisterHint();
  CreateWnd();
  for (TWinControl* child : children_)
    if (!child->HandleAllocated()) child->CreateHandle();
}

void TWinControl::ApplyStyleBits() {
  if (!hwnd_) return;
  // Style bits such as BS_MULTILINE are read at creation; changing them means a new window.
  CreateParams params;
  FillCreateParams(params);
  LONG_PTR style = ::GetWindowLongPtrW(hwnd_.get(), GWL_STYLE);
  style = (style & ~0xFFFFL) | (params.Style & 0xFFFF);
  ::SetWindowLongPtrW(hwnd_.get(), GWL_STYLE, style);
  ::InvalidateRect(hwnd_.get(), nullptr, TRUE);
}

UINT TWinControl::Dpi() const {
  if (hwnd_) return dpi::ForWindow(hwnd_.get());
  return parent_ ? parent_->Dpi() : dpi::ForSystem();
}

int TWinControl::Scale(int value96) const {
  return dpi::Scale(value96, Dpi());
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  bounds_ = Rect{left, top, width, height};
  ApplyBounds();
}

void TWinControl::ApplyBounds() {
  if (!hwnd_ || !parent_) return;
  UINT dpi = Dpi();
  ::SetWindowPos(hwnd_.get(), nullptr, dpi::Scale(bounds_.x, dpi), dpi::Scale(bounds_.y, dpi),
                 dpi::Scale(bounds_.dx, dpi), dpi::Scale(bounds_.dy, dpi),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE TWinControl::ClientSize96() const {
  if (!hwnd_) return SIZE{bounds_.dx, bounds_.dy};
  RECT rc{};
  ::GetClientRect(hwnd_.get(), &rc);
  UINT dpi = Dpi();
  return SIZE{dpi::Unscale(rc.right, dpi), dpi::Unscale(rc.bottom, dpi)};
}

std::wstring TWinControl::Caption() const {
  if (!hwnd_) return caption_;
  int length = ::GetWindowTextLengthW(hwnd_.get());
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(hwnd_.get(), text.data(), length + 1)));
  return text;
}

void TWinControl::SetCaption(const std::wstring& caption) {
  caption_ = caption;
  if (hwnd_) ::SetWindowTextW(hwnd_.get(), caption.c_str());
}

void TWinControl::SetVisible(bool visible) {
  visible_ = visible;
  if (hwnd_) ::ShowWindow(hwnd_.get(), visible ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (hwnd_) ::EnableWindow(hwnd_.get(), enabled ? TRUE : FALSE);
}

void TWinControl::SetHint(const std::wstring& hint) {
  hint_ = hint;
  RegisterHint();
}

AccessibleFacts TWinControl::Describe() {
  AccessibleFacts facts;
  facts.Name = accessibleName_;
  return facts;
}

void TWinControl::RegisterHint() {
  if (hwnd_ && !hint_.empty()) SetHintFor(hwnd_.get(), hint_);
}

void TWinControl::SetFont(const TFontSpec& font) {
  const bool sameFace =
      font.Name == font_.Name && font.Height == font_.Height && font.Style == font_.Style;
  font_ = font;
  parentFont_ = false;
  if (!sameFace) ApplyFont();
}

void TWinControl::FontChanged() {
  ApplyFont();
}

void TWinControl::ApplyFont() {
  if (!hwnd_) return;
  LOGFONTW lf{};
  lf.lfHeight = -Scale(font_.Height);
  lf.lfWeight = (font_.Style & fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (font_.Style & fsItalic) ? TRUE : FALSE;
  lf.lfUnderline = (font_.Style & fsUnderline) ? TRUE : FALSE;
  lf.lfStrikeOut = (font_.Style & fsStrikeOut) ? TRUE : FALSE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  wcsncpy_s(lf.lfFaceName, font_.Name.c_str(), _TRUNCATE);
  fontHandle_.reset(::CreateFontIndirectW(&lf));
  ::SendMessageW(hwnd_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(fontHandle_.get()), TRUE);
}

void TWinControl::SetColor(TColor color) {
  color_ = color;
  Invalidate();
}

void TWinControl::SetFocus() {
  if (hwnd_) ::SetFocus(hwnd_.get());
}

void TWinControl::Invalidate() {
  if (hwnd_) ::InvalidateRect(hwnd_.get(), nullptr, TRUE);
}

void TWinControl::Repaint() {
  PrepareRepaint();
  std::vector<TWinControl*> pending(children_.begin(), children_.end());
  while (!pending.empty()) {
    TWinControl* control = pending.back();
    pending.pop_back();
    control->PrepareRepaint();
    pending.insert(pending.end(), control->children_.begin(), control->children_.end());
  }
  if (hwnd_)
    ::RedrawWindow(hwnd_.get(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TWinControl::DpiChanged() {
  ApplyBounds();
  ApplyFont();
  for (TWinControl* child : children_) child->DpiChanged();
}

TColor TWinControl::ShownColor() const {
  TColor color = color_;
  for (TWinControl* p = parent_; color == clDefault && p; p = p->parent_) color = p->color_;
  return color == clDefault ? clBtnFace : color;
}

void TWinControl::FillBackground(HDC dc, const RECT* area) const {
  RECT client{};
  if (!area) {
    ::GetClientRect(Handle(), &client);
    area = &client;
  }
  UniqueHBRUSH brush(::CreateSolidBrush(BackgroundRGB()));
  ::FillRect(dc, area, brush.get());
}

HBRUSH TWinControl::CtlColor(HDC dc) {
  ::SetTextColor(dc, TextRGB());
  const COLORREF color = BackgroundRGB();
  if (!brush_ || brushColor_ != color) {
    brush_.reset(::CreateSolidBrush(color));
    brushColor_ = color;
  }
  ::SetBkColor(dc, color);
  return brush_.get();
}

LRESULT TWinControl::DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::CallWindowProcW(next_, hwnd_.get(), msg, wParam, lParam);
}

bool TWinControl::ReflectToChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_COMMAND:
      if (TWinControl* child = ChildByHandle(reinterpret_cast<HWND>(lParam))) {
        result = 0;
        return child->CommandNotify(HIWORD(wParam));
      }
      return false;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (TWinControl* child = ChildByHandle(header->hwndFrom))
        return child->Notify(header, result);
      return false;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      if (TWinControl* child = ChildByHandle(reinterpret_cast<HWND>(lParam))) {
        if (HBRUSH brush = child->CtlColor(reinterpret_cast<HDC>(wParam))) {
          result = reinterpret_cast<LRESULT>(brush);
          return true;
        }
      }
      return false;
    default:
      return false;
  }
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (ReflectToChild(msg, wParam, lParam, result)) return result;
  if (msg == WM_GETOBJECT && static_cast<LONG>(static_cast<DWORD>(lParam)) == OBJID_CLIENT)
    if (const LRESULT object = AnswerGetObject(*this, wParam)) return object;
  return DefaultHandler(msg, wParam, lParam);
}

// --- the window's lifetime ---

void TWinControl::Subclass(HWND hwnd) {
  hwnd_.reset(hwnd);
  // Classic subclassing: the common controls' subclass helper costs a measurable time on every
  // message of a busy control such as the log pane.
  next_ = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
  // The object is found through the window's own slot on every message: a property lookup
  // can cost a round trip to the window server each time.
  ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StaticProc));
}

HWND TWinControl::DetachWindow() {
  HWND hwnd = hwnd_.release();
  if (!hwnd) return nullptr;
  ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  // The class's procedure comes back unless another procedure stands in front of ours now; ours
  // then keeps passing messages on.
  if (!ownClass_ &&
      ::GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(StaticProc))
    ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(next_));
  return hwnd;
}

WNDPROC TWinControl::ProcWithoutObject(HWND hwnd) {
  const auto classProc = reinterpret_cast<WNDPROC>(::GetClassLongPtrW(hwnd, GCLP_WNDPROC));
  return classProc == StaticProc ? ::DefWindowProcW : classProc;
}

LRESULT CALLBACK TWinControl::StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    // Only windows of our own classes get here so early; the others are subclassed once made.
    auto* self =
        static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self) self->hwnd_.reset(hwnd);
  }
  auto* self = reinterpret_cast<TWinControl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return ::CallWindowProcW(ProcWithoutObject(hwnd), hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    // The hints' tooltip window, owned by this window, goes with it; so does its note of it.
    ::RemovePropW(hwnd, kTooltipProp);
    const WNDPROC next = self->next_;
    self->DetachWindow();
    return ::CallWindowProcW(next, hwnd, msg, wParam, lParam);
  }
  try {
    return self->WndProc(msg, wParam, lParam);
  } catch (...) {
    App().HandleException(std::current_exception());
    return 0;
  }
}

// --- TCustomControl ---

void TCustomControl::Click() {
  if (OnClick) OnClick(this);
}

LRESULT TCustomControl::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      UniquePaintDC paint(Handle());
      OnPaint(paint.get());
      return 0;
    }
    case WM_PRINTCLIENT:
      OnPaint(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_GETFONT:
      // As the system's controls do: whoever measures the control's text asks it for its font.
      return reinterpret_cast<LRESULT>(ShownFont());
    case WM_LBUTTONDOWN:
      pressed_ = true;
      ::SetCapture(Handle());
      return 0;
    case WM_LBUTTONUP: {
      if (!pressed_) return 0;
      pressed_ = false;
      ::ReleaseCapture();
      RECT client{};
      ::GetClientRect(Handle(), &client);
      if (::PtInRect(&client, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)})) Click();
      return 0;
    }
    case WM_CAPTURECHANGED:
      pressed_ = false;
      return 0;
    default:
      return TWinControl::WndProc(msg, wParam, lParam);
  }
}

// --- TPanel ---

TPanel::TPanel(TComponent* owner) : TWinControl(owner) {
  SetColor(clBtnFace);
}

void TPanel::FillCreateParams(CreateParams& params) {
  params.ClassName = OwnClass(L"TPanel");
  params.Style = WS_CHILD | WS_CLIPCHILDREN | WS_TABSTOP;
  params.ExStyle = WS_EX_CONTROLPARENT;
}

LRESULT TPanel::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_ERASEBKGND) {
    FillBackground(reinterpret_cast<HDC>(wParam));
    return 1;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}

// --- TButton ---

TButton::TButton(TComponent* owner) : TWinControl(owner) {}

void TButton::FillCreateParams(CreateParams& params) {
  params.ClassName = L"BUTTON";
  params.Style = WS_CHILD | WS_TABSTOP | (default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) |
                 (wordWrap_ ? BS_MULTILINE : 0);
}

void TButton::SetDefault(bool value) {
  default_ = value;
  if (HandleAllocated())
    ::SendMessageW(Handle(), BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::SetWordWrap(bool value) {
  wordWrap_ = value;
  ApplyStyleBits();
}

void TButton::Click() {
  if (Enabled() && OnClick) OnClick(this);
}

AccessibleFacts TButton::Describe() {
  AccessibleFacts facts = TWinControl::Describe();
  facts.Role = ROLE_SYSTEM_PUSHBUTTON;
  if (facts.Name.empty()) facts.Name = SpokenName(Caption(), Hint());
  facts.AddedState = STATE_SYSTEM_FOCUSABLE | (default_ ? STATE_SYSTEM_DEFAULT : 0) |
                     (Enabled() ? 0 : STATE_SYSTEM_UNAVAILABLE);
  facts.DefaultAction = L"Press";
  return facts;
}

bool TButton::CommandNotify(WORD code) {
  if (code != BN_CLICKED) return false;
  Click();
  return true;
}

// --- TLabel ---

TLabel::TLabel(TComponent* owner) : TWinControl(owner) {}

void TLabel::FillCreateParams(CreateParams& params) {
  params.ClassName = L"STATIC";
  params.Style = WS_CHILD | SS_NOTIFY | SS_NOPREFIX | (centered_ ? SS_CENTER : SS_LEFT);
}

void TLabel::SetCentered(bool centered) {
  centered_ = centered;
  ApplyStyleBits();
}

void TLabel::SetTransparent(bool transparent) {
  transparent_ = transparent;
  Invalidate();
}

void TLabel::Click() {
  if (OnClick) OnClick(this);
}

AccessibleFacts TLabel::Describe() {
  AccessibleFacts facts = TWinControl::Describe();
  facts.Role = ROLE_SYSTEM_STATICTEXT;
  if (facts.Name.empty()) facts.Name = SpokenName(Caption(), Hint());
  facts.AddedState = STATE_SYSTEM_READONLY;
  return facts;
}

bool TLabel::CommandNotify(WORD code) {
  if (code != STN_CLICKED) return false;
  Click();
  return true;
}

HBRUSH TLabel::CtlColor(HDC dc) {
  HBRUSH brush = TWinControl::CtlColor(dc);
  if (transparent_ && Color() == clDefault) ::SetBkMode(dc, TRANSPARENT);
  return brush;
}

LRESULT TLabel::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  // A reader's "do the default action" arrives as the button's message for a click.
  if (msg == BM_CLICK) {
    Click();
    return 0;
  }
  if (msg == WM_SETCURSOR && cursor_) {
    ::SetCursor(::LoadCursorW(nullptr, cursor_));
    return TRUE;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}

// --- hints ---

void SetHintFor(HWND control, const std::wstring& text) {
  HWND root = ::GetAncestor(control, GA_ROOT);
  if (!root) return;
  auto tooltip = static_cast<HWND>(::GetPropW(root, kTooltipProp));
  if (!tooltip) {
    tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, root, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
    if (!tooltip) return;
    // Wide enough for the longest hint; the hints carry their own line breaks.
    ::SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, 600);
    ::SetPropW(root, kTooltipProp, tooltip);
  }
  TTTOOLINFOW info{};
  info.cbSize = sizeof(info);
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = root;
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = const_cast<wchar_t*>(text.c_str());
  TTTOOLINFOW existing{};
  existing.cbSize = sizeof(existing);
  existing.hwnd = root;
  existing.uId = info.uId;
  if (::SendMessageW(tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&existing)))
    ::SendMessageW(tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
  else
    ::SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

}  // namespace tk
