#include "toolkit/ImageList.h"

#include "toolkit/Image.h"

#include <vector>

namespace tk {

TImageList::TImageList(TComponent* owner, int width, int height)
    : TComponent(owner), width_(width), height_(height) {}

HIMAGELIST TImageList::List() {
  if (!list_) list_.reset(comctl::ImageListCreate(width_, height_, ILC_COLOR32 | ILC_MASK, 2, 2));
  return list_.get();
}

void TImageList::SetSize(int width, int height) {
  width_ = width;
  height_ = height;
  // The list keeps its handle and its colour depth; its images go.
  if (list_) comctl::ImageListSetIconSize(list_.get(), width, height);
}

int TImageList::Count() const {
  return comctl::ImageListGetImageCount(list_.get());
}

int TImageList::AddIcon(HICON icon) {
  if (!icon) return -1;
  return comctl::ImageListReplaceIcon(List(), -1, icon);
}

int TImageList::AddResourceIcon(HINSTANCE module, const wchar_t* name) {
  UniqueHICON icon(
      static_cast<HICON>(::LoadImageW(module, name, IMAGE_ICON, width_, height_, LR_DEFAULTCOLOR)));
  return AddIcon(icon.get());
}

int TImageList::AddStockIcon(SHSTOCKICONID id) {
  SHSTOCKICONINFO info{};
  info.cbSize = sizeof(info);
  if (SUCCEEDED(::SHGetStockIconInfo(id, SHGSI_ICONLOCATION, &info))) {
    UniqueHICON icon;
    if (::SHDefExtractIconW(info.szPath, info.iIcon, 0, icon.put(), nullptr,
                            static_cast<UINT>(MAKELONG(width_, height_))) == S_OK)
      return AddIcon(icon.get());
  }
  info = SHSTOCKICONINFO{};
  info.cbSize = sizeof(info);
  if (FAILED(::SHGetStockIconInfo(id, SHGSI_ICON | SHGSI_SMALLICON, &info))) return -1;
  UniqueHICON icon(info.hIcon);
  return AddIcon(icon.get());
}

int TImageList::AddBlank() {
  if (!List()) return -1;
  // A 32-bit image with zero alpha (a new DIB section is all zeros) plus an all-set mask draws
  // nothing.
  void* bits = nullptr;
  UniqueHBITMAP color = TopDownBitmap(width_, height_, bits);
  if (!color) return -1;
  std::vector<BYTE> ones(static_cast<size_t>((width_ + 15) / 16 * 2 * height_), 0xFF);
  UniqueHBITMAP mask(::CreateBitmap(width_, height_, 1, 1, ones.data()));
  return comctl::ImageListAdd(list_.get(), color.get(), mask.get());
}

bool TImageList::Draw(HDC dc, int index, int x, int y, bool enabled) const {
  if (index < 0 || index >= Count()) return false;
  const UINT style = ILD_TRANSPARENT | (enabled ? 0 : ILD_BLEND50);
  return comctl::ImageListDrawEx(list_.get(), index, dc, x, y, CLR_NONE,
                                 enabled ? CLR_DEFAULT : ::GetSysColor(COLOR_BTNFACE), style);
}

}  // namespace tk
