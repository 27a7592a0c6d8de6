// A planned frame against the same drawing done call by call, frame after frame, without
// an X server.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/straight_lines.h"
#include "platform/x11/x11_pixels.h"
#include "platform/x11/x11_plan.h"

namespace vimo::x11 {
namespace {

constexpr int kSrcW = 40;
constexpr int kSrcH = 50;  // the view is taller than two bands at 3 X
constexpr int kW = 122;
constexpr int kPointerW = 5;
constexpr int kPointerH = 7;

// One frame as RenderFrame draws it: the area enlarged, the pointer, the grid.
struct Frame {
  int x = 0;
  int factor = 3;
  bool pointer = true;
  Point at{10, 12};        // the pointer's source pixel
  std::uint32_t tint = 0;  // a new pointer image
  int grid = 1;            // 0: none, else its colour
};

class PlannedFrames : public testing::Test {
 protected:
  PlannedFrames() {
    for (std::size_t i = 0; i < source_.size(); ++i) source_[i] = Colour(i * 5 + 1);
  }

  // The frame drawn both ways; the images must be alike, pixel for pixel.
  void Both(const Frame& f) {
    const int w = kSrcW * f.factor;
    const int h = kSrcH * f.factor;
    for (int i = 0; i < kPointerW * kPointerH; ++i) {  // opaque, half and clear, premultiplied
      const std::uint32_t a = i % 3 == 0 ? 0xFFU : (i % 3 == 1 ? 0x80U : 0);
      const std::uint32_t c = ((0x10U * static_cast<std::uint32_t>(i) + f.tint) & 0x7FU) * a / 255;
      pointer_[static_cast<std::size_t>(i)] = (a << 24) | (c << 16) | ((c / 2) << 8) | c;
    }
    points_.clear();
    for (int x = f.factor; x < w; x += f.factor) points_.insert(points_.end(), {{x, 1}, {x, h}});
    for (int y = f.factor; y < h; y += f.factor) points_.insert(points_.end(), {{1, y}, {w, y}});
    const std::size_t lines = f.grid != 0 ? points_.size() / 2 : 0;
    const Point p{f.at.x * f.factor, f.at.y * f.factor};

    StretchNearest(drawn_, f.x, 1, w, h, src_);
    if (f.pointer) BlendCursor(drawn_, pointer_.data(), kPointerW, kPointerH, p.x, p.y, f.factor);
    WriteStraightLines(drawn_, points_.data(), lines, Colour(f.grid));

    plan_.Stretch(f.x, 1, w, h, src_);
    EXPECT_TRUE(!f.pointer ||
                plan_.Cursor(pointer_.data(), kPointerW, kPointerH, p.x, p.y, f.factor));
    EXPECT_TRUE(plan_.Lines(points_.data(), lines, Colour(f.grid)));
    const std::vector<std::uint32_t> before = pixels_[1];
    std::vector<std::uint8_t> written(152, 0);
    plan_.Render(planned_, false, written.data());
    for (std::size_t i = 0; i < pixels_[0].size(); ++i) {
      ASSERT_EQ(pixels_[1][i], pixels_[0][i])
          << "frame " << frames_ << " at " << i % kW << ", " << i / kW;
      // The put takes only the rows written: a changed row must be among them.
      ASSERT_TRUE(written[i / kW] != 0 || pixels_[1][i] == before[i]) << "row " << i / kW;
    }
    ++frames_;
  }

  std::vector<std::uint32_t> source_ = std::vector<std::uint32_t>(kSrcW * kSrcH);
  std::vector<std::uint32_t> pixels_[2] = {std::vector<std::uint32_t>(kW * 152, 0xC0C0C0U),
                                           std::vector<std::uint32_t>(kW * 152, 0xC0C0C0U)};
  PixelRows src_{source_.data(), kSrcW, kSrcW, kSrcH, true};
  PixelRows drawn_{pixels_[0].data(), kW, kW, 152, true};
  PixelRows planned_{pixels_[1].data(), kW, kW, 152, true};
  FramePlan plan_;
  std::vector<std::uint32_t> pointer_ = std::vector<std::uint32_t>(kPointerW * kPointerH);
  std::vector<Point> points_;
  int frames_ = 0;
};

// Each change below is followed by two frames, the second with no change, which keeps
// what it can.
TEST_F(PlannedFrames, EveryFrameIsTheFrameDrawnCallByCall) {
  Frame f;
  const auto twice = [&](const auto& change) {
    change();
    for (int i = 0; i < 2; ++i) Both(f);
  };
  twice([] {});
  twice([&] { src_.Row(30)[7] ^= 0x00FFFFFFU; });  // one pixel in the second band
  // The pointer moves to the third band: its old place shows the screen.
  twice([&] { f.at = {30, 40}; });
  twice([&] { f.tint = 0x55; });  // a new pointer image at the same place
  twice([&] { f.grid = 0xFF; });  // red
  twice([&] { f.grid = 0; });
  twice([&] { f.pointer = false; });
  // The pointer and the grid as at first, the block a column right: the left column keeps
  // what it had.
  twice([&] { f = {.x = 1, .at = f.at, .tint = f.tint}; });
  // Over the enlargement's right edge into the margin, where the pointer is blended over
  // itself, as call by call.
  twice([&] { f.at = {39, 20}; });
  twice([&] {
    f.factor = 2;
    f.at = {12, 20};
  });
  src_.Row(0)[0] = 0x00123456;
  Both(f);

  // A pointer after the lines, or anything without a plan, is drawn at once instead.
  EXPECT_FALSE(plan_.Lines(points_.data(), 1, 0));
  plan_.Stretch(0, 0, 10, 10, src_);
  EXPECT_TRUE(plan_.Lines(points_.data(), 1, 0));
  EXPECT_FALSE(plan_.Cursor(pointer_.data(), kPointerW, kPointerH, 0, 0, 3));
}

}  // namespace
}  // namespace vimo::x11
