// Start-up and shut-down of the magnifier window.
#include <gtest/gtest.h>

#include "ui/designs.h"
#include "vimo_harness.h"

namespace vimo::test {
namespace {

TEST(Startup, WithoutSettingsEveryOptionHasItsDefault) {
  Vimo v;
  sim::SimForm& form = v.Start();
  const MagnifierState& s = v.s();
  EXPECT_EQ(s.Factor, 3);
  EXPECT_EQ((std::vector<Flag>{s.PointerOn, s.Centered, s.OnTopOn, s.GridOn, s.MeasureOn, s.Locked,
                               s.SlowMouseOn, s.Sticky}),
            (std::vector<Flag>{kTrue, kTrue, kTrue, kFalse, kFalse, kFalse, kFalse, kFalse}));
  EXPECT_EQ(s.HintTicks, 2000);
  EXPECT_EQ(s.HintText, "  Right click for a menu");
  EXPECT_EQ(form.Picture("BuffPic").ForeColor(), kDefaultGridColour);
  EXPECT_TRUE(form.Window().topmost);
  EXPECT_TRUE(form.Visible());
  EXPECT_FALSE(form.LabelControl("Label1").Visible() || form.LabelControl("Label2").Visible());
  // The design's 200 x 223 client area, less the read-out band that start-up takes
  // away while measuring is off.
  EXPECT_EQ(form.ClientWidth(), 200);
  EXPECT_EQ(form.ClientHeight(), 199);
  // Centred on the primary screen.
  const Rect outer = form.Window().outer;
  EXPECT_EQ(outer.left, (1920 - (outer.right - outer.left)) / 2);
  EXPECT_EQ(outer.top, (1080 - (outer.bottom - outer.top)) / 2);
  EXPECT_TRUE(form.Failures().empty());
  // The caption has its hint before the window is first shown.
  EXPECT_GE(form.CaptionSetsBeforeShow(), 1);
  EXPECT_EQ(form.ShowCalls(), 1);
  EXPECT_EQ(form.Caption(), "Vimo (3x)  Right click for a menu");
}

TEST(Startup, LabelFontsFollowTheScreenResolution) {
  Vimo normal;
  normal.Start();
  EXPECT_FLOAT_EQ(normal.form->LabelControl("Label1").FontSize(), 8.0F);
  EXPECT_FLOAT_EQ(normal.form->LabelControl("Label2").FontSize(), 8.0F);
  Vimo large;
  large.toolkit.SetTwipsPerPixel(12.0F, 12.0F);
  large.Start();
  EXPECT_FLOAT_EQ(large.form->LabelControl("Label1").FontSize(), 6.4F);
  EXPECT_EQ(large.form->ClientWidth(), 250);
}

TEST(Shutdown, RestoresASlowedMouseAndLeavesAnotherAlone) {
  Vimo v;
  v.desktop.SetUserMouseSpeed(14);
  v.Start();
  EXPECT_EQ(v.s().SavedMouseSpeed, 14);
  v.desktop.SetMouseSpeed(5);  // as slowing the mouse does
  v.s().MouseSlowed = kTrue;
  v.form->Close();
  EXPECT_EQ(v.desktop.MouseSpeed(), 14);
  EXPECT_EQ(v.s().MouseSlowed, kFalse);

  Vimo calm;
  calm.Start();
  calm.form->Close();
  EXPECT_TRUE(calm.desktop.MouseSpeedLog().empty());
}

// The mouse speed it gives back: lock_measure_test.cpp, Slowing.
TEST(Failures, AFailingHandlerKeepsTheProgramRunning) {
  Vimo v;
  v.Start();
  v.desktop.FailNextFormGetDc(sim::GetDcFailure::kThrow);
  EXPECT_TRUE(v.form->Tick());
  EXPECT_EQ(v.form->Failures().size(), 1U);
  EXPECT_EQ(v.desktop.LiveDcs(), 0) << "the screen's context was given back";
  // The next tick runs as usual.
  v.Ticks(1);
  EXPECT_EQ(v.form->Failures().size(), 1U);
  EXPECT_TRUE(ShowsMagnified(v, v.s().SrcX, v.s().SrcY, 3, 198, 195));
}

}  // namespace
}  // namespace vimo::test
