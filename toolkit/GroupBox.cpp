#include "GroupBox.h"

#include "Dpi.h"

TGroupBox::TGroupBox(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 185, 105); }

void TGroupBox::FillCreateParams(CreateParams& params) {
  params.ClassName = OwnClass(L"TGroupBox", CS_HREDRAW | CS_VREDRAW);
  params.Style = WS_CHILD | WS_CLIPCHILDREN;
  // Tab and arrow keys of the dialog manager walk into the children.
  params.ExStyle = WS_EX_CONTROLPARENT;
}

int TGroupBox::CaptionHeight() const {
  HDC dc = ::GetDC(Handle());
  HGDIOBJ old = ::SelectObject(dc, FontHandle() ? FontHandle() : ::GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW tm{};
  ::GetTextMetricsW(dc, &tm);
  ::SelectObject(dc, old);
  ::ReleaseDC(Handle(), dc);
  return tm.tmHeight;
}

RECT TGroupBox::DisplayRect96() const {
  const SIZE size = ClientSize96();
  const int caption = HandleAllocated() ? tk::dpi::Unscale(CaptionHeight(), Dpi()) : 13;
  // Two pixels of frame on each side; the caption line replaces the top edge.
  return RECT{2, caption + 2, size.cx - 2, size.cy - 2};
}

COLORREF TGroupBox::BackgroundColor() const {
  TColor color = Color();
  for (TWinControl* p = Parent(); color == clDefault && p; p = p->Parent()) color = p->Color();
  return ColorToRGB(color == clDefault ? clBtnFace : color);
}

void TGroupBox::Paint(HDC dc) {
  RECT rc{};
  ::GetClientRect(Handle(), &rc);
  tk::UniqueHBRUSH background(::CreateSolidBrush(BackgroundColor()));
  ::FillRect(dc, &rc, background.get());

  HGDIOBJ oldFont = ::SelectObject(dc, FontHandle() ? FontHandle() : ::GetStockObject(DEFAULT_GUI_FONT));
  const std::wstring caption = Caption();
  const int captionHeight = CaptionHeight();
  RECT frame = rc;
  frame.top = captionHeight / 2;
  ::DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
  if (!caption.empty()) {
    SIZE text{};
    ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
    RECT textRect{Scale(8), 0, Scale(8) + text.cx + Scale(4), captionHeight};
    ::FillRect(dc, &textRect, background.get());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(::IsWindowEnabled(Handle()) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    textRect.left += Scale(2);
    ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &textRect,
                DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  }
  ::SelectObject(dc, oldFont);
}

void TGroupBox::Click() {
  if (OnClick) OnClick(this);
}

void TGroupBox::KeyPress(wchar_t& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

void TGroupBox::DpiChanged() {
  TWinControl::DpiChanged();
  AlignControls();
}

LRESULT TGroupBox::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      HDC dc = ::BeginPaint(Handle(), &ps);
      Paint(dc);
      ::EndPaint(Handle(), &ps);
      return 0;
    }
    case WM_SIZE:
    case WM_SETFONT:
      AlignControls();
      Invalidate();
      return 0;
    case WM_SETTEXT:
    case WM_ENABLE: {
      LRESULT result = TWinControl::WndProc(msg, wParam, lParam);
      Invalidate();
      return result;
    }
    case WM_CHAR: {
      auto key = static_cast<wchar_t>(wParam);
      KeyPress(key);
      return 0;
    }
    case WM_LBUTTONDOWN:
      mouseDown_ = true;
      return 0;
    case WM_LBUTTONUP:
      if (mouseDown_) {
        mouseDown_ = false;
        Click();
      }
      return 0;
    default:
      break;
  }
  return TWinControl::WndProc(msg, wParam, lParam);
}
