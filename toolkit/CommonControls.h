// The common controls library (comctl32), loaded when the first window or image list needs it
// rather than through the import table: a process that never creates a window (the first one of
// a run, which hands over to its copy) never runs the library's start-up, which registers its
// window classes and connects to the display. It is loaded by its plain name, so that the
// side-by-side store the manifest names (version 6) answers before any folder is searched, as it
// does for an imported library.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace tk::comctl {

// Loads the library and registers its window classes, once per process: before the first window
// is created.
void Initialize();

// The library's image-list functions; each fails as the library's own does on a null list, and
// as if the list could not be made when the library cannot be loaded.
HIMAGELIST ImageListCreate(int width, int height, UINT flags, int initial, int grow);
void ImageListDestroy(HIMAGELIST list);
int ImageListAdd(HIMAGELIST list, HBITMAP image, HBITMAP mask);
int ImageListReplaceIcon(HIMAGELIST list, int index, HICON icon);
int ImageListGetImageCount(HIMAGELIST list);
bool ImageListSetIconSize(HIMAGELIST list, int width, int height);
bool ImageListDrawEx(HIMAGELIST list, int index, HDC dc, int x, int y, COLORREF background,
                     COLORREF foreground, UINT style);

}  // namespace tk::comctl
