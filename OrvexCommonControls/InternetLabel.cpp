#include "OrvexCommonControls/InternetLabel.h"

#include <oleacc.h>
#include <shellapi.h>

#include <cstdint>

#include "OrvexCommonControls/ccCore.h"

namespace {

constexpr wchar_t kAboutText[] = L"Internet Label 2.0";
// ShellExecuteW reports success with a value above 32.
constexpr uintptr_t kShellExecuteErrorLimit = 32;

}  // namespace

TInternetLabel::TInternetLabel(tk::TComponent* owner) : tk::TLabel(owner) {
  SetCursor(IDC_HAND);
  tk::TFontSpec font = Font();
  font.Color = FNVisitedCl;
  font.Style = 0;
  SetFont(font);
}

bool TInternetLabel::CanActivateLink() {
  bool CanActivate = !FLink.empty();
  if (OnLinkActivating) OnLinkActivating(this, CanActivate);
  return CanActivate;
}

void TInternetLabel::Visit() {
  if (!CanActivateLink()) return;
  HINSTANCE result =
      ::ShellExecuteW(nullptr, nullptr, FLink.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  SetVisited(reinterpret_cast<uintptr_t>(result) > kShellExecuteErrorLimit);
}

tk::AccessibleFacts TInternetLabel::Describe() {
  tk::AccessibleFacts facts = tk::TLabel::Describe();
  facts.Role = ROLE_SYSTEM_LINK;
  facts.AddedState = STATE_SYSTEM_LINKED | (FVisited ? STATE_SYSTEM_TRAVERSED : 0);
  facts.DefaultAction = L"Jump";
  return facts;
}

void TInternetLabel::Click() {
  tk::TLabel::Click();
  Visit();
}

void TInternetLabel::SetAbout(bool value) {
  if (value) MesajGeneric(kAboutText, L"", MB_OK);
}

void TInternetLabel::SetLink(const std::wstring& value) {
  FLink = value;
  if (FAutoHint) SetHint(FLink);
}

void TInternetLabel::SetVisited(bool value) {
  FVisited = value;
  ApplyFontColor(RestingColor());
}

void TInternetLabel::SetVisitedColor(tk::TColor value) {
  FVisitedCl = value;
  if (FVisited && !FMouseOver) ApplyFontColor(FVisitedCl);
}

void TInternetLabel::SetNotVisitedColor(tk::TColor value) {
  FNVisitedCl = value;
  if (!FVisited && !FMouseOver) ApplyFontColor(FNVisitedCl);
}

void TInternetLabel::SetOverColor(tk::TColor value) {
  FOverCl = value;
  if (FMouseOver) ApplyFontColor(FOverCl);
}

void TInternetLabel::MouseEnter() {
  FMouseOver = true;
  ApplyFontColor(FOverCl);
  ApplyUnderline(true);
  if (OnMouseEnter) OnMouseEnter(this);
}

void TInternetLabel::MouseLeave() {
  FMouseOver = false;
  ApplyUnderline(false);
  ApplyFontColor(RestingColor());
  if (OnMouseLeave) OnMouseLeave(this);
}

void TInternetLabel::ApplyFontColor(tk::TColor color) {
  tk::TFontSpec font = Font();
  font.Color = color;
  SetFont(font);
  // The static control takes its text colour from the parent's WM_CTLCOLORSTATIC answer, which
  // is asked again only when the label repaints.
  Invalidate();
}

void TInternetLabel::ApplyUnderline(bool underline) {
  tk::TFontSpec font = Font();
  font.Style = underline ? (font.Style | tk::fsUnderline)
                         : (font.Style & ~static_cast<unsigned>(tk::fsUnderline));
  SetFont(font);
}

LRESULT TInternetLabel::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_MOUSEMOVE:
      if (!FMouseOver) {
        // Windows reports the leaving only to a window that asked for it.
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, Handle(), 0};
        ::TrackMouseEvent(&track);
        MouseEnter();
      }
      break;
    case WM_MOUSELEAVE:
      if (FMouseOver) MouseLeave();
      break;
    default:
      break;
  }
  return tk::TLabel::WndProc(msg, wParam, lParam);
}
