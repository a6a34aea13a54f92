// A top-level window whose window class is the form's class name.
#pragma once

#include <exception>

#include "toolkit/Controls.h"

namespace tk {

class TForm : public TWinControl {
 public:
  TForm(TComponent* owner, std::wstring windowClass);
  ~TForm() override;

  // Design-time settings, applied when the window is created.
  void SetClientSize(int width96, int height96);
  void SetPosition(int left, int top);
  void SetToolWindowBorder(bool tool) { toolWindow_ = tool; }
  void SetAlphaBlendValue(BYTE alpha);
  void SetScreenSnap(bool snap) { screenSnap_ = snap; }

  // Creates the window and its controls, runs FormCreate, then shows the form when Visible. In a
  // process that is ending the form stays without windows.
  void CreateForm(bool asMainForm);
  void Show();
  // Asks the window to close (WM_CLOSE); CanClose may refuse.
  void Close();

  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  // The layout: create the controls (they get their windows when the form gets its own).
  virtual void CreateControls() {}
  virtual void FormCreate() {}
  // Whether the window may close now, however the user asks (Esc, Alt+F4, the close box).
  virtual bool CanClose() { return true; }
  void FillCreateParams(CreateParams& params) override;

 private:
  // FormCreate, with what it threw.
  std::exception_ptr RunFormCreate();
  TWinControl* FindById(const TWinControl* from, UINT id);
  TWinControl* FindDefaultButton(TWinControl* from);
  void SnapToWorkArea(RECT& rc);
  // One handler per message the form answers itself.
  void OnDpiChanged(const RECT& suggested);
  // A button click the dialog manager reports by id alone (the default button, Esc); true when
  // handled.
  bool OnDialogCommand(WORD id);
  // Keeps the focused control when the window is left and gives it back on return.
  void OnActivate(WORD state, bool minimized);
  void OnDestroy();

  std::wstring windowClass_;
  int clientWidth_ = 300;
  int clientHeight_ = 200;
  POINT position_{CW_USEDEFAULT, CW_USEDEFAULT};
  bool toolWindow_ = false;
  BYTE alpha_ = 255;
  bool screenSnap_ = false;
  bool mainForm_ = false;
  // The control that had the focus when the window was last left; it gets it back on return
  // (after a message box, say).
  HWND lastFocus_ = nullptr;
};

}  // namespace tk
