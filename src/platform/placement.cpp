#include "platform/placement.h"

#include <algorithm>

namespace vimo {

Point CentredInside(const Rect& around, int width, int height, const Rect& area) {
  auto place = [](int from, int to, int size, int low, int high) {
    const int centred = from + (to - from - size) / 2;
    return std::max(low, std::min(centred, high - size));
  };
  return {place(around.left, around.right, width, area.left, area.right),
          place(around.top, around.bottom, height, area.top, area.bottom)};
}

}  // namespace vimo
