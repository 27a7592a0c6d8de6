// The view layout: whole blocks inside the frame, the read-out band, resizing.
#include <gtest/gtest.h>

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
// follows the client area, after the repaint (the next tick draws it whole: render_test.cpp),
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

}  // namespace
}  // namespace vimo::test
