#include "toolkit/CommonControls.h"

namespace tk::comctl {
namespace {

// The library's functions this program calls, typed as the header declares them (calling
// convention included); all null when the library cannot be loaded.
struct Functions {
  decltype(&::InitCommonControlsEx) init = nullptr;
  decltype(&::ImageList_Create) create = nullptr;
  decltype(&::ImageList_Destroy) destroy = nullptr;
  decltype(&::ImageList_Add) add = nullptr;
  decltype(&::ImageList_ReplaceIcon) replaceIcon = nullptr;
  decltype(&::ImageList_GetImageCount) count = nullptr;
  decltype(&::ImageList_SetIconSize) setIconSize = nullptr;
  decltype(&::ImageList_DrawEx) draw = nullptr;
};

template <typename Fn>
void Find(HMODULE library, Fn& function, const char* name) {
  function = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

const Functions& Library() {
  static const Functions functions = [] {
    Functions found;
    // Kept until the process ends, as an imported library would be.
    HMODULE library = ::LoadLibraryW(L"comctl32.dll");
    if (!library) return found;
    Find(library, found.init, "InitCommonControlsEx");
    Find(library, found.create, "ImageList_Create");
    Find(library, found.destroy, "ImageList_Destroy");
    Find(library, found.add, "ImageList_Add");
    Find(library, found.replaceIcon, "ImageList_ReplaceIcon");
    Find(library, found.count, "ImageList_GetImageCount");
    Find(library, found.setIconSize, "ImageList_SetIconSize");
    Find(library, found.draw, "ImageList_DrawEx");
    return found;
  }();
  return functions;
}

}  // namespace

void Initialize() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    return Library().init && Library().init(&icc);
  }();
  (void)registered;
}

HIMAGELIST ImageListCreate(int width, int height, UINT flags, int initial, int grow) {
  const auto call = Library().create;
  return call ? call(width, height, flags, initial, grow) : nullptr;
}

void ImageListDestroy(HIMAGELIST list) {
  if (list && Library().destroy) Library().destroy(list);
}

int ImageListAdd(HIMAGELIST list, HBITMAP image, HBITMAP mask) {
  return list && Library().add ? Library().add(list, image, mask) : -1;
}

int ImageListReplaceIcon(HIMAGELIST list, int index, HICON icon) {
  return list && Library().replaceIcon ? Library().replaceIcon(list, index, icon) : -1;
}

int ImageListGetImageCount(HIMAGELIST list) {
  return list && Library().count ? Library().count(list) : 0;
}

bool ImageListSetIconSize(HIMAGELIST list, int width, int height) {
  return list && Library().setIconSize && Library().setIconSize(list, width, height);
}

bool ImageListDrawEx(HIMAGELIST list, int index, HDC dc, int x, int y, COLORREF background,
                     COLORREF foreground, UINT style) {
  return list && Library().draw &&
         Library().draw(list, index, dc, x, y, 0, 0, background, foreground, style);
}

}  // namespace tk::comctl
