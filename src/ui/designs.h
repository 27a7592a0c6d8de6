// The designs of Vimo's windows: controls, their design values and the menu tree.
#pragma once

#include "platform/design.h"

namespace vimo {

// The magnifier window.
const FormDesign& MainDesign();
// The About window.
const FormDesign& AboutDesign();
// The Pixel info window.
const FormDesign& PixelInfoDesign();

// Design values the logic refers to by meaning.
inline constexpr Colour kDefaultGridColour = 0x00C0C0C0;  // light grey
inline constexpr int kMainClientWidthTwips = 3000;
inline constexpr int kMainClientHeightTwips = 3345;

}  // namespace vimo
