// The Pixel info window frmPixelInfo: the pixel under the pointer, the two measuring
// points, their distance and angle, and the contrast of their colours, kept current
// from tick to tick. Ctrl+C in it copies its five lines as text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/toolkit.h"
#include "platform/win32_api.h"
#include "ui/label_text.h"

namespace vimo {

// Hue in whole degrees (0 to 359), saturation and lightness in whole percents.
struct Hsl {
  int hue = 0;
  int saturation = 0;
  int lightness = 0;
  bool operator==(const Hsl&) const = default;
};
Hsl ToHsl(Colour colour);  // colour: 0x00BBGGRR
// "#RRGGBB", with its terminating zero.
std::array<char, 8> HexColour(Colour colour);

// The WCAG 2 contrast ratio of two colours, lighter over darker, in hundredths, cut (never
// rounded up): 4.499 gives 449.
int ContrastHundredths(Colour a, Colour b);
// The angle of (dx, dy) in screen pixels, anticlockwise from the positive x axis as seen on
// the screen (up is positive), in degrees in (-180, 180]; 0 for no distance.
double AngleDegrees(std::int64_t dx, std::int64_t dy);

// A screen pixel and its colour; no colour where it could not be read.
struct PixelSample {
  Point at;
  std::optional<Colour> colour;
};

// What the window shows: the pixel under the pointer (none where it has none to give)
// and, while locked and measuring, the fixed point and the point under the pointer.
struct PixelReport {
  std::optional<PixelSample> pointer;
  std::optional<PixelSample> from;
  std::optional<PixelSample> to;
};

using InfoLine = std::array<char, 128>;
inline constexpr std::size_t kInfoLines = 5;

// The five lines of a report, written into fixed buffers: nothing allocates. A line
// without a pointer sample is left as it is.
void FormatReport(const PixelReport& report, std::array<InfoLine, kInfoLines>& lines,
                  std::array<std::size_t, kInfoLines>& sizes);

class MainWindow;

class PixelInfoWindow : public FormEvents {
 public:
  PixelInfoWindow(Win32Api& api, Toolkit& toolkit, MainWindow& main);

  // Opens the window modeless and topmost, owned by `owner`, just below it (above it where
  // the desktop has no room below).
  void Open(Form& owner, const Rect& desktop);
  void Close();
  bool IsOpen() const { return form_ != nullptr && form_->Loaded(); }
  // Shows `report`; labels are set only where their text changed.
  void Show(const PixelReport& report);
  // The five lines as the window shows them, LF between them.
  std::string_view Text();

  void OnCreate(Form& form) override;
  void OnLoad() override;
  void OnKeyPress(std::int16_t& keyAscii) override;

 private:
  Win32Api& api_;
  Toolkit& toolkit_;
  MainWindow& main_;
  Form* form_ = nullptr;
  std::array<Label*, kInfoLines> labels_{};
  std::array<InfoLine, kInfoLines> lines_{};
  std::array<std::size_t, kInfoLines> sizes_{};
  std::array<LabelText, kInfoLines> shown_{};
  std::array<char, kInfoLines * sizeof(InfoLine)> text_{};
};

}  // namespace vimo
