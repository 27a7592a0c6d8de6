// The pointer's path in a soak, shared by both benchmarks so that their soaks compare:
// resting for 7 ticks out of 8, moving along a square of 100 pixels in the eighth.
#pragma once

#include "platform/types.h"

namespace vimo::bench {

// The pointer's offset from its start in tick `tick`.
inline Point SoakOffset(long long tick) {
  const int step = static_cast<int>((tick / 8) % 400);
  const int side = step / 100;
  const int along = step % 100;
  const int x = side == 0 ? along : side == 1 ? 100 : side == 2 ? 100 - along : 0;
  const int y = side == 0 ? 0 : side == 1 ? along : side == 2 ? 100 : 100 - along;
  return {x, y};
}

}  // namespace vimo::bench
