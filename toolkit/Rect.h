// A rectangle by its origin and size, the way bounds are written; RECT spells its corners.
#pragma once

namespace tk {

struct Rect {
  int x = 0;
  int y = 0;
  int dx = 0;  // width
  int dy = 0;  // height

  bool operator==(const Rect&) const = default;
};

}  // namespace tk
