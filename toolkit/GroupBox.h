// A captioned frame that holds other controls: an etched rectangle with the caption in its top
// edge, painted by us so that it can parent children and hand their notifications back to them.
#pragma once

#include "toolkit/Controls.h"
#include "toolkit/KeyEvents.h"

namespace tk {

class TGroupBox : public TCustomControl {
 public:
  explicit TGroupBox(TComponent* owner);

  // The area inside the frame and below the caption, in 96-DPI units of the frame's window.
  RECT DisplayRect96() const;

  // A character typed in the frame, or handed on to it by a child.
  virtual void KeyPress(wchar_t& key);
  TKeyPressEvent OnKeyPress;

  // A group of controls named by its caption.
  AccessibleFacts Describe() override;
  void DpiChanged() override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  void FillCreateParams(CreateParams& params) override;
  void OnPaint(HDC dc) override;
  // Places the children; runs when the size, the font or the DPI changes.
  virtual void AlignControls() {}

 private:
  // Caption height in pixels for the current font.
  int CaptionHeight() const;
};

}  // namespace tk
