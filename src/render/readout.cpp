// The measurement read-out: crossing marker lines at the fixed point and at the point
// under the pointer, and their screen coordinates and distances on the two labels.
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>

#include "app/main_window.h"

namespace vimo {
namespace {

constexpr Colour kMarkerColour = 0;  // drawn in the window's inverting pen mode

using LineBuffer = std::array<char, 96>;

// Writes "<x>1= A   <x>2= B   delta <x>= B-A" into a fixed buffer: nothing on the tick
// allocates.
std::string_view FormatLine(LineBuffer& out, char axis, std::int64_t from, std::int64_t to) {
  char* p = out.data();
  char* const end = p + out.size();
  const auto put = [&](std::string_view literal) {
    for (const char c : literal) *p++ = c == '#' ? axis : c;
  };
  const auto number = [&](std::int64_t value) { p = std::to_chars(p, end, value).ptr; };
  put("#1= ");
  number(from);
  put("   #2= ");
  number(to);
  put("   delta #= ");
  number(to - from);
  return {out.data(), static_cast<std::size_t>(p - out.data())};
}

}  // namespace

// A line across the whole view at a column's (or row's) middle pixel, from just inside
// one border of the frame to the opposite one; the next frame's copy removes it. A point
// left of or above the view has no line: it would fall on the frame, which no copy
// repaints, and the inverting pen would leave the border flickering.
std::optional<MainWindow::Segment> MainWindow::Marker(std::int32_t index, bool vertical) {
  const std::int32_t f = s_.Factor;
  const auto middle = static_cast<std::int32_t>(std::floor(f / 2.0 + 0.5));
  const std::int32_t at = f * index + middle;
  const auto left = static_cast<std::int32_t>(shape1_->Left());
  const auto top = static_cast<std::int32_t>(shape1_->Top());
  if (vertical) {
    if (at <= left) return std::nullopt;
    return Segment{{at, top + 1}, {at, top + static_cast<std::int32_t>(shape1_->Height()) - 1}};
  }
  if (at <= top) return std::nullopt;
  return Segment{{left + 1, at}, {left + static_cast<std::int32_t>(shape1_->Width()) - 1, at}};
}

std::size_t MainWindow::MarkerLines(std::array<Segment, 4>& lines) {
  if (s_.MeasureOn != kTrue || s_.Locked == kFalse) return 0;  // LockMen's mark equals Locked
  std::size_t n = 0;
  const auto add = [&](std::int32_t index, std::int32_t size, bool vertical) {
    // Only the upper bound is tested: a point past the view has no line.
    if (index >= size) return;
    if (const std::optional<Segment> line = Marker(index, vertical)) lines[n++] = *line;
  };
  add(s_.MeasureToX, s_.SrcWidth, true);
  add(s_.MeasureToY, s_.SrcHeight, false);
  add(s_.MeasureFromX, s_.SrcWidth, true);
  add(s_.MeasureFromY, s_.SrcHeight, false);
  return n;
}

void MainWindow::ShowMeasurement() {
  if (s_.MeasureOn != kTrue || s_.Locked == kFalse) return;
  std::array<Segment, 4> lines;
  const std::size_t n = MarkerLines(lines);
  for (std::size_t i = 0; i < n; ++i) {
    form_->Line(lines[i].from.x, lines[i].from.y, lines[i].to.x, lines[i].to.y, kMarkerColour);
  }

  // True screen coordinates: the captured area's edge plus the column or row.
  LineBuffer line{};
  readout1_.Show(*label1_, FormatLine(line, 'X', std::int64_t{s_.SrcX} + s_.MeasureFromX,
                                      std::int64_t{s_.SrcX} + s_.MeasureToX));
  readout2_.Show(*label2_, FormatLine(line, 'Y', std::int64_t{s_.SrcY} + s_.MeasureFromY,
                                      std::int64_t{s_.SrcY} + s_.MeasureToY));
}

}  // namespace vimo
