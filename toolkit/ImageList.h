// A list of equally sized small images (icons), owned like any component, for controls that draw
// pictures from it by index. The images are held at the size they are drawn: a control that
// shows them on a scaled screen gives the list the scaled size and adds them again. The system's
// list behind it is made when the first image is added.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "toolkit/Component.h"
#include "toolkit/Handles.h"

namespace tk {

class TImageList : public TComponent {
 public:
  explicit TImageList(TComponent* owner, int width = 16, int height = 16);

  int Width() const { return width_; }
  int Height() const { return height_; }
  int Count() const;
  // Null until the first image is added.
  HIMAGELIST Handle() const { return list_.get(); }
  // Empties the list and makes it hold images of the new size from now on.
  void SetSize(int width, int height);

  // Each returns the new image's index, or -1 when nothing was added.
  int AddIcon(HICON icon);
  // The icon resource `name` of `module` at the list's size (the resource's own image of that
  // size where it has one); -1 when the module has none.
  int AddResourceIcon(HINSTANCE module, const wchar_t* name);
  // One of the shell's stock icons, taken at the list's size from the file that holds it, or the
  // shell's small one where that file cannot be read.
  int AddStockIcon(SHSTOCKICONID id);
  // A fully transparent image, to keep the indices of later images where they belong.
  int AddBlank();

  // Draws image `index` at its own size with its top left corner at x, y; greyed when not enabled.
  bool Draw(HDC dc, int index, int x, int y, bool enabled = true) const;

 private:
  // The system's list, made on first use.
  HIMAGELIST List();

  int width_;
  int height_;
  UniqueHIMAGELIST list_;
};

}  // namespace tk
