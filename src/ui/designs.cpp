#include "ui/designs.h"

#include <array>
#include <string_view>

#include "version.h"

namespace vimo {
namespace {

constexpr std::array kMainControls{
    ControlDesign{.name = "CommonDialog", .kind = ControlKind::kCommonDialog, .visible = false},
    ControlDesign{.name = "BuffPic",
                  .kind = ControlKind::kPictureBox,
                  .width = 975,
                  .height = 975,
                  .visible = false,
                  .foreColor = kDefaultGridColour,
                  .tabIndex = 0},
    // The frozen screen, one pixel while nothing is frozen.
    ControlDesign{.name = "StillPic",
                  .kind = ControlKind::kPictureBox,
                  .width = 15,
                  .height = 15,
                  .visible = false,
                  .backColor = 0,
                  .tabIndex = 3},
    ControlDesign{.name = "Timer", .kind = ControlKind::kTimer, .visible = false, .intervalMs = 15},
    ControlDesign{.name = "Label2",
                  .kind = ControlKind::kLabel,
                  .top = 3165,
                  .width = 3000,
                  .height = 180,
                  .caption = "Label2",
                  .visible = false,
                  .font = {"Arial", 8.25F, 400, false},
                  .tabIndex = 2},
    ControlDesign{.name = "Label1",
                  .kind = ControlKind::kLabel,
                  .top = 3000,
                  .width = 3000,
                  .height = 180,
                  .caption = "Label1",
                  .visible = false,
                  .font = {"Arial", 8.25F, 400, false},
                  .tabIndex = 1},
    ControlDesign{.name = "Shape1",
                  .kind = ControlKind::kShape,
                  .width = 3000,
                  .height = 3000,
                  .foreColor = kSysWindowText},
};

constexpr std::array kMainMenus{
    MenuDesign{0, "Pop", 0, "Popup", false, true, false},
    MenuDesign{1, "Magni", 0, "Magnification"},
    MenuDesign{2, "Mag", 1, "1 X"},
    MenuDesign{2, "Mag", 2, "2 X"},
    MenuDesign{2, "Mag", 3, "3 X", true},
    MenuDesign{2, "Mag", 4, "4 X"},
    MenuDesign{2, "Mag", 5, "5 X"},
    MenuDesign{2, "Mag", 6, "6 X"},
    MenuDesign{2, "Mag", 7, "7 X"},
    MenuDesign{2, "Mag", 8, "8 X"},
    MenuDesign{2, "Mag", 9, "9 X"},
    MenuDesign{2, "Mag", 10, "10 X"},
    MenuDesign{1, "Linie2", 0, "-"},
    MenuDesign{1, "OnTop", 0, "Always on top", true},
    MenuDesign{1, "Stick", 0, "Stick to mouse (press 'M' to toggle)"},
    MenuDesign{1, "Linie5", 0, "-"},
    MenuDesign{1, "Center", 0, "Centered to mouse", true},
    MenuDesign{1, "TopLeft", 0, "Top left of mouse"},
    MenuDesign{1, "Linie6", 0, "-"},
    MenuDesign{1, "LockMen", 0, "Lock (press 'space' to toggle)"},
    MenuDesign{1, "Meas", 0, "Measure", false, false},
    MenuDesign{1, "SlowMouse", 0, "Slow down mouse pointer in magnified area", false, false},
    MenuDesign{1, "Linie", 0, "-"},
    MenuDesign{1, "PointerMen", 0, "Show mouse pointer", true},
    MenuDesign{1, "GridMen", 0, "Show grid"},
    MenuDesign{1, "GridColor", 0, "Grid color ..."},
    MenuDesign{1, "Linie8", 0, "-"},
    MenuDesign{1, "Freeze", 0, "Freeze screen (press 'F' to toggle)"},
    MenuDesign{1, "PixelInfo", 0, "Pixel info ... (press 'I')"},
    MenuDesign{1, "Linie7", 0, "-"},
    MenuDesign{1, "About", 0, "About ..."},
};

constexpr FormDesign kMainDesign{
    .name = "frmMain",
    .caption = "Vimo V0.9 3 X",
    .clientWidth = kMainClientWidthTwips,
    .clientHeight = kMainClientHeightTwips,
    .border = BorderStyle::kSizable,
    .maxButton = false,
    .minButton = true,
    .showInTaskbar = true,
    .foreColor = 0x00000000,
    .backColor = kSysButtonFace,
    .greenPointer = true,
    .drawMode = 6,
    .controls = kMainControls,
    .menus = kMainMenus,
};

constexpr FontDesign kAboutFont{"Arial", 9.75F, 400, false};

constexpr std::array kAboutControls{
    ControlDesign{.name = "cmdClose",
                  .kind = ControlKind::kCommandButton,
                  .left = 720,
                  .top = 2400,
                  .width = 2055,
                  .height = 495,
                  .caption = "Close",
                  .font = kAboutFont,
                  .tabIndex = 2,
                  .isDefault = true,
                  .isCancel = true},
    ControlDesign{.name = "lblVersion",
                  .kind = ControlKind::kLabel,
                  .left = 360,
                  .top = 480,
                  .width = 2535,
                  .height = 375,
                  .caption = "version",
                  .foreColor = 0x00000000,
                  .transparentBack = true,
                  .font = kAboutFont,
                  .tabIndex = 3},
    ControlDesign{.name = "lblHomepage",
                  .kind = ControlKind::kLabel,
                  .left = 360,
                  .top = 1680,
                  .width = 3135,
                  .height = 375,
                  .caption = "Visit homepage",
                  .foreColor = 0x00FF0000,
                  .transparentBack = true,
                  .font = {"Arial", 9.75F, 400, true},
                  .tabIndex = 1,
                  .tooltip = VIMO_HOMEPAGE},
    ControlDesign{.name = "lblCopyright",
                  .kind = ControlKind::kLabel,
                  .left = 360,
                  .top = 1080,
                  .width = 3135,
                  .height = 375,
                  .caption = "copyright",
                  .foreColor = 0x00000000,
                  .transparentBack = true,
                  .font = kAboutFont,
                  .tabIndex = 0},
};

constexpr FormDesign kAboutDesign{
    .name = "frmAbout",
    .caption = "About Vimo",
    .clientWidth = 3525,
    .clientHeight = 3180,
    .border = BorderStyle::kFixedDialog,
    .maxButton = false,
    .minButton = false,
    .showInTaskbar = false,
    .centerOnOwner = true,
    .backColor = 0x00FFFFFF,
    .font = kAboutFont,
    .controls = kAboutControls,
};

// Five lines, each whole at any scale on a screen 640 design pixels wide: the longest
// ("Pointer  X=-1000 ...  hsl(359, 100%, 100%)") takes some 470.
constexpr FontDesign kInfoFont{"Arial", 9.75F, 400, false};
constexpr int kInfoLineTwips = 300;
constexpr int kInfoMarginTwips = 120;
constexpr int kInfoWidthTwips = 7800;

constexpr ControlDesign InfoRow(std::string_view name, int line) {
  return ControlDesign{.name = name,
                       .kind = ControlKind::kLabel,
                       .left = kInfoMarginTwips,
                       .top = kInfoMarginTwips + line * kInfoLineTwips,
                       .width = kInfoWidthTwips,
                       .height = kInfoLineTwips,
                       .caption = "-",
                       .foreColor = 0x00000000,
                       .transparentBack = true,
                       .font = kInfoFont,
                       .tabIndex = line};
}

constexpr std::array kPixelInfoControls{
    InfoRow("lblPointer", 0),  InfoRow("lblPoint1", 1),   InfoRow("lblPoint2", 2),
    InfoRow("lblDistance", 3), InfoRow("lblContrast", 4),
};

constexpr FormDesign kPixelInfoDesign{
    .name = "frmPixelInfo",
    .caption = "Pixel info",
    .clientWidth = kInfoWidthTwips + 2 * kInfoMarginTwips,
    .clientHeight = 5 * kInfoLineTwips + 2 * kInfoMarginTwips,
    .border = BorderStyle::kFixedDialog,
    .maxButton = false,
    .minButton = false,
    .showInTaskbar = false,
    .backColor = 0x00FFFFFF,
    .font = kInfoFont,
    .controls = kPixelInfoControls,
};

}  // namespace

const FormDesign& PixelInfoDesign() { return kPixelInfoDesign; }
const FormDesign& MainDesign() { return kMainDesign; }
const FormDesign& AboutDesign() { return kAboutDesign; }

}  // namespace vimo
