// The few semantics of the simulated desktop that the logic's tests stand on and that are
// easy to get wrong: where stretched blocks land and how they clip, the end point of a
// line and the pen's colour.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_toolkit.h"
#include "platform/toolkit.h"
#include "platform/win32_constants.h"
#include "ui/designs.h"

namespace vimo::sim {
namespace {

constexpr Colour kFill = 0x00ABCDEF;

// A left monitor above-left of the primary one: x -80..-1, y -10..49. Screen points with
// x >= 0 and y < 0, or x < 0 and y >= 50, lie on no monitor.
const std::vector<Rect> kTwoMonitors{{-80, -10, 0, 50}, {0, 0, 128, 96}};

// A colour unique to each screen point of the two monitors.
Colour Code(int x, int y) {
  return static_cast<Colour>((x + 1000) & 0xFFF) | (static_cast<Colour>((y + 1000) & 0xFFF) << 12);
}

class SimDesktopTest : public ::testing::Test {
 protected:
  SimDesktopTest() : desk(kTwoMonitors) { desk.Paint(Code); }
  SimDesktop desk;
};

class BlitTest : public SimDesktopTest {
 protected:
  BlitTest() : image(10, 8, kFill) { dc = desk.CreatePersistentDc(&image, 0); }
  PixelBuffer image;
  Handle dc = 0;
};

TEST_F(BlitTest, StretchBltDoublesFromNegativeScreenCoordinates) {
  const Handle screen = desk.GetDC(desk.GetDesktopWindow());
  // Source x -2..0, y -1..0 at 2x: (0, -1) lies on no monitor and reads black.
  ASSERT_TRUE(desk.StretchBlt(dc, 1, 1, 6, 4, screen, -2, -1, 3, 2, win::SRCCOPY));
  const std::vector<std::vector<Colour>> expected{
      {Code(-2, -1), Code(-2, -1), Code(-1, -1), Code(-1, -1), 0, 0},
      {Code(-2, -1), Code(-2, -1), Code(-1, -1), Code(-1, -1), 0, 0},
      {Code(-2, 0), Code(-2, 0), Code(-1, 0), Code(-1, 0), Code(0, 0), Code(0, 0)},
      {Code(-2, 0), Code(-2, 0), Code(-1, 0), Code(-1, 0), Code(0, 0), Code(0, 0)},
  };
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      const bool inside = x >= 1 && x < 7 && y >= 1 && y < 5;
      const Colour want = inside ? expected[y - 1][x - 1] : kFill;
      EXPECT_EQ(image.At(x, y), want) << "at " << x << "," << y;
    }
  }
  EXPECT_EQ(desk.ReleaseDC(desk.GetDesktopWindow(), screen), 1);
}

TEST_F(BlitTest, StretchBltShrinksByFloorClipsAndReadsBlackOffTheSource) {
  PixelBuffer row(7, 1, 0);
  for (int x = 0; x < 7; ++x) row.Set(x, 0, 10U + static_cast<Colour>(x));
  const Handle src = desk.CreatePersistentDc(&row, 0);

  // 7 -> 4 columns starting at x -1: column i reads floor(i * 7 / 4); column 0 is clipped.
  ASSERT_TRUE(desk.StretchBlt(dc, -1, 0, 4, 1, src, 0, 0, 7, 1, win::SRCCOPY));
  EXPECT_EQ(image.At(0, 0), 11U);
  EXPECT_EQ(image.At(1, 0), 13U);
  EXPECT_EQ(image.At(2, 0), 15U);
  EXPECT_EQ(image.At(3, 0), kFill);

  ASSERT_TRUE(desk.StretchBlt(dc, 0, 1, 2, 1, src, 6, 0, 2, 1, win::SRCCOPY));
  EXPECT_EQ(image.At(0, 1), 16U);
  EXPECT_EQ(image.At(1, 1), 0U);
}

TEST_F(BlitTest, PolyPolylineLeavesOutEachEndPointAndClips) {
  image.Fill(0);
  desk.SetPenColour(dc, 0x00C0C0C0);
  // A slanted line; a bent one that runs off the right edge; a line of no length.
  const Point points[] = {{0, 0}, {5, 2}, {7, 0}, {7, 3}, {12, 3}, {2, 6}, {2, 6}};
  const std::uint32_t counts[] = {2, 3, 2};
  ASSERT_TRUE(desk.PolyPolyline(dc, points, counts, 3));
  const std::vector<Point> drawn{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {7, 0},
                                 {7, 1}, {7, 2}, {7, 3}, {8, 3}, {9, 3}};
  int lit = 0;
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) lit += image.At(x, y) != 0 ? 1 : 0;
  }
  EXPECT_EQ(lit, static_cast<int>(drawn.size()));
  for (const Point p : drawn) EXPECT_EQ(image.At(p.x, p.y), 0x00C0C0C0U) << p.x << "," << p.y;
  const std::uint32_t onePoint[] = {2, 1};
  EXPECT_FALSE(desk.PolyPolyline(dc, points, onePoint, 2));
  EXPECT_FALSE(desk.PolyPolyline(0, points, counts, 1));
  EXPECT_EQ(desk.Calls().polyPolyline, 3);
}

// The main window draws its marker lines inverting; a picture box's DC draws with a pen of
// its ForeColor, also after the picture has been resized.
TEST(SimPenTest, LinesInvertOnTheFormAndPictureDcPenFollowsForeColor) {
  SimDesktop desk;
  SimToolkit kit{desk};
  FormEvents none;
  SimForm& form = kit.LoadForm(MainDesign(), none);
  form.Cls();
  form.Line(0, 5, 4, 5, 0x00123456);
  EXPECT_EQ(form.ClientPixel(0, 5), 0x000F0F0FU);
  EXPECT_EQ(form.ClientPixel(3, 5), 0x000F0F0FU);
  EXPECT_EQ(form.ClientPixel(4, 5), kButtonFace);
  form.Line(0, 5, 4, 5, 0x00123456);
  EXPECT_EQ(form.ClientPixel(0, 5), kButtonFace);

  SimPictureBox& pic = form.Picture("BuffPic");
  pic.SetWidth(12.0F);
  pic.SetHeight(5.0F);
  pic.SetForeColor(0x000000FF);
  const Point row4[] = {{0, 4}, {12, 4}};
  const std::uint32_t two[] = {2};
  desk.PolyPolyline(pic.hDC(), row4, two, 1);
  EXPECT_EQ(pic.Pixel(11, 4), 0x000000FFU);
  pic.SetWidth(14.0F);
  const Point row0[] = {{0, 0}, {14, 0}};
  desk.PolyPolyline(pic.hDC(), row0, two, 1);
  EXPECT_EQ(pic.Pixel(13, 0), 0x000000FFU);
}

}  // namespace
}  // namespace vimo::sim
