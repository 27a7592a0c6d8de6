// The tick: placement of the captured area, clamping, desktop bounds, the hint, the
// window following the pointer, resources over many ticks and a failing handler. The
// start without settings: settings_test.cpp, AFirstRun...; the options' defaults:
// settings_test.cpp, Options.
#include <gtest/gtest.h>

#include <tuple>

#include "platform/win32_constants.h"
#include "vimo_harness.h"

namespace vimo::test {
namespace {

// Where the captured area goes for a pointer position: centred or top left of the
// pointer, and clamped to the desktop, which may reach into negative coordinates.
TEST(Placement, PutsThePointerPixelWhereTheOptionSaysInsideTheDesktop) {
  const Rect left{-1280, 0, 0, 1024};
  // A second monitor or none, Centered, the area's size, the pointer and where the area goes.
  const std::tuple<Rect, Flag, std::int16_t, std::int16_t, Point, std::int16_t, std::int16_t>
      cases[] = {
          // Centred, even size: the pointer is the pixel just right of / below the centre.
          {{}, kTrue, 100, 100, {500, 400}, 450, 350},
          {{}, kTrue, 101, 51, {500, 400}, 450, 375},  // odd size: the exact centre pixel
          // Top left of the pointer: the pointer is the bottom-right pixel.
          {{}, kFalse, 100, 100, {500, 400}, 401, 301},
          {{}, kFalse, 101, 51, {500, 400}, 400, 350},
          {{}, kTrue, 100, 100, {0, 0}, 0, 0},   // clamped at the top-left corner
          {{}, kFalse, 100, 100, {0, 0}, 0, 0},  // the pointer becomes the top-left pixel
          {{}, kTrue, 100, 60, {10, 500}, 0, 470},
          {{}, kTrue, 100, 60, {900, 5}, 850, 0},
          {{}, kTrue, 100, 60, {1915, 500}, 1820, 470},   // 1920 - 100
          {{}, kTrue, 100, 60, {900, 1079}, 850, 1020},   // 1080 - 60
          {{}, kTrue, 2000, 1100, {400, 300}, -80, -20},  // wider than the desktop: right edge
          {left, kTrue, 100, 100, {-1000, 500}, -1050, 450},
          {left, kTrue, 100, 100, {-1279, 500}, -1280, 450},
      };
  for (const auto& [extra, centered, width, height, cursor, x, y] : cases) {
    Vimo v(extra.right > extra.left ? std::vector<Rect>{kFullHd, extra}
                                    : std::vector<Rect>{kFullHd});
    v.Start();
    v.s().Centered = centered;
    v.s().SrcWidth = width;
    v.s().SrcHeight = height;
    v.desktop.SetCursorPos(cursor);
    v.Ticks(1);
    EXPECT_EQ((Point{v.s().SrcX, v.s().SrcY}), (Point{x, y}))
        << cursor.x << "," << cursor.y << " " << width << "x" << height;
    EXPECT_EQ(v.s().CursorPos, cursor);
  }
}

// The area is 66 x 65.
TEST(Clamping, ALockedAreaStaysPutButIsPulledBackInsideWhenTheDesktopShrinks) {
  Running v;
  v.s().Locked = kTrue;
  v.s().SrcX = 1800;
  v.s().SrcY = 100;
  v.desktop.SetCursorPos({300, 300});
  v.Ticks(1);
  EXPECT_EQ((Point{v.s().SrcX, v.s().SrcY}), (Point{1800, 100}));
  v.desktop.SetMonitors({{0, 0, 1280, 1024}});
  v.s().DeskRight = 1280;  // as the next re-read of the bounds will find
  v.Ticks(1);
  EXPECT_EQ((Point{v.s().SrcX, v.s().SrcY}), (Point{1280 - 66, 100}));
}

TEST(DesktopBounds, AreTheVirtualDesktopOrWithoutMonitorSupportThePrimaryScreen) {
  for (const bool multi : {true, false}) {
    Vimo v({kFullHd, {-1280, -200, 0, 1024}});
    v.desktop.SetMultiMonitorSupport(multi);
    v.Start();
    EXPECT_EQ((Rect{v.s().DeskLeft, v.s().DeskTop, v.s().DeskRight, v.s().DeskBottom}),
              multi ? (Rect{-1280, -200, 1920, 1080}) : kFullHd);
  }
}

// The bounds are read again in ticks 301 and 601, not in 300 or 600. Apart from tick 2000
// the tick leaves the caption alone: one set behind Vimo's back stays.
TEST(DesktopBoundsAndHint, AreReadAgainInTick301And601AndTheHintIsSetInTick2000Only) {
  Running v;
  v.Shrink();
  v.form->SetCaption("other");
  v.desktop.SetMonitors({kFullHd, {1920, 0, 3200, 1024}});
  v.Ticks(300);
  EXPECT_EQ(v.s().DeskRight, 1920) << "tick 300 must not re-read";
  v.Ticks(1);
  EXPECT_EQ(v.s().DeskRight, 3200) << "tick 301 re-reads";
  v.desktop.SetMonitors({{0, 0, 1280, 1024}});
  v.Ticks(299);
  EXPECT_EQ(v.s().DeskRight, 3200) << "tick 600 must not re-read";
  v.Ticks(1);
  EXPECT_EQ(v.s().DeskRight, 1280) << "tick 601 re-reads";
  v.Ticks(1398);
  EXPECT_EQ(v.form->Caption(), "other") << "tick 1999";
  v.Ticks(1);
  EXPECT_EQ(v.form->Caption(), "Vimo (3x)");
  v.form->SetCaption("other");
  v.Ticks(500);
  EXPECT_EQ(v.form->Caption(), "other");
}

// A desktop of 1920 x 1080 and a window of 320 x 360 pixels.
class Stick : public ::testing::Test {
 protected:
  void SetUp() override { Start(); }
  void Start() {
    v.Start();
    v.form->SetWidth(320 * 15.0F);
    v.form->SetHeight(360 * 15.0F);
    v.s().Sticky = kTrue;
  }
  Point WindowAfterTickAt(Point cursor) {
    v.desktop.SetCursorPos(cursor);
    v.Ticks(1);
    Rect r;
    v.desktop.GetWindowRect(v.form->hWnd(), &r);
    EXPECT_EQ((Point{r.right - r.left, r.bottom - r.top}), (Point{320, 360}));
    return {r.left, r.top};
  }
  Vimo v;
};

// It moves only when its place changes, never a minimised or hidden window. An unstuck
// window: settings_test.cpp, Options.
TEST_F(Stick, KeepsTheWindowBesideThePointerAndInsideTheDesktopMovingItOnlyOnAChange) {
  const int z = v.form->Window().z;
  EXPECT_EQ(WindowAfterTickAt({100, 100}), (Point{124, 132}));  // right of and below
  v.desktop.ResetCalls();
  EXPECT_EQ(WindowAfterTickAt({100, 100}), (Point{124, 132}));  // the pointer rests
  EXPECT_EQ(v.desktop.Calls().setWindowPos, 0);
  EXPECT_EQ(WindowAfterTickAt({100, 150}), (Point{124, 182}));  // up or down only
  EXPECT_EQ(WindowAfterTickAt({101, 99}), (Point{125, 131}));   // every move is followed
  EXPECT_EQ(v.desktop.Calls().setWindowPos, 2);
  v.desktop.PlaceWindow(v.form->hWnd(), {600, 500, 920, 860});  // dragged away
  EXPECT_EQ(WindowAfterTickAt({101, 99}), (Point{125, 131}));
  EXPECT_EQ(v.desktop.Calls().setWindowPos, 3);
  EXPECT_EQ(WindowAfterTickAt({1700, 100}), (Point{1600, 132}));  // right edge on the edge
  EXPECT_EQ(WindowAfterTickAt({100, 900}), (Point{124, 720}));    // bottom edge on the edge
  EXPECT_EQ(WindowAfterTickAt({1700, 900}), (Point{1600, 516}));  // above the pointer
  EXPECT_EQ(v.desktop.ActiveWindow(), 0U) << "moved without being activated";
  EXPECT_EQ(v.form->Window().z, z) << "or raised";
  v.s().DeskBottom = 300;  // a short desktop: flipped above, the window may leave it
  EXPECT_EQ(WindowAfterTickAt({1700, 100}), (Point{1600, 100 - 360 - 24}));

  v.form->Minimize();
  v.desktop.ResetCalls();
  v.desktop.SetCursorPos({600, 600});
  v.Ticks(1);
  EXPECT_EQ(v.desktop.Calls().setWindowPos, 0);
  EXPECT_EQ(v.s().CursorPos, (Point{600, 600})) << "the rest of the tick still runs";
  v.form->Restore();
  v.form->Hide();
  EXPECT_EQ(WindowAfterTickAt({600, 600}), (Point{1600, 100 - 360 - 24}));
  EXPECT_EQ(v.desktop.Calls().setWindowPos, 0);
}

// Where Vimo's window cannot be left out of the screen read (X11), it keeps clear of the
// captured area: right of it, or left of it at the desktop's right edge.
struct StickSeeingItself : Stick {
  void SetUp() override {
    v.desktop.SetCaptureExclusionSupported(false);
    Start();
  }
};

TEST_F(StickSeeingItself, KeepsTheWindowBesideTheCapturedArea) {
  ASSERT_EQ(v.s().SeesItself, kTrue);
  const auto placed = [&](Point cursor) {
    const Point at = WindowAfterTickAt(cursor);
    const int left = v.s().SrcX, right = left + v.s().SrcWidth;
    EXPECT_TRUE(at.x >= right || at.x + 320 <= left) << cursor.x << ", " << cursor.y;
    return at;
  };
  const Point right = placed({500, 100});
  ASSERT_EQ(v.s().SrcWidth, 100);  // at 3 X: from 50 left of the pointer to 49 right of it
  EXPECT_EQ(right, (Point{450 + 100, 132}));
  EXPECT_EQ(placed({1700, 100}), (Point{1650 - 320, 132}));  // left of it
  v.s().Centered = kFalse;  // the area above and left of the pointer: the usual gap
  EXPECT_EQ(placed({500, 100}), (Point{524, 132}));
  v.s().Centered = kTrue;
  v.s().Locked = kTrue;  // a locked area far from the pointer leaves the usual gap too
  EXPECT_EQ(placed({1000, 600}), (Point{1024, 632}));
}

TEST(Resources, LiveHandlesStayFlatOver10000Ticks) {
  Vimo v;
  v.desktop.SetCursorImage(sim::MakeArrowCursor(false));
  v.Start();
  v.Shrink();
  v.s().GridOn = kTrue;
  v.app.ApplyGrid();
  v.Ticks(10);
  const int live = v.desktop.LiveHandles();
  for (int i = 0; i < 10000; ++i) {
    v.desktop.SetCursorPos({400 + i % 700, 300 + i % 400});
    v.form->Tick();
  }
  EXPECT_EQ(v.desktop.LiveHandles(), live);
  EXPECT_EQ(v.desktop.LiveBitmaps(), 0);
  EXPECT_TRUE(v.form->Failures().empty());
}

// The close leaves a mouse speed Vimo did not change alone. Giving a slowed mouse its
// speed back: lock_measure_test.cpp, Slowing.
TEST(Failures, AFailingHandlerKeepsTheProgramRunningAndTheCloseLeavesTheMouseAlone) {
  Running v;
  v.desktop.FailNextFormGetDc(sim::GetDcFailure::kThrow);
  EXPECT_TRUE(v.form->Tick());
  EXPECT_EQ(v.form->Failures().size(), 1U);
  EXPECT_EQ(v.desktop.LiveDcs(), 0) << "the screen's context was given back";
  // The next tick runs as usual.
  v.Ticks(1);
  EXPECT_EQ(v.form->Failures().size(), 1U);
  EXPECT_TRUE(ShowsMagnified(v, v.s().SrcX, v.s().SrcY, 3, 198, 195));
  v.desktop.SetUserMouseSpeed(14);  // the user's own change while Vimo runs
  v.form->Close();
  EXPECT_EQ(v.desktop.MouseSpeed(), 14);
}

}  // namespace
}  // namespace vimo::test
