// The view: whole blocks inside the frame, the read-out band, resizing; what it shows, the
// magnified frame with and without grid, the frame around it, the enlarged pointer.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <tuple>
#include <utility>

#include "vimo_harness.h"

namespace vimo::test {
namespace {

struct Sizes {
  int viewW, viewH, srcW, srcH, frameW, frameH;
  friend bool operator==(const Sizes&, const Sizes&) = default;
  friend std::ostream& operator<<(std::ostream& out, const Sizes& s) {
    return out << "view " << s.viewW << "x" << s.viewH << " src " << s.srcW << "x" << s.srcH
               << " frame " << s.frameW << "x" << s.frameH;
  }
};

Sizes Read(Vimo& v) {
  const MagnifierState& s = v.s();
  const sim::SimShape& f = v.form->ShapeControl("Shape1");
  return {s.ViewWidth, s.ViewHeight, s.SrcWidth, s.SrcHeight, int(f.Width()), int(f.Height())};
}

TEST(Layout, WholeBlocksInsideTheFrameForEachClientFactorGridAndBand) {
  // The client's size, the factor, the grid, the band (locked and measuring), the sizes.
  const std::tuple<int, int, std::int16_t, bool, bool, Sizes> cases[] = {
      {200, 223, 3, false, false, {198, 219, 66, 73, 200, 221}},
      {200, 223, 3, true, false, {198, 219, 66, 73, 199, 220}},
      {200, 223, 3, false, true, {198, 195, 66, 65, 200, 197}},
      {200, 223, 7, false, false, {196, 217, 28, 31, 198, 219}},
      {200, 223, 1, true, false, {198, 221, 198, 221, 200, 223}},  // no grid at factor 1
      {321, 123, 10, true, true, {310, 90, 31, 9, 311, 91}},
      {2, 50, 3, false, false, {0, 48, 0, 16, 2, 50}},  // too small for one block: 0
      {4, 50, 3, false, false, {0, 48, 0, 16, 2, 50}},
      {1, 3, 3, false, false, {0, 0, 0, 0, 2, 2}},  // narrower than the frame
  };
  for (const auto& [width, height, factor, grid, band, want] : cases) {
    Running v;
    v.s().GridOn = grid ? kTrue : kFalse;
    v.s().MeasureOn = v.s().Locked = band ? kTrue : kFalse;  // LockMen's mark stays
    v.app.SetFactor(factor);
    v.form->SetClientSize(width, height);
    EXPECT_EQ(Read(v), want) << width << "x" << height << " at " << factor;
    v.Ticks(1);
    EXPECT_TRUE(v.form->Failures().empty());
  }
}

TEST(Layout, TheReadOutLabelsFillTheBandAtEveryScaleAndMeasuringWithoutTheLockHasNone) {
  // Twips per pixel at 96, 120 and 192 DPI, and the labels' font: 8 points at 96 DPI, as
  // small elsewhere.
  const std::pair<float, float> scales[] = {{15.0F, 8.0F}, {12.0F, 6.4F}, {7.5F, 4.0F}};
  for (const auto& [twipsPerPixel, points] : scales) {
    Vimo v;
    v.toolkit.SetTwipsPerPixel(twipsPerPixel, twipsPerPixel);
    v.Start();
    v.s().MeasureOn = v.s().Locked = kTrue;
    v.form->SetClientSize(200, 223);
    for (const int i : {0, 1}) {  // half the band each, neither covering the other
      auto& label = v.form->LabelControl(i == 0 ? "Label1" : "Label2");
      EXPECT_FLOAT_EQ(label.FontSize(), points);
      EXPECT_EQ(label.Bounds(), (Rect{0, 199 + 12 * i, 200, 211 + 12 * i})) << twipsPerPixel;
    }
    v.s().Locked = kFalse;
    v.app.ComputeLayout();
    EXPECT_EQ(Read(v), (Sizes{198, 219, 66, 73, 200, 221}));
  }
}

// Dragged between monitors of 200% and 100%, and with a monitor set to 150% under it, the
// window keeps its pixels and the read-out its 11-pixel font in its lines of the band; the
// twips the logic reads, and the points of that font, follow the scale. What is stored at
// exit is in the scale of the start, so the next start has the same pixels again.
TEST(Layout, OnAMonitorOfAnotherScaleTheWindowKeepsItsPixelsAndTheReadOutItsBand) {
  const std::vector<Rect> monitors{kFullHd, {1920, 0, 3840, 1080}};
  Vimo v(monitors);
  v.toolkit.SetTwipsPerPixel(7.5F, 7.5F);  // the system's scale: the primary's 192 DPI
  v.desktop.SetMonitorDpi(0, 192);
  v.desktop.SetMonitorDpi(1, 96);
  v.Start();
  v.form->ClickMenu("LockMen");
  v.form->ClickMenu("Meas");
  const Rect start = v.form->Window().outer;
  const int w = start.right - start.left, h = start.bottom - start.top;
  const int cw = v.form->ClientWidth(), ch = v.form->ClientHeight();
  // A monitor's scale is set, then the window dragged to (x, 50): twips per pixel, points.
  const std::tuple<std::size_t, int, int, float, float> steps[] = {
      {1, 96, 2000, 15.0F, 8.0F},
      {0, 192, 100, 7.5F, 4.0F},
      {0, 144, 100, 10.0F, 16.0F / 3.0F},
      {1, 96, 2000, 15.0F, 8.0F}};
  for (const auto& [monitor, dpi, x, tpp, points] : steps) {
    v.desktop.SetMonitorDpi(monitor, dpi);
    v.form->DragTo(x, 50);
    EXPECT_EQ(v.form->Window().outer, (Rect{x, 50, x + w, 50 + h})) << dpi;
    EXPECT_FLOAT_EQ(v.toolkit.GetScreen().TwipsPerPixelY(), tpp);
    EXPECT_FLOAT_EQ(v.form->Width(), static_cast<float>(w) * tpp);
    EXPECT_FLOAT_EQ(v.form->Left(), static_cast<float>(x) * tpp);
    for (const int i : {0, 1}) {
      auto& label = v.form->LabelControl(i == 0 ? "Label1" : "Label2");
      EXPECT_FLOAT_EQ(label.FontSize(), points) << i;
      EXPECT_EQ(label.FontPixels(), 11) << i << " at " << dpi;
      EXPECT_EQ(label.Bounds(), (Rect{0, ch - 24 + 12 * i, cw, ch - 12 + 12 * i})) << i;
    }
  }
  v.form->ClickMenu("Meas");
  EXPECT_EQ(v.form->ClientHeight(), ch - 24) << "the band is 24 pixels at 96 DPI too";
  v.form->Close();
  Vimo next(monitors);
  next.toolkit.SetTwipsPerPixel(7.5F, 7.5F);
  next.desktop.UseFilesOf(v.desktop);
  next.Start();
  EXPECT_EQ(next.form->ClientWidth(), cw);
  EXPECT_EQ(next.form->ClientHeight(), ch - 24);
  EXPECT_TRUE(v.form->Failures().empty() && next.form->Failures().empty());
}

// Only a normal window more than one row high is laid out again; the surface always
// follows the client area, after the repaint (the next tick draws it whole: Frame below),
// and a restored window is repainted at once.
TEST(Layout, ResizingRelaysANormalWindowTallerThanOneRow) {
  Running v;
  v.form->SetClientSize(200, 223);
  v.form->SetClientSize(200, 1);
  EXPECT_EQ(Read(v), (Sizes{198, 219, 66, 73, 200, 221}));
  EXPECT_EQ(v.form->Picture("BuffPic").Height(), 1);
  v.form->SetClientSize(200, 223);
  v.form->Minimize();
  EXPECT_EQ(Read(v), (Sizes{198, 219, 66, 73, 200, 221}));
  v.form->Restore();
  EXPECT_EQ(v.Client(0, 10) | v.Client(199, 10), 0U) << "the frame, painted at once";
  v.form->SetClientSize(321, 123);
  const auto& surface = v.form->Picture("BuffPic");
  EXPECT_EQ((Point{int(surface.Width()), int(surface.Height())}), (Point{321, 123}));
}

constexpr Colour kBlack = 0x000000;
constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kGrid = 0xC0C0C0;

// Where the tick puts a centred area for the pointer.
std::int16_t CentredStart(int cursor, int size) {
  return static_cast<std::int16_t>(std::floor(cursor - (size - 1) / 2.0));
}

// n = (width - 2) / F blocks across, m = (height - 2) / F down, each screen pixel a block
// inside the frame; with the grid, its lines between the cells, all in one call, and none
// in a view of one block. Below the frame, the window's background.
TEST(Frame, EachScreenPixelIsABlockAndGridCellsLieBetweenLinesAtEveryFactor) {
  // The factor, the client's size and the grid.
  const std::tuple<std::int16_t, int, int, bool> cases[] = {
      {3, 200, 223, false}, {2, 200, 223, true},  {3, 200, 223, true},   {4, 200, 223, true},
      {5, 200, 223, true},  {6, 200, 223, true},  {7, 200, 223, true},   {8, 200, 223, true},
      {9, 200, 223, true},  {10, 200, 223, true}, {2, 1002, 1002, true}, {3, 1002, 1001, true},
      {7, 641, 480, true},  {3, 5, 5, true}};
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

TEST(Frame, AViewOfNoBlockAcrossDrawsNothing) {
  Running v;
  ASSERT_TRUE(v.form->ClickMenu("GridMen"));
  v.form->SetClientSize(4, 40);
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
