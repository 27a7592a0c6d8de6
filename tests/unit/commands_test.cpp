// Choosing the factor, by the magnification submenu and by the wheel, and the mouse over
// the window and its labels. The option switches: settings_test.cpp, Options.
#include <gtest/gtest.h>

#include <string>

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

TEST(Wheel, NotchesChooseTheNextFactorAndStopAtBothEnds) {
  Vimo v;
  sim::SimForm& form = v.Start();
  const std::string hint = form.Caption().substr(9);  // after "Vimo (3x)"
  // Past an end nothing is kept, so a notch back is one factor back; fractions add up; a
  // turn back drops what the other way had gathered.
  const int steps[][2] = {{120, 4}, {-240, 2}, {6000, 10}, {60, 10}, {-120, 9}, {-6000, 1},
                          {40, 1},  {40, 1},   {40, 2},    {80, 2},  {-40, 2},  {80, 2}};
  for (const auto& [delta, want] : steps) {
    ASSERT_TRUE(form.MouseWheel(delta));
    EXPECT_EQ(v.s().Factor, want) << delta;
    for (std::int16_t i = 1; i <= 10; ++i) EXPECT_EQ(v.Mag(i).Checked(), i == want) << i;
    EXPECT_EQ(form.Caption(), "Vimo (" + std::to_string(want) + "x)" + hint);
    EXPECT_EQ(v.Menu("GridMen").Enabled(), want != 1);
    v.Ticks(1);
    ASSERT_TRUE(ShowsMagnified(v, v.s().SrcX, v.s().SrcY, want, v.s().ViewWidth, v.s().ViewHeight));
  }
}

// A point past the view at factor 1: lock_measure_test.cpp, Measuring. Then a caption set
// behind Vimo's back shows how far each press and release went.
TEST(Mouse, MovesGiveTheCapturedPixelUnderThePointerEveryReleaseResetsTheCaption) {
  Vimo v;
  sim::SimForm& form = v.Start();
  const int factor3[][2] = {{0, -1}, {1, 0}, {2, 0}, {3, 0}, {4, 1}, {200, 66}, {250, 83}};
  for (const auto& [x, want] : factor3) {  // a client point (x, x)
    form.MouseMove(x, x);
    EXPECT_EQ((Point{v.s().MeasureToX, v.s().MeasureToY}), (Point{want, want})) << x;
  }
  form.ClickMenu("Mag", 1);
  form.MouseMove(1, 37);
  EXPECT_EQ((Point{v.s().MeasureToX, v.s().MeasureToY}), (Point{0, 36}));

  v.Shrink();
  v.Ticks(2000);
  for (const std::int16_t button : {kLeftButton, kMiddleButton}) {  // they do nothing else
    form.SetCaption("other");
    form.MouseDown(button, 5, 5);
    EXPECT_EQ(form.Caption(), "other") << button;
    form.MouseUp(button, 5, 5);
    EXPECT_EQ(form.Caption(), "Vimo (1x)") << button;
  }
  EXPECT_TRUE(form.Popups().empty() && !v.Menu("Pop").Visible());
}

}  // namespace
}  // namespace vimo::test
