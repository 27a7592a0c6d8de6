// Where a window opens that is centred on another one: shared by every backend, so that
// an owned window comes up in the same place whichever one runs it.
#pragma once

#include "platform/types.h"

namespace vimo {

// The top-left corner of a window of `width` x `height` centred on `around`, moved as
// little as needed to lie inside `area` (the work area of the monitor that holds the
// owner). A window larger than the area keeps its top-left corner in the area.
Point CentredInside(const Rect& around, int width, int height, const Rect& area);

}  // namespace vimo
