#include "ui/pixel_info.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "app/main_window.h"
#include "platform/win32_constants.h"
#include "ui/designs.h"

namespace vimo {
namespace {

constexpr std::int16_t kEscape = 27;
constexpr std::int16_t kLowerI = 105;
constexpr std::int16_t kControlC = 3;
constexpr std::uint32_t kPlaceFlags = win::SWP_NOSIZE | win::SWP_NOACTIVATE | win::SWP_SHOWWINDOW;
constexpr std::array<const char*, kInfoLines> kLabelNames{"lblPointer", "lblPoint1", "lblPoint2",
                                                          "lblDistance", "lblContrast"};

int Red(Colour c) { return static_cast<int>(c & 0xFFU); }
int Green(Colour c) { return static_cast<int>((c >> 8) & 0xFFU); }
int Blue(Colour c) { return static_cast<int>((c >> 16) & 0xFFU); }

// n / d rounded half up, for d > 0 and any n.
std::int64_t RoundHalfUp(std::int64_t n, std::int64_t d) {
  const std::int64_t twice = 2 * n + d;
  const std::int64_t q = twice / (2 * d);
  return (twice % (2 * d) != 0 && twice < 0) ? q - 1 : q;
}

double Linear(int channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(Colour c) {
  return 0.2126 * Linear(Red(c)) + 0.7152 * Linear(Green(c)) + 0.0722 * Linear(Blue(c));
}

// Appends to a fixed line; what does not fit is left out.
class Writer {
 public:
  explicit Writer(InfoLine& line) : p_(line.data()), begin_(line.data()), end_(p_ + line.size()) {}
  Writer& operator<<(std::string_view text) {
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(end_ - p_));
    std::memcpy(p_, text.data(), n);
    p_ += n;
    return *this;
  }
  Writer& operator<<(std::int64_t value) {
    p_ = std::to_chars(p_, end_, value).ptr;
    return *this;
  }
  // A number with two decimals.
  Writer& Fixed(double value) {
    const int n = std::snprintf(p_, static_cast<std::size_t>(end_ - p_), "%.2f", value);
    if (n > 0) p_ += std::min<std::ptrdiff_t>(n, end_ - p_ - 1);
    return *this;
  }
  std::size_t Size() const { return static_cast<std::size_t>(p_ - begin_); }

 private:
  char* p_;
  char* begin_;
  char* end_;
};

void WriteSample(Writer& out, const PixelSample& sample) {
  out << "X=" << std::int64_t{sample.at.x} << "  Y=" << std::int64_t{sample.at.y} << "  ";
  if (!sample.colour) {
    out << "-";
    return;
  }
  const Colour c = *sample.colour;
  const Hsl hsl = ToHsl(c);
  out << std::string_view(HexColour(c).data(), 7) << "  rgb(" << std::int64_t{Red(c)} << ", "
      << std::int64_t{Green(c)} << ", " << std::int64_t{Blue(c)} << ")  hsl("
      << std::int64_t{hsl.hue} << ", " << std::int64_t{hsl.saturation} << "%, "
      << std::int64_t{hsl.lightness} << "%)";
}

}  // namespace

std::array<char, 8> HexColour(Colour colour) {
  std::array<char, 8> hex{};
  std::snprintf(hex.data(), hex.size(), "#%02X%02X%02X", static_cast<unsigned>(Red(colour)),
                static_cast<unsigned>(Green(colour)), static_cast<unsigned>(Blue(colour)));
  return hex;
}

// In integers, so that the half-up rounding is exact.
Hsl ToHsl(Colour colour) {
  const int r = Red(colour);
  const int g = Green(colour);
  const int b = Blue(colour);
  const int max = std::max({r, g, b});
  const int min = std::min({r, g, b});
  const int d = max - min;
  Hsl out;
  out.lightness = static_cast<int>(RoundHalfUp(std::int64_t{max + min} * 100, 510));
  if (d == 0) return out;
  const int spread = max + min <= 255 ? max + min : 510 - max - min;
  out.saturation = static_cast<int>(RoundHalfUp(std::int64_t{d} * 100, spread));
  // The hue times d: 60 degrees per sixth of the wheel.
  std::int64_t sixth = 0;
  if (max == r) {
    sixth = std::int64_t{60} * (g - b);
  } else if (max == g) {
    sixth = std::int64_t{60} * (b - r) + std::int64_t{120} * d;
  } else {
    sixth = std::int64_t{60} * (r - g) + std::int64_t{240} * d;
  }
  out.hue = static_cast<int>(((RoundHalfUp(sixth, d) % 360) + 360) % 360);
  return out;
}

int ContrastHundredths(Colour a, Colour b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  const double ratio = (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
  // The small allowance keeps 4.5 from showing as 4.49 for a last-bit error.
  return static_cast<int>(std::floor(ratio * 100.0 + 1e-9));
}

double AngleDegrees(std::int64_t dx, std::int64_t dy) {
  if (dx == 0 && dy == 0) return 0.0;
  // Screen rows grow downwards. Negated as an integer, no distance is +0, never -0, so
  // the angle of a leftward line is 180, never -180.
  const auto up = static_cast<double>(-dy);
  return std::atan2(up, static_cast<double>(dx)) * 180.0 / std::numbers::pi;
}

void FormatReport(const PixelReport& report, std::array<InfoLine, kInfoLines>& lines,
                  std::array<std::size_t, kInfoLines>& sizes) {
  if (report.pointer) {
    Writer out(lines[0]);
    out << "Pointer  ";
    WriteSample(out, *report.pointer);
    sizes[0] = out.Size();
  } else if (sizes[0] == 0) {
    Writer out(lines[0]);
    out << "Pointer  -";
    sizes[0] = out.Size();
  }
  const bool measuring = report.from && report.to;
  const auto point = [&](std::size_t i, const char* name, const std::optional<PixelSample>& s) {
    Writer out(lines[i]);
    out << name;
    if (measuring) {
      WriteSample(out, *s);
    } else {
      out << "-";
    }
    sizes[i] = out.Size();
  };
  point(1, "Point 1  ", report.from);
  point(2, "Point 2  ", report.to);

  Writer distance(lines[3]);
  distance << "Distance  ";
  Writer contrast(lines[4]);
  contrast << "Contrast  ";
  if (measuring) {
    const std::int64_t dx = std::int64_t{report.to->at.x} - report.from->at.x;
    const std::int64_t dy = std::int64_t{report.to->at.y} - report.from->at.y;
    distance << "dx=" << dx << "  dy=" << dy << "  length=";
    distance.Fixed(std::hypot(static_cast<double>(dx), static_cast<double>(dy))) << "  angle=";
    distance.Fixed(AngleDegrees(dx, dy)) << "\u00B0";
    if (report.from->colour && report.to->colour) {
      const int ratio = ContrastHundredths(*report.from->colour, *report.to->colour);
      std::array<char, 16> number{};
      std::snprintf(number.data(), number.size(), "%d.%02d:1", ratio / 100, ratio % 100);
      const auto verdict = [](bool pass) { return pass ? "pass" : "fail"; };
      contrast << number.data() << "  AA large: " << verdict(ratio >= 300)
               << "  AA: " << verdict(ratio >= 450) << "  AAA: " << verdict(ratio >= 700);
    } else {
      contrast << "-";
    }
  } else {
    distance << "-";
    contrast << "-";
  }
  sizes[3] = distance.Size();
  sizes[4] = contrast.Size();
}

PixelInfoWindow::PixelInfoWindow(Win32Api& api, Toolkit& toolkit, MainWindow& main)
    : api_(api), toolkit_(toolkit), main_(main) {}

void PixelInfoWindow::Open(Form& owner, const Rect& desktop) {
  if (!IsOpen()) toolkit_.LoadForm(PixelInfoDesign(), *this);
  const Handle hwnd = form_->hWnd();
  Rect main;
  Rect self;
  int x = 0;
  int y = 0;
  std::uint32_t flags = kPlaceFlags | win::SWP_NOMOVE;
  if (api_.GetWindowRect(owner.hWnd(), &main) && api_.GetWindowRect(hwnd, &self)) {
    const int w = self.right - self.left;
    const int h = self.bottom - self.top;
    x = std::clamp(main.left, desktop.left, std::max(desktop.left, desktop.right - w));
    y = main.bottom + h <= desktop.bottom ? main.bottom : main.top - h;
    if (y >= desktop.top) flags = kPlaceFlags;
  }
  api_.SetWindowPos(hwnd, win::HWND_TOPMOST, x, y, 0, 0, flags);
  form_->ShowModeless(owner);
}

void PixelInfoWindow::Close() {
  if (IsOpen()) form_->Unload();
}

void PixelInfoWindow::OnCreate(Form& form) {
  form_ = &form;
  for (std::size_t i = 0; i < kInfoLines; ++i) labels_[i] = &form.LabelControl(kLabelNames[i]);
}

// A window loaded anew shows its design's captions until the next report.
void PixelInfoWindow::OnLoad() {
  for (LabelText& shown : shown_) shown.Forget();
}

void PixelInfoWindow::OnKeyPress(std::int16_t& keyAscii) {
  if (keyAscii == kEscape || keyAscii == kLowerI) {
    form_->Unload();
  } else if (keyAscii == kControlC) {
    main_.CopyText(Text());
  }
}

void PixelInfoWindow::Show(const PixelReport& report) {
  FormatReport(report, lines_, sizes_);
  if (!IsOpen()) return;
  for (std::size_t i = 0; i < kInfoLines; ++i) {
    shown_[i].Show(*labels_[i], std::string_view(lines_[i].data(), sizes_[i]));
  }
}

std::string_view PixelInfoWindow::Text() {
  std::size_t n = 0;
  for (std::size_t i = 0; i < kInfoLines; ++i) {
    if (i > 0) text_[n++] = '\n';
    std::memcpy(text_.data() + n, lines_[i].data(), sizes_[i]);
    n += sizes_[i];
  }
  return {text_.data(), n};
}

}  // namespace vimo

namespace vimo {

void MainWindow::PixelInfoClick() {
  if (!frmPixelInfo_) frmPixelInfo_ = std::make_unique<PixelInfoWindow>(api_, toolkit_, *this);
  if (frmPixelInfo_->IsOpen()) {
    frmPixelInfo_->Close();
    return;
  }
  frmPixelInfo_->Open(*form_, Rect{s_.DeskLeft, s_.DeskTop, s_.DeskRight, s_.DeskBottom});
  UpdatePixelInfo();
}

// The pointer's line keeps its last value over the frame, the margin and the band.
void MainWindow::UpdatePixelInfo() {
  if (!frmPixelInfo_ || !frmPixelInfo_->IsOpen()) return;
  PixelReport report;
  if (const std::optional<Point> pixel = PixelUnder(s_.CursorPos)) {
    report.pointer = PixelSample{*pixel, ColourAt(*pixel)};
  }
  if (s_.MeasureOn == kTrue && s_.Locked != kFalse) {
    const Point from{s_.SrcX + s_.MeasureFromX, s_.SrcY + s_.MeasureFromY};
    const Point to{s_.SrcX + s_.MeasureToX, s_.SrcY + s_.MeasureToY};
    report.from = PixelSample{from, ColourAt(from)};
    report.to = PixelSample{to, ColourAt(to)};
  }
  frmPixelInfo_->Show(report);
}

}  // namespace vimo
