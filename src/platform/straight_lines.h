// Horizontal and vertical lines written straight into 32-bit pixel memory, exactly as
// GDI's PolyPolyline draws them with a solid 1-pixel pen in copy mode: each segment from
// its first point towards its second, the second left out, clipped to the surface.
//
// The frame's grid is written this way in every backend: GDI (notably Wine's) draws a
// vertical line one pixel row at a time; here the lines are written in one walk down the
// surface (one per 512 lines of either direction).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types.h"

namespace vimo {

// Writes `colour` where GDI would draw the `lines` segments, two points each in
// `points`. Only horizontal and vertical segments are written; a segment of no length
// draws nothing. `surface` may be a band of a taller picture whose first row is the
// picture's row `top`: the points are the picture's, and what falls outside the band is
// left out.
void WriteStraightLines(const PixelRows& surface, const Point* points, std::size_t lines,
                        Colour colour, int top = 0);

}  // namespace vimo
