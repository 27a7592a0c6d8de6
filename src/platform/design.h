// The shape of a window design: static data that a toolkit backend turns into a live
// window with its controls and menu tree. The designs themselves live in ui/.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/types.h"

namespace vimo {

enum class ControlKind { kPictureBox, kTimer, kLabel, kShape, kCommonDialog, kCommandButton };

enum class BorderStyle { kSizable, kFixedDialog };

// A system colour the toolkit resolves at run time.
inline constexpr Colour kSysButtonFace = 0x8000000F;
inline constexpr Colour kSysWindowText = 0x80000008;

struct FontDesign {
  std::string_view name = "Arial";
  float size = 8.25F;  // points
  int weight = 400;
  bool underline = false;
};

// Positions and sizes are twips in the owner's client area.
struct ControlDesign {
  std::string_view name{};
  ControlKind kind = ControlKind::kLabel;
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  std::string_view caption{};
  bool visible = true;
  Colour foreColor = 0;
  // Picture boxes: what a new or grown image starts as. Black is the new memory as the
  // system hands it over, with nothing painted into it.
  Colour backColor = kSysButtonFace;
  bool transparentBack = false;
  FontDesign font{};
  int tabIndex = 0;
  int intervalMs = 0;          // timers
  bool isDefault = false;      // command buttons: Enter presses it
  bool isCancel = false;       // command buttons: Escape presses it
  std::string_view tooltip{};  // labels
};

struct MenuDesign {
  int level = 1;
  std::string_view name{};
  std::int16_t index = 0;  // 1.. for an indexed group; 0 for a single item
  std::string_view caption{};
  bool checked = false;
  bool enabled = true;
  bool visible = true;
};

struct FormDesign {
  std::string_view name{};
  std::string_view caption{};
  int clientWidth = 0;   // twips
  int clientHeight = 0;  // twips
  BorderStyle border = BorderStyle::kSizable;
  bool maxButton = true;
  bool minButton = true;
  bool showInTaskbar = true;
  bool centerOnOwner = false;
  Colour foreColor = 0;
  Colour backColor = kSysButtonFace;
  FontDesign font{};
  bool greenPointer = false;  // one green pixel instead of the arrow over the client area
  int drawMode = 13;          // pen mode of Form::Line: 13 copies the pen, 6 inverts
  std::span<const ControlDesign> controls{};
  std::span<const MenuDesign> menus{};
};

}  // namespace vimo
