// Vimo's own pointer over its view: 16 x 16 pixels, all transparent but one pure green
// pixel, which is also the hot spot. Every backend makes its pointer from these.
#pragma once

#include "platform/types.h"

namespace vimo::green_pointer {

inline constexpr int kSize = 16;
inline constexpr Point kHotSpot{8, 7};  // column 8, row 7: the one green pixel
inline constexpr Colour kColour = 0x0000FF00;

}  // namespace vimo::green_pointer
