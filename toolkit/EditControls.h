// Single-line edit fields: the plain field, and the field with a picture button embedded at its
// right end (the button lives inside the field, the text stops short of it).
#pragma once

#include "toolkit/Controls.h"
#include "toolkit/ImageList.h"
#include "toolkit/KeyEvents.h"

namespace tk {

class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* owner);

  std::wstring Text() const { return Caption(); }
  // Raises OnChange when the text differs from the current one, with or without a window.
  void SetText(const std::wstring& text);

  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);

  // Enter goes to the field first (OnKeyPress sees it); unless the field swallows it there, the
  // window's default button is pressed after, as Enter does elsewhere.
  bool WantReturn() const { return wantReturn_; }
  void SetWantReturn(bool value) { wantReturn_ = value; }

  // The background colour the field paints with now (its Color, or the window colour; the
  // window colour as well while high contrast is on).
  COLORREF BackgroundColor() const;
  int SystemTextColor() const override { return COLOR_WINDOWTEXT; }

  // A text field, named after the frame it stands in unless it has a name of its own.
  AccessibleFacts Describe() override;
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  TNotifyEvent OnChange;      // after every change of the text, typed or set
  TKeyPressEvent OnKeyPress;  // a typed character, before the field takes it
                              // OnClick (inherited): a left click inside the text area.

 protected:
  void FillCreateParams(CreateParams& params) override;
  bool CommandNotify(WORD code) override;
  HBRUSH CtlColor(HDC dc) override;
  virtual void Change();
  virtual void KeyPress(wchar_t& key);

 private:
  bool readOnly_ = false;
  bool wantReturn_ = false;
  bool settingText_ = false;
  bool mouseDown_ = false;
  UniqueHBRUSH brush_;
  COLORREF brushColor_ = CLR_INVALID;
};

class TButtonedEdit;

// The picture button inside a TButtonedEdit: shows ImageIndex, or HotImageIndex while the mouse
// is over it, and raises the field's OnRightButtonClick when clicked. It is a tab stop of its
// own, right after the field: Space or Enter presses it, and a focus rectangle shows it has the
// focus. A reader names it by its hint.
class TEditButton : public TCustomControl {
 public:
  explicit TEditButton(TButtonedEdit* edit);

  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int index);
  int HotImageIndex() const { return hotImageIndex_; }
  void SetHotImageIndex(int index);
  bool Hot() const { return hot_; }
  // The index drawn now.
  int ShownImageIndex() const;

  void SetVisible(bool visible) override;
  // Presses the button as a click does.
  void Click() override;
  AccessibleFacts Describe() override;

  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  void FillCreateParams(CreateParams& params) override;
  void OnPaint(HDC dc) override;

 private:
  void SetHot(bool hot);

  TButtonedEdit* edit_;
  int imageIndex_ = -1;
  int hotImageIndex_ = -1;
  bool hot_ = false;
};

class TButtonedEdit : public TEdit {
 public:
  explicit TButtonedEdit(TComponent* owner);

  TImageList* Images() const { return images_; }
  void SetImages(TImageList* images);
  TEditButton& RightButton() { return *rightButton_; }

  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void DpiChanged() override;

  TNotifyEvent OnRightButtonClick;

 protected:
  void FillCreateParams(CreateParams& params) override;
  void CreateWnd() override;

 private:
  friend class TEditButton;
  // Places the button at the right end and keeps the text out of its way.
  void LayoutButton();

  TImageList* images_ = nullptr;
  TEditButton* rightButton_;
};

}  // namespace tk
