// Straight lines written into pixel memory must be the pixels GDI draws (the end point
// left out, clipped), for grids and for any mix of segments, in top-down and bottom-up
// memory.
#include "platform/straight_lines.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "platform/sim/sim_desktop.h"

namespace vimo {
namespace {

constexpr Colour kInk = 0x00C0FFEE;
constexpr std::uint32_t kInkRgb = 0x00EEFFC0;  // the same colour as 0x00RRGGBB

struct Lines {
  std::vector<Point> points;
  void Add(Point a, Point b) {
    points.push_back(a);
    points.push_back(b);
  }
};

// Compares the written memory, both ways up and in both colour orders, with the lines
// drawn point by point as GDI draws them (end point left out, clipped), over the same
// background.
void ExpectAsDrawn(const Lines& lines, int width, int height, std::uint32_t seed) {
  std::mt19937 random(seed);
  sim::PixelBuffer drawn(width, height, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) drawn.Set(x, y, random() & 0x00FFFFFFU);
  }
  std::vector<std::uint32_t> topDown(drawn.Pixels()), bottomUp(topDown.size());
  for (int y = 0; y < height; ++y) {
    std::copy_n(drawn.Row(y), width,
                bottomUp.begin() + static_cast<std::ptrdiff_t>(height - 1 - y) * width);
  }
  const std::size_t n = lines.points.size() / 2;
  sim::PixelBuffer drawnRgb = drawn;  // the same in the other colour order
  for (std::size_t i = 0; i < 2 * n; i += 2) {
    const Point a = lines.points[i], b = lines.points[i + 1];
    sim::ForEachLinePoint(a.x, a.y, b.x, b.y, [&](int x, int y) {
      drawn.Set(x, y, kInk);
      drawnRgb.Set(x, y, kInkRgb);
    });
  }
  const PixelRows down{topDown.data(), width, width, height, false};
  const PixelRows up{bottomUp.data() + static_cast<std::ptrdiff_t>(height - 1) * width, -width,
                     width, height, true};
  WriteStraightLines(down, lines.points.data(), n, kInk);
  WriteStraightLines(up, lines.points.data(), n, kInk);

  int wrong = 0;
  for (int y = 0; y < height && wrong < 5; ++y) {
    for (int x = 0; x < width && wrong < 5; ++x) {
      const std::uint32_t gotDown = down.Row(y)[x], gotUp = up.Row(y)[x];
      if (gotDown != drawn.At(x, y) || gotUp != drawnRgb.At(x, y)) {
        ++wrong;
        ADD_FAILURE() << "at " << x << "," << y << ": top-down " << gotDown << ", bottom-up "
                      << gotUp << ", drawn " << drawn.At(x, y);
      }
    }
  }
}

// The grid as the frame asks for it: columns f, 2f, ... over rows 1 to height - 1, rows
// f, 2f, ... over columns 1 to width - 1.
Lines Grid(int width, int height, int f) {
  Lines grid;
  for (int x = f; x <= width - 1; x += f) grid.Add({x, 1}, {x, height});
  for (int y = f; y <= height - 1; y += f) grid.Add({1, y}, {width, y});
  return grid;
}

TEST(StraightLinesTest, GridsInAndOutOfStepAreTheDrawnPixels) {
  for (int f = 2; f <= 10; ++f) {
    SCOPED_TRACE(f);
    ExpectAsDrawn(Grid(202, 101, f), 202, 101, static_cast<std::uint32_t>(f));
  }
  // More lines than one batch holds; a view one pixel larger than the surface.
  ExpectAsDrawn(Grid(1002, 1002, 1), 1002, 1002, 1);
  ExpectAsDrawn(Grid(64, 48, 4), 63, 47, 2);

  // Grid(90, 60, 5), points 0-33 its 17 columns, 34-55 its 11 rows, with: the fourth
  // column off its step; the second column stopping half way; the third starting lower
  // down; the last row stopping at the last column, which it leaves out.
  const std::vector<std::vector<std::pair<std::size_t, Point>>> edits{
      {{6, {17, 1}}, {7, {17, 60}}}, {{3, {10, 30}}}, {{4, {15, 20}}}, {{55, {85, 55}}}};
  for (std::size_t e = 0; e < edits.size(); ++e) {
    SCOPED_TRACE(e);
    Lines grid = Grid(90, 60, 5);
    for (const auto& [index, point] : edits[e]) grid.points.at(index) = point;
    ExpectAsDrawn(grid, 90, 60, static_cast<std::uint32_t>(e));
  }

  Lines backwards;  // right to left, bottom to top
  for (int x = 80; x > 0; x -= 8) backwards.Add({x, 59}, {x, 0});
  for (int y = 50; y > 0; y -= 10) backwards.Add({89, y}, {0, y});
  ExpectAsDrawn(backwards, 90, 60, 7);
}

TEST(StraightLinesTest, AnyStraightSegmentsAreTheDrawnPixels) {
  std::mt19937 random(7);
  const auto coordinate = [&] { return static_cast<int>(random() % 70) - 12; };
  for (const int segments : {1, 2, 17, 300, 1200}) {
    SCOPED_TRACE(segments);
    Lines lines;
    for (int i = 0; i < segments; ++i) {
      const int at = coordinate();
      const Point a = (random() & 1) != 0 ? Point{coordinate(), at} : Point{at, coordinate()};
      Point b = a;  // a segment of no length one time in eight
      if (random() % 8 != 0) (a.y == at ? b.x : b.y) = coordinate();
      lines.Add(a, b);
    }
    ExpectAsDrawn(lines, 45, 31, static_cast<std::uint32_t>(segments));
  }
}

}  // namespace
}  // namespace vimo
