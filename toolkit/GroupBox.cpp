#include "toolkit/GroupBox.h"

#include <oleacc.h>

#include "toolkit/Dpi.h"

namespace tk {

TGroupBox::TGroupBox(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, 185, 105);
}

AccessibleFacts TGroupBox::Describe() {
  AccessibleFacts facts = TCustomControl::Describe();
  facts.Role = ROLE_SYSTEM_GROUPING;
  if (facts.Name.empty()) facts.Name = SpokenName(Caption(), Hint());
  return facts;
}

void TGroupBox::FillCreateParams(CreateParams& params) {
  params.ClassName = OwnClass(L"TGroupBox", CS_HREDRAW | CS_VREDRAW);
  params.Style = WS_CHILD | WS_CLIPCHILDREN;
  // Tab and arrow keys of the dialog manager walk into the children.
  params.ExStyle = WS_EX_CONTROLPARENT;
}

int TGroupBox::CaptionHeight() const {
  UniqueWindowDC dc(Handle());
  UniqueSelectObject font(dc.get(), ShownFont());
  TEXTMETRICW tm{};
  ::GetTextMetricsW(dc.get(), &tm);
  return tm.tmHeight;
}

RECT TGroupBox::DisplayRect96() const {
  const SIZE size = ClientSize96();
  const int caption = HandleAllocated() ? dpi::Unscale(CaptionHeight(), Dpi()) : 13;
  // Two pixels of frame on each side; the caption line replaces the top edge.
  return RECT{2, caption + 2, size.cx - 2, size.cy - 2};
}

void TGroupBox::OnPaint(HDC dc) {
  RECT rc{};
  ::GetClientRect(Handle(), &rc);
  FillBackground(dc, &rc);

  UniqueSelectObject font(dc, ShownFont());
  const std::wstring caption = Caption();
  const int captionHeight = CaptionHeight();
  RECT frame = rc;
  frame.top = captionHeight / 2;
  ::DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
  if (!caption.empty()) {
    SIZE text{};
    ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
    RECT textRect{Scale(8), 0, Scale(8) + text.cx + Scale(4), captionHeight};
    FillBackground(dc, &textRect);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc,
                   ::GetSysColor(::IsWindowEnabled(Handle()) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    textRect.left += Scale(2);
    ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &textRect,
                DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  }
}

void TGroupBox::KeyPress(wchar_t& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

void TGroupBox::DpiChanged() {
  TCustomControl::DpiChanged();
  AlignControls();
}

LRESULT TGroupBox::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SIZE:
    case WM_SETFONT:
      AlignControls();
      Invalidate();
      return 0;
    case WM_SETTEXT:
    case WM_ENABLE: {
      LRESULT result = TCustomControl::WndProc(msg, wParam, lParam);
      Invalidate();
      return result;
    }
    case WM_CHAR: {
      auto key = static_cast<wchar_t>(wParam);
      KeyPress(key);
      return 0;
    }
    default:
      return TCustomControl::WndProc(msg, wParam, lParam);
  }
}

}  // namespace tk
