// The view layout: whole blocks inside the frame, the read-out band, resizing.
#include <gtest/gtest.h>

#include "vimo_harness.h"

namespace vimo::test {
namespace {

struct Sizes {
  int viewW, viewH, srcW, srcH, frameW, frameH;
};

Sizes Read(Vimo& v) {
  sim::SimShape& frame = v.form->ShapeControl("Shape1");
  return {v.s().ViewWidth,
          v.s().ViewHeight,
          v.s().SrcWidth,
          v.s().SrcHeight,
          static_cast<int>(frame.Width()),
          static_cast<int>(frame.Height())};
}

void ExpectSizes(Vimo& v, Sizes want) {
  const Sizes got = Read(v);
  EXPECT_EQ(got.viewW, want.viewW);
  EXPECT_EQ(got.viewH, want.viewH);
  EXPECT_EQ(got.srcW, want.srcW);
  EXPECT_EQ(got.srcH, want.srcH);
  EXPECT_EQ(got.frameW, want.frameW);
  EXPECT_EQ(got.frameH, want.frameH);
}

TEST(Layout, ClientOf200x223AtFactor3WithAndWithoutGrid) {
  Vimo v;
  v.Start();
  v.form->SetClientSize(200, 223);
  ExpectSizes(v, {198, 219, 66, 73, 200, 221});
  v.form->ClickMenu("GridMen");
  ExpectSizes(v, {198, 219, 66, 73, 199, 220});
  v.form->ClickMenu("GridMen");
  ExpectSizes(v, {198, 219, 66, 73, 200, 221});
}

TEST(Layout, TheReadOutBandTakes24PixelsWhileLockedAndMeasuring) {
  Vimo v;
  v.Start();
  v.s().MeasureOn = kTrue;
  v.Menu("LockMen").SetChecked(true);
  v.form->SetClientSize(200, 223);
  ExpectSizes(v, {198, 195, 66, 65, 200, 197});
  EXPECT_EQ(v.form->LabelControl("Label1").Top(), 199);
  EXPECT_EQ(v.form->LabelControl("Label2").Top(), 211);
  EXPECT_EQ(v.form->LabelControl("Label1").Width(), 200);
  // Measuring without the lock leaves the band out.
  v.Menu("LockMen").SetChecked(false);
  v.app.ComputeLayout();
  ExpectSizes(v, {198, 219, 66, 73, 200, 221});
}

TEST(Layout, FactorOneKeepsTheFrameAllowanceOfTwoEvenWithTheGridFlag) {
  Vimo v;
  v.Start();
  v.form->SetClientSize(200, 223);
  v.s().GridOn = kTrue;
  v.app.SetFactor(1);
  ExpectSizes(v, {198, 221, 198, 221, 200, 223});
}

TEST(Layout, ChangingTheFactorFrom3To7RelaysInWholeBlocks) {
  Vimo v;
  v.Start();
  v.form->SetClientSize(200, 223);
  v.form->ClickMenu("Mag", 7);
  ExpectSizes(v, {196, 217, 28, 31, 198, 219});
}

TEST(Layout, AClientTooSmallForOneBlockGivesAViewOfZeroNeverLess) {
  Vimo v;
  v.Start();
  v.form->SetClientSize(2, 50);
  ExpectSizes(v, {0, 48, 0, 16, 2, 50});
  v.form->SetClientSize(4, 50);
  ExpectSizes(v, {0, 48, 0, 16, 2, 50});
  v.form->SetClientSize(1, 3);  // narrower than the frame, lower than the margin + 1 block
  ExpectSizes(v, {0, 0, 0, 0, 2, 2});
  v.Ticks(2);
  EXPECT_TRUE(v.form->Failures().empty());
}

TEST(Layout, AClientOneRowHighIsNotLaidOut) {
  Vimo v;
  v.Start();
  v.form->SetClientSize(200, 223);
  v.form->SetClientSize(200, 1);
  ExpectSizes(v, {198, 219, 66, 73, 200, 221});
  EXPECT_EQ(v.form->Picture("BuffPic").Height(), 1);
}

TEST(Layout, MinimisingNeitherLaysOutNorRepaintsAndRestoringDoes) {
  Vimo v;
  v.Start();
  v.form->SetClientSize(200, 223);
  const int refreshes = v.form->RefreshCalls();
  v.form->Minimize();
  EXPECT_EQ(v.form->RefreshCalls(), refreshes);
  ExpectSizes(v, {198, 219, 66, 73, 200, 221});
  v.form->Restore();
  EXPECT_EQ(v.form->RefreshCalls(), refreshes + 1);
  ExpectSizes(v, {198, 219, 66, 73, 200, 221});
}

TEST(Layout, TheSurfaceFollowsTheClientAfterTheRepaint) {
  Vimo v;
  v.Start();
  v.form->SetClientSize(321, 123);
  EXPECT_EQ(v.form->Picture("BuffPic").Width(), 321);
  EXPECT_EQ(v.form->Picture("BuffPic").Height(), 123);
  // The next tick draws the whole view at the new size.
  v.Ticks(1);
  EXPECT_TRUE(ShowsMagnified(v, v.s().SrcX, v.s().SrcY, 3, 318, 120));
}

}  // namespace
}  // namespace vimo::test
