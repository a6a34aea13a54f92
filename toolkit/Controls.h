// Window-backed controls: every visual control is a window, created in code, with its sizes in
// 96-DPI units. Notifications that Windows sends to a parent (WM_COMMAND, WM_NOTIFY,
// WM_CTLCOLOR*) are handed back to the control object that caused them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "toolkit/Accessible.h"
#include "toolkit/Component.h"
#include "toolkit/Handles.h"
#include "toolkit/Rect.h"

namespace tk {

using TColor = COLORREF;
// Colours that follow the system's settings, as in the platform's colour constants.
inline constexpr TColor clSysFlag = 0xFF000000;
inline constexpr TColor clBtnFace = clSysFlag | COLOR_BTNFACE;
inline constexpr TColor clWindow = clSysFlag | COLOR_WINDOW;
inline constexpr TColor clWindowText = clSysFlag | COLOR_WINDOWTEXT;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clDefault = 0x20000000;  // "use the parent's"
COLORREF ColorToRGB(TColor color);
// True while the user's high-contrast colour scheme is on.
bool HighContrast();
// The colour to paint with: `color`, except that while high contrast is on a fixed colour gives
// way to the system colour `systemIndex` (COLOR_*) of the place it would be painted in, so that
// text and focus keep the contrast the user chose.
COLORREF ShownRGB(TColor color, int systemIndex);

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// A font described in 96-DPI pixels; the window gets a real HFONT for its current DPI.
struct TFontSpec {
  std::wstring Name = L"Tahoma";
  int Height = 11;  // character height in pixels at 96 DPI
  unsigned Style = 0;
  TColor Color = clWindowText;
};

class TWinControl;

class TWinControl : public TComponent {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  HWND Handle() const { return hwnd_.get(); }
  bool HandleAllocated() const { return static_cast<bool>(hwnd_); }
  // The child control whose window this is; null for any other window.
  TWinControl* ChildByHandle(HWND hwnd) const;

  // Placing a control on a parent creates its window there (when the parent has one).
  TWinControl* Parent() const { return parent_; }
  void SetParent(TWinControl* parent);
  const std::vector<TWinControl*>& Children() const { return children_; }

  // Bounds in 96-DPI units relative to the parent's client area.
  void SetBounds(int left, int top, int width, int height);
  const Rect& Bounds() const { return bounds_; }
  int Left() const { return bounds_.x; }
  int Top() const { return bounds_.y; }
  int Width() const { return bounds_.dx; }
  int Height() const { return bounds_.dy; }
  void SetWidth(int width) { SetBounds(bounds_.x, bounds_.y, width, bounds_.dy); }
  void SetHeight(int height) { SetBounds(bounds_.x, bounds_.y, bounds_.dx, height); }
  // Client size in 96-DPI units as the window has it now.
  SIZE ClientSize96() const;

  std::wstring Caption() const;
  void SetCaption(const std::wstring& caption);

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);

  const std::wstring& Hint() const { return hint_; }
  void SetHint(const std::wstring& hint);

  // The name a screen reader gives the control when its caption does not name it (a picture, a
  // pane); empty lets the control's own rule name it.
  const std::wstring& AccessibleName() const { return accessibleName_; }
  void SetAccessibleName(const std::wstring& name) { accessibleName_ = name; }
  // What a screen reader is told of the control now: its role, name, value and state. Rows
  // that wait to go into a pane are part of its value.
  virtual AccessibleFacts Describe();

  // The font description; until SetFont, the parent's, taken when the window is created.
  const TFontSpec& Font() const { return font_; }
  // Gives the control a font of its own, from now on instead of the parent's, and applies it to
  // the window (a change of colour alone shows at the next repaint).
  void SetFont(const TFontSpec& font);
  TColor Color() const { return color_; }
  void SetColor(TColor color);

  UINT Dpi() const;
  int Scale(int value96) const;

  void SetFocus();
  void Invalidate();
  // Paints the control and its children now, content that waits to go in included.
  void Repaint();

  // Re-applies bounds and fonts after the monitor's DPI changed, then does so for the children.
  virtual void DpiChanged();

  // Dispatches one message; the default hands it to the window's own procedure.
  virtual LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);

  TNotifyEvent OnClick;

 protected:
  struct CreateParams {
    const wchar_t* ClassName = L"STATIC";
    DWORD Style = WS_CHILD;
    DWORD ExStyle = 0;
  };
  virtual void FillCreateParams(CreateParams& params) = 0;
  // Runs once the window exists (set extra state that needs the handle).
  virtual void CreateWnd() {}
  // Called on the control and every child before Repaint paints: content kept back to be
  // written in one go must be in place by then.
  virtual void PrepareRepaint() {}
  // Gives the window that exists the control's own style bits (FillCreateParams) anew.
  void ApplyStyleBits();
  // Creates the window, and the windows of the children; a top-level window's bounds are then
  // taken as screen pixels.
  void CreateHandle();
  // Applies the font description to the window again, for the current DPI.
  void FontChanged();

  // Notifications from this control's window, reflected by the parent.
  virtual bool CommandNotify(WORD code) {
    (void)code;
    return false;
  }
  virtual bool Notify(NMHDR* header, LRESULT& result) {
    (void)header;
    (void)result;
    return false;
  }
  // Background and text colour when the parent is asked to colour this control.
  virtual HBRUSH CtlColor(HDC dc);
  // The colour the control shows behind its content: its own Color, else the nearest parent's,
  // else the button face.
  TColor ShownColor() const;
  // ShownColor and the font's colour as painted now (ShownRGB).
  COLORREF BackgroundRGB() const { return ShownRGB(ShownColor(), COLOR_BTNFACE); }
  COLORREF TextRGB() const { return ShownRGB(font_.Color, SystemTextColor()); }
  // Paints the area (the whole client area without one) in BackgroundRGB.
  void FillBackground(HDC dc, const RECT* area = nullptr) const;
  // The system's colour for this control's text, which a fixed one gives way to in high contrast.
  virtual int SystemTextColor() const { return COLOR_BTNTEXT; }

  LRESULT DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam);
  bool ReflectToChild(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // The font the window draws with: its own, or the system's GUI font while it has none.
  HGDIOBJ ShownFont() const {
    return fontHandle_ ? fontHandle_.get() : ::GetStockObject(DEFAULT_GUI_FONT);
  }

 private:
  // Takes this control out of its parent's children (the parent pointer stays).
  void LeaveParent();
  void ApplyBounds();
  void ApplyFont();
  void RegisterHint();
  // Stands this control's procedure in front of a system class's window.
  void Subclass(HWND hwnd);
  // The one teardown, at WM_NCDESTROY or when the object goes first: the window stops naming
  // this object, which stops owning the window. Returns the window, null when there was none.
  HWND DetachWindow();
  // Where messages go once the window names no object: the class's procedure, or the default
  // one for a class of ours.
  static WNDPROC ProcWithoutObject(HWND hwnd);
  // The one procedure of our own classes and of the system windows we subclass; it finds the
  // object in GWLP_USERDATA and is the exception boundary of every message.
  static LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);

  UniqueHWND hwnd_;
  bool ownClass_ = false;
  // Where a message goes that this control does not handle itself: the system class's own
  // procedure, or the default one for a class of ours.
  WNDPROC next_ = ::DefWindowProcW;
  TWinControl* parent_ = nullptr;
  std::vector<TWinControl*> children_;
  Rect bounds_{0, 0, 100, 25};
  std::wstring caption_;
  bool visible_ = true;
  bool enabled_ = true;
  std::wstring hint_;
  std::wstring accessibleName_;
  TFontSpec font_;
  bool parentFont_ = true;
  UniqueHFONT fontHandle_;
  TColor color_ = clDefault;
  UniqueHBRUSH brush_;
  COLORREF brushColor_ = CLR_INVALID;

 protected:
  // Registers (once) one of our own window classes, served by the shared window procedure.
  static const wchar_t* OwnClass(const wchar_t* name, UINT classStyle = CS_DBLCLKS,
                                 HBRUSH background = nullptr);
};

// A control of our own class that paints itself: one OnPaint for the screen and for
// WM_PRINTCLIENT, the font it paints with told to WM_GETFONT, and one click rule: the mouse is
// captured when the left button goes down, and the click comes only when the button is released
// inside the control.
class TCustomControl : public TWinControl {
 public:
  using TWinControl::TWinControl;
  // Raises OnClick, as a click does; descendants add their own reaction.
  virtual void Click();
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  // Paints the whole client area; the background is not erased first.
  virtual void OnPaint(HDC dc) = 0;

 private:
  bool pressed_ = false;
};

// Plain container used as the right-hand area of a form.
class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* owner);
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  void FillCreateParams(CreateParams& params) override;
};

class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* owner);
  bool Default() const { return default_; }
  void SetDefault(bool value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  // Presses the button as a click does (also used by tests).
  void Click();
  AccessibleFacts Describe() override;

 protected:
  void FillCreateParams(CreateParams& params) override;
  bool CommandNotify(WORD code) override;

 private:
  bool default_ = false;
  bool wordWrap_ = false;
};

class TLabel : public TWinControl {
 public:
  explicit TLabel(TComponent* owner);
  // Centres the caption inside the label's bounds.
  void SetCentered(bool centered);
  // An opaque label paints its Color behind the text; a transparent one shows the parent.
  void SetTransparent(bool transparent);
  void SetCursor(LPCWSTR systemCursor) { cursor_ = systemCursor; }
  // Raises OnClick, as a click on the label does; descendants add their own reaction.
  virtual void Click();
  AccessibleFacts Describe() override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  void FillCreateParams(CreateParams& params) override;
  bool CommandNotify(WORD code) override;
  HBRUSH CtlColor(HDC dc) override;

 private:
  bool centered_ = false;
  bool transparent_ = true;
  LPCWSTR cursor_ = nullptr;
};

// The tooltip that shows the hints of one top-level window.
void SetHintFor(HWND control, const std::wstring& text);

}  // namespace tk
