// Twips and pixels. The window's own size and position are twips; everything inside it,
// and the screen, is pixels. Both backends convert with these, so that a size set by the
// logic comes out as the same pixels whichever backend runs it.
#pragma once

#include <climits>
#include <cmath>

namespace vimo {

// The nearest whole pixel, ties to the even neighbour (216.5 -> 216, 217.5 -> 218,
// -1.5 -> -2). Beyond the int range (and for NaN) the nearest end of the range.
inline int WholePixels(double pixels) {
  if (!(pixels > INT_MIN)) return INT_MIN;
  if (pixels >= INT_MAX) return INT_MAX;
  double whole = std::floor(pixels);
  const double rest = pixels - whole;
  if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return static_cast<int>(whole);
}

// Divided in double precision, then rounded as WholePixels does.
inline int PixelsFromTwips(double twips, float twipsPerPixel) {
  return WholePixels(twips / static_cast<double>(twipsPerPixel));
}

inline float TwipsFromPixels(int pixels, float twipsPerPixel) {
  return static_cast<float>(pixels) * twipsPerPixel;
}

// The twips per pixel of a monitor of `dpi` dots per inch (15 at 96).
inline float TwipsPerPixelAt(int dpi) { return 1440.0F / static_cast<float>(dpi); }

// A font's character height in whole pixels: a point is 20 twips.
inline int PixelsFromPoints(float points, float twipsPerPixel) {
  return WholePixels(static_cast<double>(points) * 20.0 / static_cast<double>(twipsPerPixel));
}

}  // namespace vimo
