// A label that behaves like a hyperlink: unvisited, visited and hover colours, underline while the
// mouse is over it, and a click that hands its link to the shell.
#pragma once

#include <functional>
#include <string>

#include "toolkit/Controls.h"

using TOnLinkActivating = std::function<void(tk::TObject* Sender, bool& CanActivate)>;

class TInternetLabel : public tk::TLabel {
 public:
  explicit TInternetLabel(tk::TComponent* owner);

  // Opens the link now, as a click does.
  void Visit();
  virtual bool CanActivateLink();
  void Click() override;
  // A link, visited or not.
  tk::AccessibleFacts Describe() override;
  // In high contrast a link is drawn in the system's colour for links.
  int SystemTextColor() const override { return COLOR_HOTLIGHT; }

  bool About() const { return FAbout; }
  void SetAbout(bool value);
  const std::wstring& Link() const { return FLink; }
  void SetLink(const std::wstring& value);
  // When true, writing Link also makes it the hint.
  bool LinkHint() const { return FAutoHint; }
  void SetLinkHint(bool value) { FAutoHint = value; }
  bool Visited() const { return FVisited; }
  void SetVisited(bool value);
  tk::TColor VisitedColor() const { return FVisitedCl; }
  void SetVisitedColor(tk::TColor value);
  tk::TColor NotVisitedColor() const { return FNVisitedCl; }
  void SetNotVisitedColor(tk::TColor value);
  tk::TColor OverColor() const { return FOverCl; }
  void SetOverColor(tk::TColor value);

  tk::TNotifyEvent OnMouseEnter;
  tk::TNotifyEvent OnMouseLeave;
  TOnLinkActivating OnLinkActivating;

  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  virtual void MouseEnter();
  virtual void MouseLeave();

 private:
  void ApplyFontColor(tk::TColor color);
  void ApplyUnderline(bool underline);
  tk::TColor RestingColor() const { return FVisited ? FVisitedCl : FNVisitedCl; }

  bool FAbout = false;
  bool FMouseOver = false;
  std::wstring FLink;
  bool FAutoHint = false;
  bool FVisited = false;
  tk::TColor FVisitedCl = tk::clPurple;
  tk::TColor FNVisitedCl = tk::clBlue;
  tk::TColor FOverCl = tk::clRed;
};
