// The magnification submenu. The option switches: settings_test.cpp, Options.
#include <gtest/gtest.h>

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

// An index without an item fails and leaves the factor checked. Choosing 5 relays, sets
// the caption and repaints at once; 1 disables the grid item, which keeps its check mark.
TEST(Factor, ABadIndexFailsAndAChoiceRelaysCaptionsAndRepaintsAtOnce) {
  Vimo v;
  sim::SimForm& form = v.Start();
  form.SetClientSize(200, 223);
  for (std::int16_t bad : {0, 11, -1}) {
    EXPECT_THROW(v.app.SetFactor(bad), ToolkitError) << bad;
    EXPECT_EQ(v.s().Factor, 3);
    EXPECT_EQ(CheckedFactors(v), std::vector<int>{3});
    EXPECT_EQ(form.Caption(), "Vimo (3x)  Right click for a menu");
  }
  v.Ticks(1);
  ASSERT_TRUE(form.ClickMenu("Mag", 5));
  EXPECT_EQ(CheckedFactors(v), std::vector<int>{5});
  EXPECT_EQ(form.Caption(), "Vimo (5x)  Right click for a menu");
  EXPECT_TRUE(v.Menu("GridMen").Enabled());
  // The repaint already shows factor 5 over the area the last tick placed (66 x 73 from
  // (467, 264)), before any new tick.
  EXPECT_TRUE(ShowsMagnified(v, 467, 264, 5, 195, 220));
  EXPECT_EQ(v.Client(197, 10), sim::kButtonFace) << "the view at factor 3 is wiped";

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

}  // namespace
}  // namespace vimo::test
