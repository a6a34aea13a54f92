// A picture control: shows a PNG (alpha channel included) from the program's resources, blended
// over the parent's background, scaled with the monitor's DPI and optionally centred. A picture
// may be stored for a higher DPI than the design one (twice as many pixels each way, say): it is
// laid out at its design size and made smaller with an area filter where the screen needs fewer
// pixels, so that it stays sharp on scaled screens.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "toolkit/Controls.h"
#include "toolkit/Dpi.h"
#include "toolkit/Handles.h"

namespace tk {

// A 32-bit DIB section whose rows run from the top, its pixels blue-green-red-alpha; bits receives
// where they lie. Null when the system cannot make it.
UniqueHBITMAP TopDownBitmap(int width, int height, void*& bits);

// The decoding of a picture on a thread of its own.
struct PngDecoding;

class TImage : public TCustomControl {
 public:
  explicit TImage(TComponent* owner);
  ~TImage() override;
  // A graphic, named by its AccessibleName or else its hint.
  AccessibleFacts Describe() override;

  // Shows the PNG held in a resource of the running program (RCDATA unless told otherwise),
  // whose pixels were made for sourceDpi. False, leaving the control empty, when the resource is
  // missing or not a PNG picture. The resource lives as long as the program; its pixels are
  // decoded on a thread of their own from here on, while the form and its windows are made, and
  // the first paint waits for what is not done yet (in a process that is ending, only once the
  // control gets a window). Pixels that turn out damaged leave the control empty.
  bool LoadFromResource(const wchar_t* name, const wchar_t* type = RT_RCDATA,
                        UINT sourceDpi = dpi::kDesign);
  bool Empty() const { return pixels_.empty() && !decoding_; }
  // Size of the picture at 96 DPI.
  int PictureWidth() const { return width_; }
  int PictureHeight() const { return height_; }
  // Size of the decoded picture in its own pixels.
  SIZE SourceSize() const { return sourceSize_; }
  // Centre the picture in the control (else it sits at the top left corner).
  bool Center() const { return center_; }
  void SetCenter(bool center);
  // Where the picture is drawn now, in the control's client pixels.
  RECT PictureRect() const;

  void DpiChanged() override;

 protected:
  void FillCreateParams(CreateParams& params) override;
  void CreateWnd() override;
  void OnPaint(HDC dc) override;

 private:
  // Starts decoding a picture that waits for it on a thread of its own.
  void StartDecoding();
  // Takes the pixels of a picture being decoded once they are there; damaged ones leave the
  // control empty.
  void FinishDecoding();
  // Takes the size of the picture from its pixels' size and the DPI they were made for.
  void SetSourceSize(SIZE size, UINT sourceDpi);
  void PrepareBitmap(int width, int height);
  // Forgets the picture.
  void Clear();

  // A resource picture being decoded, until its pixels are taken.
  std::unique_ptr<PngDecoding> decoding_;
  UINT encodedDpi_ = dpi::kDesign;

  // Premultiplied 32-bit BGRA rows of the picture as decoded.
  std::string pixels_;
  SIZE sourceSize_{0, 0};
  // Its size at 96 DPI.
  int width_ = 0;
  int height_ = 0;
  bool center_ = false;
  // The picture at the size it is drawn now.
  UniqueHBITMAP bitmap_;
  SIZE bitmapSize_{0, 0};
};

}  // namespace tk
