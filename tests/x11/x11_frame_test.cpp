// A planned frame against the same drawing done call by call, frame after frame, without
// an X server.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/straight_lines.h"
#include "platform/x11/x11_frame.h"
#include "platform/x11/x11_pixels.h"

namespace vimo::x11 {
namespace {

struct Image {
  Image(int w, int h, std::uint32_t fill)
      : pixels(static_cast<std::size_t>(w * h), fill), rows{pixels.data(), w, w, h, true} {}
  std::vector<std::uint32_t> pixels;
  PixelRows rows;
};

// One frame as RenderFrame draws it: the area enlarged, the pointer, the grid.
struct Frame {
  int x = 0;
  int y = 1;
  int factor = 3;
  bool pointer = true;
  int pointerX = 10;
  int pointerY = 12;
  std::uint32_t pointerTint = 0;  // a new pointer image
  bool grid = true;
  Colour gridColour = Rgb(0, 0, 0);
};

class PlannedFrames : public testing::Test {
 protected:
  static constexpr int kSrcW = 40;
  static constexpr int kSrcH = 50;  // the view is taller than two bands at 3 X

  PlannedFrames()
      : source_(kSrcW, kSrcH, 0), drawn_(122, 152, 0x00C0C0C0), planned_(122, 152, 0x00C0C0C0) {
    for (int y = 0; y < kSrcH; ++y) {
      for (int x = 0; x < kSrcW; ++x) source_.rows.Row(y)[x] = Colour(x * 5 + y * 700 + 1);
    }
  }

  void Pointer(const Frame& f) {
    pointer_.resize(kPointerW * kPointerH);
    for (int i = 0; i < kPointerW * kPointerH; ++i) {
      // Opaque, half and clear pixels, premultiplied.
      const std::uint32_t a = i % 3 == 0 ? 0xFFU : (i % 3 == 1 ? 0x80U : 0);
      const std::uint32_t c =
          ((0x10U * static_cast<std::uint32_t>(i) + f.pointerTint) & 0x7FU) * a / 0xFF;
      pointer_[static_cast<std::size_t>(i)] = (a << 24) | (c << 16) | ((c / 2) << 8) | c;
    }
  }

  void Grid(const Frame& f, int viewW, int viewH) {
    points_.clear();
    for (int x = f.factor; x <= viewW - 1; x += f.factor) {
      points_.push_back({x, 1});
      points_.push_back({x, viewH});
    }
    for (int y = f.factor; y <= viewH - 1; y += f.factor) {
      points_.push_back({1, y});
      points_.push_back({viewW, y});
    }
  }

  // The frame drawn both ways; the images must be alike, pixel for pixel.
  void Both(const Frame& f) {
    const int w = kSrcW * f.factor;
    const int h = kSrcH * f.factor;
    Pointer(f);
    Grid(f, w, h);
    const int px = f.pointerX * f.factor;
    const int py = f.pointerY * f.factor;

    StretchNearest(drawn_.rows, f.x, f.y, w, h, source_.rows);
    if (f.pointer)
      BlendCursor(drawn_.rows, pointer_.data(), kPointerW, kPointerH, px, py, f.factor);
    if (f.grid) WriteStraightLines(drawn_.rows, points_.data(), points_.size() / 2, f.gridColour);

    plan_.Stretch(f.x, f.y, w, h, source_.rows);
    if (f.pointer) {
      EXPECT_TRUE(plan_.Cursor(pointer_.data(), kPointerW, kPointerH, px, py, f.factor));
    }
    if (f.grid) {
      EXPECT_TRUE(plan_.Lines(points_.data(), points_.size() / 2, f.gridColour));
    }
    plan_.Render(planned_.rows);
    for (std::size_t i = 0; i < drawn_.pixels.size(); ++i) {
      ASSERT_EQ(planned_.pixels[i], drawn_.pixels[i])
          << "frame " << frames_ << " at " << i % 122 << ", " << i / 122;
    }
    ++frames_;
  }

  static constexpr int kPointerW = 5;
  static constexpr int kPointerH = 7;
  Image source_;
  Image drawn_;
  Image planned_;
  FramePlan plan_;
  std::vector<std::uint32_t> pointer_;
  std::vector<Point> points_;
  int frames_ = 0;
};

// Each change below is followed by a frame with none, which keeps what it can.
TEST_F(PlannedFrames, EveryFrameIsTheFrameDrawnCallByCall) {
  Frame f;
  const auto twice = [&] {
    Both(f);
    Both(f);
  };
  twice();
  source_.rows.Row(30)[7] ^= 0x00FFFFFFU;  // one pixel in the second band
  twice();
  f.pointerX = 30;  // the pointer moves to the third band: its old place shows the screen
  f.pointerY = 40;
  twice();
  f.pointerTint = 0x55;  // a new pointer image at the same place
  twice();
  f.gridColour = Rgb(255, 0, 0);
  twice();
  f.grid = false;
  twice();
  f.pointer = false;
  twice();
  f.pointer = f.grid = true;
  f.x = 1;  // the block moves a column right: the left column keeps what it had
  twice();
  f.pointerX = 39;  // over the enlargement's right edge into the margin, where the pointer
  f.pointerY = 20;  // is blended over itself, as call by call
  twice();
  f.factor = 2;
  f.pointerX = 12;
  twice();
  source_.rows.Row(0)[0] = 0x00123456;
  Both(f);

  // A pointer after the lines, or anything without a plan, is drawn at once instead.
  EXPECT_FALSE(plan_.Lines(points_.data(), 1, 0));
  plan_.Stretch(0, 0, 10, 10, source_.rows);
  EXPECT_TRUE(plan_.Lines(points_.data(), 1, 0));
  EXPECT_FALSE(plan_.Cursor(pointer_.data(), kPointerW, kPointerH, 0, 0, 3));
}

// What is not drawn: a band whose source rows, pointer and lines are as before is left
// as it is, so a pixel changed behind the plan's back shows there until Forget().
TEST_F(PlannedFrames, OnlyBandsWithNewInputsAreDrawn) {
  const Frame f;
  Both(f);
  const int lower = FramePlan::kBandRows + 7;  // not a grid row
  const std::uint32_t mark = 0x00ABCDEF;
  planned_.rows.Row(4)[100] = mark;               // in the first band
  planned_.rows.Row(lower)[100] = mark;           // in the second band,
  source_.rows.Row(lower / 3)[2] ^= 0x00FF00FFU;  // which shows this source row
  for (int round = 0; round < 2; ++round) {
    plan_.Stretch(f.x, f.y, kSrcW * 3, kSrcH * 3, source_.rows);
    plan_.Cursor(pointer_.data(), kPointerW, kPointerH, f.pointerX * 3, f.pointerY * 3, 3);
    plan_.Lines(points_.data(), points_.size() / 2, f.gridColour);
    plan_.Render(planned_.rows);
    EXPECT_EQ(planned_.rows.Row(4)[100], round == 0 ? mark : source_.rows.Row(1)[33]);
    EXPECT_EQ(planned_.rows.Row(lower)[7], source_.rows.Row(lower / 3)[2]);
    EXPECT_EQ(planned_.rows.Row(lower)[100], source_.rows.Row(lower / 3)[33]);
    plan_.Forget();
  }
}

}  // namespace
}  // namespace vimo::x11
