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

// Where the tick puts a centred area for the pointer at (500, 300).
std::int16_t CentredStart(int cursor, int size) {
  return static_cast<std::int16_t>(std::floor(cursor - (size - 1) / 2.0));
}

// Grid mode: cells of (F-1) x (F-1) pixels, grid lines at multiples of F, the frame's
// border at column and row 0 and at ViewWidth and ViewHeight.
::testing::AssertionResult ShowsGrid(const Vimo& v, int srcX, int srcY, int f, int viewW,
                                     int viewH) {
  for (int y = 0; y <= viewH; ++y) {
    for (int x = 0; x <= viewW; ++x) {
      Colour want;
      if (x == 0 || y == 0 || x == viewW || y == viewH) {
        want = kBlack;
      } else if (x % f == 0 || y % f == 0) {
        want = kGrid;
      } else {
        want = v.desktop.Pixel(srcX + (x - 1) / f, srcY + (y - 1) / f);
      }
      if (v.Client(x, y) != want) {
        return ::testing::AssertionFailure()
               << "client (" << x << ", " << y << ") is 0x" << std::hex << v.Client(x, y)
               << ", expected 0x" << want;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(Frame, WithoutGridEachScreenPixelIsABlockInsideTheFrame) {
  Vimo v;
  v.Start();
  v.form->SetClientSize(200, 223);
  v.Ticks(1);
  ASSERT_EQ(v.s().SrcX, 467);  // 500 - 32.5, rounded down
  ASSERT_EQ(v.s().SrcY, 264);  // 300 - 36
  EXPECT_TRUE(ShowsMagnified(v, 467, 264, 3, 198, 219));
  // The frame: columns 0 and 199, rows 0 and 220; outside it the button face.
  for (int y = 0; y <= 220; ++y) {
    EXPECT_EQ(v.Client(0, y), kBlack) << y;
    EXPECT_EQ(v.Client(199, y), kBlack) << y;
  }
  for (int x = 0; x <= 199; ++x) {
    EXPECT_EQ(v.Client(x, 0), kBlack) << x;
    EXPECT_EQ(v.Client(x, 220), kBlack) << x;
    EXPECT_EQ(v.Client(x, 221), sim::kButtonFace) << x;
  }
}

TEST(Frame, FollowsThePointerFromTickToTick) {
  Vimo v;
  v.Start();
  v.desktop.SetCursorPos({1000, 700});
  v.Ticks(1);
  // The started window: 200 x 199 client pixels, a source of 66 x 65.
  EXPECT_TRUE(ShowsMagnified(v, 1000 - 33, 700 - 32, 3, 198, 195));
}

struct GridCase {
  std::int16_t factor;
  int clientW;
  int clientH;
};

class GridAtFactor : public ::testing::TestWithParam<GridCase> {};

TEST_P(GridAtFactor, DrawsLinesBetweenCellsInOneCall) {
  const auto [f, clientW, clientH] = GetParam();
  Vimo v;
  v.Start();
  v.form->SetClientSize(clientW, clientH);
  v.form->ClickMenu("Mag", f);
  ASSERT_TRUE(v.form->ClickMenu("GridMen"));
  v.desktop.ResetCalls();
  v.Ticks(1);
  // n = (width - 2) / F blocks across, m = (height - 2) / F down.
  const int viewW = ((clientW - 2) / f) * f;
  const int viewH = ((clientH - 2) / f) * f;
  ASSERT_EQ(v.s().ViewWidth, viewW);
  ASSERT_EQ(v.s().ViewHeight, viewH);
  EXPECT_TRUE(
      ShowsGrid(v, CentredStart(500, viewW / f), CentredStart(300, viewH / f), f, viewW, viewH));
  EXPECT_EQ(v.desktop.Calls().polyPolyline, 1);
}

INSTANTIATE_TEST_SUITE_P(Factors, GridAtFactor,
                         ::testing::Values(GridCase{2, 200, 223}, GridCase{3, 200, 223},
                                           GridCase{4, 200, 223}, GridCase{5, 200, 223},
                                           GridCase{6, 200, 223}, GridCase{7, 200, 223},
                                           GridCase{8, 200, 223}, GridCase{9, 200, 223},
                                           GridCase{10, 200, 223}, GridCase{2, 1002, 1002},
                                           GridCase{3, 1002, 1001}, GridCase{7, 641, 480}));

TEST(Frame, FactorOneWithTheGridFlagDrawsNoGrid) {
  Vimo v;
  v.Start();
  v.form->SetClientSize(200, 223);
  v.s().GridOn = kTrue;
  v.app.SetFactor(1);
  v.app.ApplyGrid();
  v.Ticks(1);
  ASSERT_EQ(v.s().ViewWidth, 198);
  ASSERT_EQ(v.s().ViewHeight, 221);
  EXPECT_EQ(v.s().SrcX, 401);  // 500 - 98.5, rounded down
  EXPECT_TRUE(ShowsMagnified(v, 401, 190, 1, 198, 221));
  EXPECT_EQ(v.Client(199, 50), kBlack);  // the frame keeps its 2-pixel allowance
}

TEST(Frame, AViewOfOneBlockHasNoGridLines) {
  Vimo v;
  v.Start();
  v.form->SetClientSize(5, 5);
  ASSERT_TRUE(v.form->ClickMenu("GridMen"));
  v.Ticks(1);
  ASSERT_EQ(v.s().ViewWidth, 3);
  ASSERT_EQ(v.s().SrcWidth, 1);
  EXPECT_TRUE(ShowsGrid(v, 500, 300, 3, 3, 3));
  EXPECT_EQ(v.desktop.Calls().polyPolyline, 0);
}

TEST(Frame, AViewOfZeroSizeDrawsNothingAndFailsNothing) {
  Vimo v;
  v.Start();
  v.form->SetClientSize(4, 40);
  ASSERT_EQ(v.s().ViewWidth, 0);
  ASSERT_EQ(v.s().SrcWidth, 0);
  v.form->ClickMenu("GridMen");
  v.Ticks(3);
  EXPECT_TRUE(v.form->Failures().empty());
  EXPECT_EQ(v.Client(2, 5), sim::kButtonFace);
  EXPECT_EQ(v.Client(3, 5), sim::kButtonFace);
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
    ASSERT_EQ(v.s().SrcX, 467);
    ASSERT_EQ(v.s().SrcY, 264);
    // Position and image come from one query.
    ASSERT_EQ(v.desktop.Calls().getCursorInfo, 1);
    ASSERT_EQ(v.desktop.Calls().getCursorPos, 0);
  }
  // The enlarged pointer's pixel (px, py) covers client pixels from (99 + 3px, 108 + 3py):
  // 3 x (500 - 467) = 99 and 3 x (300 - 264) = 108, one pixel up and left of the block
  // that shows the screen pixel under the pointer.
  void ExpectArrowPixel(int px, int py, Colour want) {
    for (int b = 0; b < 3; ++b) {
      for (int a = 0; a < 3; ++a) {
        EXPECT_EQ(v.Client(99 + 3 * px + a, 108 + 3 * py + b), want) << px << "," << py;
      }
    }
  }
  Vimo v;
};

TEST_F(Pointer, AColourPointerIsDrawnThreeTimesLargerAtItsHotSpot) {
  StartWith(false);
  ExpectArrowPixel(0, 0, kBlack);
  ExpectArrowPixel(1, 5, kWhite);
  ExpectArrowPixel(5, 5, kBlack);
  // Where the arrow's mask keeps the screen, the magnified screen shows through.
  EXPECT_EQ(v.Client(99 + 3 * 20, 108 + 3 * 5),
            Pattern(467 + (99 + 60 - 1) / 3, 264 + (108 + 15 - 1) / 3));
  // Right of the pointer's 96-pixel square, the plain magnified screen.
  EXPECT_EQ(v.Client(196, 110), Pattern(467 + 65, 264 + 36));
  EXPECT_EQ(v.desktop.LiveBitmaps(), 0);
}

TEST_F(Pointer, AMonochromePointerUsesTheMaskWidthForBothSides) {
  StartWith(true);
  ExpectArrowPixel(0, 0, kBlack);
  ExpectArrowPixel(2, 9, kWhite);
  ExpectArrowPixel(4, 18, kBlack);  // the stem
  // Below the stem the mask keeps the screen; the mask's second (XOR) half is not
  // drawn as more rows.
  EXPECT_EQ(v.Client(111, 183), Pattern(467 + 110 / 3, 264 + 182 / 3));
  EXPECT_EQ(v.desktop.LiveBitmaps(), 0);
}

TEST_F(Pointer, GridLinesLieOverThePointer) {
  StartWith(false);
  v.form->ClickMenu("GridMen");  // its frame, outside a tick, asks for the pointer itself
  // The pointer lands where it did without grid; the grid is drawn over it.
  EXPECT_EQ(v.Client(103, 124), kWhite);  // arrow pixel (1, 5), inside a cell
  EXPECT_EQ(v.Client(102, 124), kGrid);   // column 102 is a grid line
  EXPECT_EQ(v.Client(103, 123), kGrid);   // row 123 is a grid line
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
  EXPECT_FALSE(v.Menu("PointerMen").Checked());
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
  const int dx = at.x - v.s().SrcX;
  const int dy = at.y - v.s().SrcY;
  int green = 0;
  for (int y = 1; y <= v.s().ViewHeight; ++y) {
    for (int x = 1; x <= v.s().ViewWidth; ++x) green += v.Client(x, y) == 0x00FF00U ? 1 : 0;
  }
  EXPECT_EQ(green, 9);
  EXPECT_EQ(v.Client(3 * dx, 3 * dy), 0x00FF00U);
  EXPECT_EQ(v.Client(3 * dx + 2, 3 * dy + 2), 0x00FF00U);
}

TEST(Caption, ShowsTheFactorAndTheHintWhileItLasts) {
  Vimo v;
  sim::SimForm& form = v.Start();
  v.Shrink();
  EXPECT_EQ(form.Caption(), "Vimo (3x)  Right click for a menu");
  v.form->ClickMenu("Mag", 10);
  EXPECT_EQ(form.Caption(), "Vimo (10x)  Right click for a menu");
  v.Ticks(2000);
  EXPECT_EQ(form.Caption(), "Vimo (10x)");
  v.form->ClickMenu("Mag", 3);
  EXPECT_EQ(form.Caption(), "Vimo (3x)");
}

}  // namespace
}  // namespace vimo::test
