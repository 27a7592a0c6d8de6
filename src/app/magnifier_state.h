// Everything the magnifier window remembers between events.
#pragma once

#include <cstdint>
#include <string>

#include "platform/types.h"
#include "ui/designs.h"

namespace vimo {

struct MagnifierState {
  std::int32_t DeskLeft = 0;
  std::int32_t DeskTop = 0;
  std::int32_t DeskRight = 0;   // exclusive
  std::int32_t DeskBottom = 0;  // exclusive
  std::int16_t SrcWidth = 0;
  std::int16_t SrcHeight = 0;
  std::int16_t ViewWidth = 0;
  std::int16_t ViewHeight = 0;
  std::int16_t SrcX = 0;
  std::int16_t SrcY = 0;
  Point CursorPos;
  std::int32_t SavedMouseSpeed = 0;
  std::int32_t MeasureToX = 0;
  std::int32_t MeasureToY = 0;
  std::int32_t MeasureFromX = 0;
  std::int32_t MeasureFromY = 0;
  std::int16_t Factor = 0;
  Flag Locked = kFalse;
  Flag Sticky = kFalse;
  Flag Centered = kFalse;
  Flag GridOn = kFalse;
  Colour GridColor = kDefaultGridColour;  // the grid's lines, and BuffPic's pen
  Flag MeasureOn = kFalse;
  Flag OnTopOn = kFalse;
  Flag PointerOn = kFalse;
  Flag SlowMouseOn = kFalse;
  Flag MouseSlowed = kFalse;
  // The system's screen reads show Vimo's own window (it could not be left out of them).
  Flag SeesItself = kFalse;
  // The screen held still: while frozen every read of the screen reads FrozenArea (screen
  // coordinates) of the picture taken when it froze.
  Flag Frozen = kFalse;
  Rect FrozenArea;
  std::int32_t FreezeTicks = 0;  // ticks until a freeze chosen in the menu takes the screen
  std::int32_t HintTicks = 0;
  std::string HintText;
  // A notice after the factor in the caption ("#1E90FF", "clipboard busy") and the ticks
  // it has left; while it lasts it stands in place of the hint.
  std::int32_t NoticeTicks = 0;
  std::string NoticeText;
  // Wheel turns short of a whole notch, in 120ths, in the direction last turned.
  std::int32_t WheelRest = 0;
  std::string SettingsPath;

  // Kept from one call of a single procedure to the next.
  std::int32_t BoundsTicks = 0;  // the tick handler's counter, 0..300
  Flag SlowedByCheck = kFalse;   // CheckSlowMouse's own flag
};

}  // namespace vimo
