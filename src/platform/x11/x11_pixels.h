// The pixel work of the system side, in client memory: the screen area enlarged into the
// view and the pointer image blended over it.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace vimo::x11 {

// `src` stretched into `dst` at (x, y), w x h, nearest neighbour as StretchBlt's
// COLORONCOLOR: target pixel (x + i, y + j) takes source pixel (i * src.width / w,
// j * src.height / h). Clipped to `dst`; an empty source or target draws nothing.
void StretchNearest(const PixelRows& dst, int x, int y, int w, int h, const PixelRows& src);

// The w x h pointer image `argb` (premultiplied 0xAARRGGBB, row by row) enlarged by
// `factor` at (x, y) of `dst`: each source pixel a factor x factor block, blended as
// dst = src + dst * (255 - alpha) / 255 per channel, rounded. Clipped to `dst`.
void BlendCursor(const PixelRows& dst, const std::uint32_t* argb, int w, int h, int x, int y,
                 int factor);

}  // namespace vimo::x11
