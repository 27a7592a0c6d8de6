// The command menu: its states after start-up, the factor items and the option switches.
#include <gtest/gtest.h>

#include "platform/win32_constants.h"
#include "ui/designs.h"
#include "vimo_harness.h"

namespace vimo::test {
namespace {

std::vector<int> CheckedFactors(Vimo& v) {
  std::vector<int> checked;
  for (std::int16_t i = 1; i <= 10; ++i) {
    if (v.Mag(i).Checked()) checked.push_back(i);
  }
  return checked;
}

TEST(Menu, AfterAStartWithoutSettingsEveryItemIsInItsDesignState) {
  Vimo v;
  v.Start();
  for (const MenuDesign& d : MainDesign().menus) {
    sim::SimMenuItem& item = d.index > 0 ? v.Mag(d.index) : v.Menu(d.name);
    EXPECT_EQ(item.Caption(), d.caption) << d.name << d.index;
    EXPECT_EQ(item.Checked(), d.checked) << d.name << d.index;
    EXPECT_EQ(item.Enabled(), d.enabled) << d.name << d.index;
    EXPECT_EQ(item.Visible(), d.visible) << d.name << d.index;
  }
  EXPECT_EQ(v.app.CheckedFactorIndex(), 3);
}

TEST(Factor, Choosing5RelaysCaptionsAndRepaintsAtOnce) {
  Vimo v;
  sim::SimForm& form = v.Start();
  form.SetClientSize(200, 223);
  v.Ticks(1);
  const int cls = form.ClsCalls();
  const int refreshes = form.RefreshCalls();
  ASSERT_TRUE(form.ClickMenu("Mag", 5));
  EXPECT_EQ(CheckedFactors(v), std::vector<int>{5});
  EXPECT_EQ(v.s().Factor, 5);
  EXPECT_EQ(form.Caption(), "Vimo (5x)  Right click for a menu");
  EXPECT_TRUE(v.Menu("GridMen").Enabled());
  EXPECT_EQ(form.ClsCalls(), cls + 1);
  EXPECT_EQ(form.RefreshCalls(), refreshes + 1);
  // The repaint already shows factor 5 over the area the last tick placed (66 x 73 from
  // (467, 264)), before any new tick.
  EXPECT_EQ(v.s().ViewWidth, 195);
  EXPECT_TRUE(ShowsMagnified(v, 467, 264, 5, 195, 215));
  EXPECT_EQ(v.app.CheckedFactorIndex(), 5);
}

TEST(Factor, OneDisablesTheGridItemWhichKeepsItsCheckMark) {
  Vimo v;
  sim::SimForm& form = v.Start();
  form.SetClientSize(200, 223);
  form.ClickMenu("GridMen");
  form.ClickMenu("Mag", 1);
  EXPECT_FALSE(v.Menu("GridMen").Enabled());
  EXPECT_TRUE(v.Menu("GridMen").Checked());
  EXPECT_FALSE(form.ClickMenu("GridMen")) << "a disabled item cannot be chosen";
  v.Ticks(1);
  EXPECT_TRUE(ShowsMagnified(v, v.s().SrcX, v.s().SrcY, 1, 198, 221));
  form.ClickMenu("Mag", 2);
  EXPECT_TRUE(v.Menu("GridMen").Enabled());
  v.Ticks(1);
  EXPECT_EQ(v.Client(2, 10), 0xC0C0C0U) << "the grid is back at factor 2";
}

TEST(Factor, ChoosingTheCheckedItemRedrawsAndChangesNothingElse) {
  Vimo v;
  sim::SimForm& form = v.Start();
  const int cls = form.ClsCalls();
  const std::string caption = form.Caption();
  form.ClickMenu("Mag", 3);
  EXPECT_EQ(form.ClsCalls(), cls + 1);
  EXPECT_EQ(CheckedFactors(v), std::vector<int>{3});
  EXPECT_EQ(form.Caption(), caption);
}

TEST(Factor, AnIndexWithoutItemFailsAndLeavesTheFactorChecked) {
  Vimo v;
  sim::SimForm& form = v.Start();
  for (std::int16_t bad : {0, 11, -1}) {
    EXPECT_THROW(v.app.SetFactor(bad), ToolkitError) << bad;
    EXPECT_EQ(v.s().Factor, 3);
    EXPECT_EQ(CheckedFactors(v), std::vector<int>{3});
    EXPECT_EQ(v.app.CheckedFactorIndex(), 3);
    EXPECT_EQ(form.Caption(), "Vimo (3x)  Right click for a menu");
  }
  v.Mag(3).SetChecked(false);
  EXPECT_EQ(v.app.CheckedFactorIndex(), 0);
}

TEST(Options, AlwaysOnTopTogglesTopmostWithoutActivating) {
  Vimo v;
  sim::SimForm& form = v.Start();
  EXPECT_TRUE(form.Window().topmost);
  form.ClickMenu("OnTop");
  EXPECT_EQ(v.s().OnTopOn, kFalse);
  EXPECT_FALSE(v.Menu("OnTop").Checked());
  EXPECT_FALSE(form.Window().topmost);
  const sim::SetWindowPosCall& off = v.desktop.SetWindowPosLog().back();
  EXPECT_EQ(off.insertAfter, win::HWND_NOTOPMOST);
  EXPECT_EQ(off.flags, 0x53U);
  EXPECT_FALSE(off.activated);
  form.ClickMenu("OnTop");
  EXPECT_EQ(v.s().OnTopOn, kTrue);
  EXPECT_TRUE(v.Menu("OnTop").Checked());
  EXPECT_TRUE(form.Window().topmost);
  EXPECT_EQ(v.desktop.SetWindowPosLog().back().insertAfter, win::HWND_TOPMOST);
}

TEST(Options, StickTogglesTheMarkAndTheWindowFollowsFromTheNextTick) {
  Vimo v;
  sim::SimForm& form = v.Start();
  const Rect before = form.Window().outer;
  form.ClickMenu("Stick");
  EXPECT_EQ(v.s().Sticky, kTrue);
  EXPECT_TRUE(v.Menu("Stick").Checked());
  EXPECT_EQ(form.Window().outer, before) << "nothing moves before the next tick";
  v.desktop.SetCursorPos({300, 200});
  v.Ticks(1);
  EXPECT_EQ(form.Window().outer.left, 324);
  EXPECT_EQ(form.Window().outer.top, 232);
  form.ClickMenu("Stick");
  EXPECT_EQ(v.s().Sticky, kFalse);
  EXPECT_FALSE(v.Menu("Stick").Checked());
  v.desktop.SetCursorPos({700, 600});
  v.Ticks(1);
  EXPECT_EQ(form.Window().outer.left, 324);
}

TEST(Options, TopLeftAndCentredAreAPairOfRadioItems) {
  Vimo v;
  sim::SimForm& form = v.Start();
  form.ClickMenu("TopLeft");
  EXPECT_EQ(v.s().Centered, kFalse);
  EXPECT_TRUE(v.Menu("TopLeft").Checked());
  EXPECT_FALSE(v.Menu("Center").Checked());
  v.Ticks(1);
  EXPECT_EQ(v.s().SrcX, 500 - 65);
  EXPECT_EQ(v.s().SrcY, 300 - (v.s().SrcHeight - 1));
  form.ClickMenu("Center");
  form.ClickMenu("Center");
  EXPECT_EQ(v.s().Centered, kTrue);
  EXPECT_TRUE(v.Menu("Center").Checked());
  EXPECT_FALSE(v.Menu("TopLeft").Checked());
  v.Ticks(1);
  EXPECT_EQ(v.s().SrcX, 467);
}

TEST(Options, ALockedViewKeepsItsPlaceWhenThePlacementChanges) {
  Vimo v;
  sim::SimForm& form = v.Start();
  v.Ticks(1);
  v.s().Locked = kTrue;
  form.ClickMenu("TopLeft");
  v.Ticks(1);
  EXPECT_EQ(v.s().SrcX, 467);
}

TEST(Options, ShowGridRelaysAndDrawsTheGridAtOnce) {
  Vimo v;
  sim::SimForm& form = v.Start();
  form.SetClientSize(200, 223);
  v.Ticks(1);
  form.ClickMenu("GridMen");
  EXPECT_EQ(v.s().GridOn, kTrue);
  EXPECT_TRUE(v.Menu("GridMen").Checked());
  EXPECT_EQ(form.ShapeControl("Shape1").Width(), 199);
  // Without a tick: column 3 is a grid line, column 198 the frame's new right border.
  EXPECT_EQ(v.Client(3, 10), 0xC0C0C0U);
  EXPECT_EQ(v.Client(198, 10), 0x000000U);
  EXPECT_EQ(v.Client(199, 10), sim::kButtonFace) << "the old border is gone";
  form.ClickMenu("GridMen");
  EXPECT_EQ(v.s().GridOn, kFalse);
  EXPECT_EQ(v.Client(199, 10), 0x000000U);
  EXPECT_EQ(v.Client(3, 10), v.desktop.Pixel(467, 267));
}

TEST(Options, FlagsToggleBetweenMinusOneAndZero) {
  Vimo v;
  sim::SimForm& form = v.Start();
  const Flag first = v.s().PointerOn;
  form.ClickMenu("PointerMen");
  EXPECT_EQ(v.s().PointerOn, kFalse);
  form.ClickMenu("PointerMen");
  EXPECT_EQ(v.s().PointerOn, first);
  EXPECT_EQ(first, kTrue);
}

}  // namespace
}  // namespace vimo::test
