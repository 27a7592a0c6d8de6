// Horizontal and vertical lines written straight into 32-bit pixel memory, exactly as
// GDI's PolyPolyline draws them with a solid 1-pixel pen in copy mode: each segment from
// its first point towards its second, the second left out, clipped to the surface.
//
// The Win32 backend uses this for the grid, which GDI (notably Wine's) draws one pixel
// row at a time; here the lines are written in one walk down the surface (one per 512
// lines of either direction).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types.h"

namespace vimo {

// Pixel memory of `width` x `height` 32-bit pixels, rows `width` pixels apart; row 0 is
// the first row in memory when `topDown`, else the last (a bottom-up DIB).
struct PixelRows {
  std::uint32_t* bits = nullptr;
  int width = 0;
  int height = 0;
  bool topDown = true;

  std::uint32_t* Row(int y) const {
    const int index = topDown ? y : height - 1 - y;
    return bits + static_cast<std::ptrdiff_t>(index) * width;
  }
};

// Whether every one of the `polylines` polylines is a single horizontal or vertical
// segment (two points; a segment of no length counts, and draws nothing).
bool AllStraightSegments(const Point* points, const std::uint32_t* counts, std::uint32_t polylines);

// Writes `colour` where PolyPolyline would draw those segments. The segments must pass
// AllStraightSegments; `points` holds two per polyline.
void WriteStraightLines(const PixelRows& surface, const Point* points, std::uint32_t polylines,
                        std::uint32_t colour);

}  // namespace vimo
