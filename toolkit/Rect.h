// A rectangle by its origin and size, the way bounds are written; RECT spells its corners.
#pragma once

#include <windows.h>

namespace tk {

struct Rect {
  int x = 0;
  int y = 0;
  int dx = 0;  // width
  int dy = 0;  // height

  static Rect FromRECT(const RECT& r) {
    return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
  }
  RECT ToRECT() const { return RECT{x, y, x + dx, y + dy}; }
  bool operator==(const Rect&) const = default;
};

}  // namespace tk
