// What the window shows: the magnified frame with and without grid, the frame around
// it, the enlarged pointer and the caption.
#include <gtest/gtest.h>

#include <cmath>

#include "ui/designs.h"
#include "vimo_harness.h"

namespace vimo::test {
namespace {

constexpr Colour kBlack = 0x000000;
constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kGrid = 0xC0C0C0;

// Where the tick puts a centred area for the pointer.
std::int16_t CentredStart(int cursor, int size) {
  return static_cast<std::int16_t>(std::floor(cursor - (size - 1) / 2.0));
}

// n = (width - 2) / F blocks across, m = (height - 2) / F down, each screen pixel a block
// inside the frame; with the grid, its lines between the cells, all in one call. Below
// the frame, the window's background.
TEST(Frame, EachScreenPixelIsABlockAndGridCellsLieBetweenLinesAtEveryFactor) {
  const struct {
    std::int16_t f;
    int clientW, clientH;
    bool grid = true;
  } cases[] = {{3, 200, 223, false}, {2, 200, 223},   {3, 200, 223}, {4, 200, 223}, {5, 200, 223},
               {6, 200, 223},        {7, 200, 223},   {8, 200, 223}, {9, 200, 223}, {10, 200, 223},
               {2, 1002, 1002},      {3, 1002, 1001}, {7, 641, 480}};
  for (const auto& [f, clientW, clientH, grid] : cases) {
    Running v;
    v.form->SetClientSize(clientW, clientH);
    v.form->ClickMenu("Mag", f);
    ASSERT_TRUE(!grid || v.form->ClickMenu("GridMen"));
    v.desktop.SetCursorPos({1000 + f, 700});
    v.Ticks(1);
    const int viewW = ((clientW - 2) / f) * f;
    const int viewH = ((clientH - 2) / f) * f;
    EXPECT_TRUE(ShowsMagnified(v, CentredStart(1000 + f, viewW / f), CentredStart(700, viewH / f),
                               f, viewW, viewH, grid))
        << f << " " << clientW << "x" << clientH;
    for (int x = 0; x < clientW; ++x) EXPECT_EQ(v.Client(x, clientH - 1), sim::kButtonFace) << x;
  }
}

TEST(Frame, AViewOfOneBlockHasNoGridLinesAndAViewOfNoneDrawsNothing) {
  Running v;
  v.form->SetClientSize(5, 5);
  ASSERT_TRUE(v.form->ClickMenu("GridMen"));
  v.Ticks(1);
  EXPECT_TRUE(ShowsMagnified(v, 500, 300, 3, 3, 3, true));
  v.form->SetClientSize(4, 40);  // no block across
  v.Ticks(3);
  EXPECT_TRUE(v.form->Failures().empty());
  for (const int x : {2, 3}) EXPECT_EQ(v.Client(x, 5), sim::kButtonFace) << x;
  EXPECT_EQ(v.desktop.LiveDcs(), 0);
}

// A 32 x 32 arrow, hot spot (0, 0): black edges x == 0, x == y, y == 15, white inside.
class Pointer : public ::testing::Test {
 protected:
  void StartWith(bool monochrome) {
    v.desktop.SetCursorImage(sim::MakeArrowCursor(monochrome));
    v.Start();
    v.form->SetClientSize(200, 223);
    v.desktop.ResetCalls();
    v.Ticks(1);
    ASSERT_EQ((Point{v.s().SrcX, v.s().SrcY}), (Point{467, 264}));
    // Position and image come from one query.
    ASSERT_EQ(v.desktop.Calls().getCursorInfo, 1);
    ASSERT_EQ(v.desktop.Calls().getCursorPos, 0);
    ASSERT_EQ(v.desktop.LiveBitmaps(), 0) << "the pointer's bitmaps are given back";
  }
  // The enlarged pointer's pixel (px, py) covers client pixels from (99 + 3px, 108 + 3py):
  // 3 x (500 - 467) = 99 and 3 x (300 - 264) = 108, one pixel up and left of the block
  // that shows the screen pixel under the pointer.
  void ExpectArrowPixel(int px, int py, Colour want) {
    for (int i = 0; i < 9; ++i) {
      EXPECT_EQ(v.Client(99 + 3 * px + i % 3, 108 + 3 * py + i / 3), want) << px << "," << py;
    }
  }
  Vimo v;
};

TEST_F(Pointer, AColourPointerIsDrawnThreeTimesLargerAtItsHotSpotUnderTheGrid) {
  StartWith(false);
  ExpectArrowPixel(0, 0, kBlack);
  ExpectArrowPixel(1, 5, kWhite);
  ExpectArrowPixel(5, 5, kBlack);
  // Where the arrow's mask keeps the screen, the magnified screen shows through.
  EXPECT_EQ(v.Client(99 + 3 * 20, 108 + 3 * 5),
            Pattern(467 + (99 + 60 - 1) / 3, 264 + (108 + 15 - 1) / 3));
  // Right of the pointer's 96-pixel square, the plain magnified screen.
  EXPECT_EQ(v.Client(196, 110), Pattern(467 + 65, 264 + 36));

  v.form->ClickMenu("GridMen");  // its frame, outside a tick, asks for the pointer itself
  // The pointer lands where it did without grid; the grid is drawn over it.
  EXPECT_EQ(v.Client(103, 124), kWhite);  // arrow pixel (1, 5), inside a cell
  EXPECT_EQ(v.Client(102, 124), kGrid);   // column 102 is a grid line
  EXPECT_EQ(v.Client(103, 123), kGrid);   // row 123 is a grid line
}

TEST_F(Pointer, AMonochromePointerUsesTheMaskWidthForBothSides) {
  StartWith(true);
  ExpectArrowPixel(0, 0, kBlack);
  ExpectArrowPixel(2, 9, kWhite);
  ExpectArrowPixel(4, 18, kBlack);  // the stem
  // Below the stem the mask keeps the screen; the mask's second (XOR) half is not
  // drawn as more rows.
  EXPECT_EQ(v.Client(111, 183), Pattern(467 + 110 / 3, 264 + 182 / 3));
}

TEST_F(Pointer, NoPointerOrPointerOffShowsTheScreenOnly) {
  v.Start();
  v.form->SetClientSize(200, 223);
  v.desktop.ResetCalls();
  v.Ticks(1);  // no pointer image at all: the position comes from GetCursorPos
  EXPECT_TRUE(ShowsMagnified(v, 467, 264, 3, 198, 219));
  EXPECT_TRUE(v.form->Failures().empty());
  EXPECT_EQ(v.desktop.Calls().getCursorPos, 1);
  v.desktop.SetCursorImage(sim::MakeArrowCursor(false));
  v.form->ClickMenu("PointerMen");
  v.desktop.ResetCalls();
  v.Ticks(1);
  EXPECT_TRUE(ShowsMagnified(v, 467, 264, 3, 198, 219));
  EXPECT_EQ(v.desktop.Calls().getCursorInfo, 0);
}

TEST(Frame, OverVimosOwnWindowThePointerIsOneGreenPixelEnlarged) {
  Vimo v;
  v.desktop.SetCursorImage(sim::MakeArrowCursor(false));
  v.Start();
  const Rect client = v.form->Window().ClientRect();
  const Point at{client.left + 100, client.top + 90};
  v.desktop.SetCursorPos(at);
  v.Ticks(1);
  const int dx = at.x - v.s().SrcX, dy = at.y - v.s().SrcY;
  int green = 0;
  for (int y = 1; y <= v.s().ViewHeight; ++y) {
    for (int x = 1; x <= v.s().ViewWidth; ++x) green += v.Client(x, y) == 0x00FF00U ? 1 : 0;
  }
  EXPECT_EQ(green, 9);
  EXPECT_EQ(v.Client(3 * dx, 3 * dy), 0x00FF00U);
  EXPECT_EQ(v.Client(3 * dx + 2, 3 * dy + 2), 0x00FF00U);
}

}  // namespace
}  // namespace vimo::test
