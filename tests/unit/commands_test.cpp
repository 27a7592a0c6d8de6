// The command menu: its states after start-up, the factor items and the option switches.
#include <gtest/gtest.h>

#include "platform/win32_constants.h"
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
  EXPECT_TRUE(ShowsMagnified(v, 467, 264, 5, 195, 220));
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

// Each option item flips its flag between -1 and 0 and its check mark, and takes effect:
// at once for the window's z-order and the grid, from the next tick for the rest.
TEST(Options, EachItemTogglesItsFlagAndMarkAndTakesEffect) {
  const struct {
    const char* item;
    Flag MagnifierState::*flag;
    Flag initially;
    const char* partner;  // the other item of a radio pair
  } items[] = {{"OnTop", &MagnifierState::OnTopOn, kTrue, nullptr},
               {"Stick", &MagnifierState::Sticky, kFalse, nullptr},
               {"TopLeft", &MagnifierState::Centered, kTrue, "Center"},
               {"GridMen", &MagnifierState::GridOn, kFalse, nullptr},
               {"PointerMen", &MagnifierState::PointerOn, kTrue, nullptr}};
  for (const auto& it : items) {
    Vimo v;
    sim::SimForm& form = v.Start();
    form.SetClientSize(200, 223);
    v.Ticks(1);
    const Rect window = form.Window().outer;
    for (const bool first : {true, false}) {  // the item, then the item or its partner
      ASSERT_TRUE(form.ClickMenu(first || it.partner == nullptr ? it.item : it.partner));
      const Flag want = first ? Complement(it.initially) : it.initially;
      SCOPED_TRACE(std::string(it.item) + (first ? " first" : " second"));
      EXPECT_EQ(v.s().*it.flag, want);
      const bool itemOn = it.partner != nullptr ? first : want == kTrue;
      EXPECT_EQ(v.Menu(it.item).Checked(), itemOn);
      if (it.partner != nullptr) {
        EXPECT_EQ(v.Menu(it.partner).Checked(), !itemOn);
      }
      EXPECT_EQ(form.Window().outer, window) << "nothing moves before the next tick";
    }
  }
}

TEST(Options, TopmostGridPlacementAndStickTakeEffect) {
  Vimo v;
  sim::SimForm& form = v.Start();
  form.SetClientSize(200, 223);
  v.Ticks(1);
  form.ClickMenu("OnTop");  // off: not topmost, without activating
  EXPECT_FALSE(form.Window().topmost);
  const sim::SetWindowPosCall& off = v.desktop.SetWindowPosLog().back();
  EXPECT_EQ(off.insertAfter, win::HWND_NOTOPMOST);
  EXPECT_EQ(off.flags, 0x53U);
  EXPECT_FALSE(off.activated);
  form.ClickMenu("OnTop");
  EXPECT_TRUE(form.Window().topmost);
  EXPECT_EQ(v.desktop.SetWindowPosLog().back().insertAfter, win::HWND_TOPMOST);

  form.ClickMenu("GridMen");  // relaid and drawn at once, without a tick
  EXPECT_EQ(form.ShapeControl("Shape1").Width(), 199);
  EXPECT_EQ(v.Client(3, 10), 0xC0C0C0U);
  EXPECT_EQ(v.Client(198, 10), 0x000000U) << "the frame's new right border";
  EXPECT_EQ(v.Client(199, 10), sim::kButtonFace) << "the old border is gone";
  form.ClickMenu("GridMen");
  EXPECT_EQ(v.Client(199, 10), 0x000000U);
  EXPECT_EQ(v.Client(3, 10), v.desktop.Pixel(467, 264 + 9 / 3));

  form.ClickMenu("TopLeft");
  v.s().Locked = kTrue;  // a locked view keeps its place when the placement changes
  v.Ticks(1);
  EXPECT_EQ(v.s().SrcX, 467);
  v.s().Locked = kFalse;
  v.Ticks(1);
  EXPECT_EQ(v.s().SrcX, 500 - 65);
  EXPECT_EQ(v.s().SrcY, 300 - (v.s().SrcHeight - 1));

  form.ClickMenu("Stick");
  v.desktop.SetCursorPos({300, 200});
  v.Ticks(1);
  EXPECT_EQ((Point{form.Window().outer.left, form.Window().outer.top}), (Point{324, 232}));
  form.ClickMenu("Stick");
  v.desktop.SetCursorPos({700, 600});
  v.Ticks(1);
  EXPECT_EQ(form.Window().outer.left, 324);
}

}  // namespace
}  // namespace vimo::test
