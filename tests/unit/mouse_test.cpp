// The mouse over the window and its labels.
#include <gtest/gtest.h>

#include "vimo_harness.h"

namespace vimo::test {
namespace {

TEST(Mouse, MovesGiveTheCapturedPixelUnderThePointer) {
  Vimo v;
  sim::SimForm& form = v.Start();
  const struct {
    int x;
    std::int32_t want;
  } factor3[] = {{0, -1}, {1, 0}, {2, 0}, {3, 0}, {4, 1}, {200, 66}, {250, 83}};
  for (const auto& c : factor3) {
    form.MouseMove(c.x, c.x);
    EXPECT_EQ(v.s().MeasureToX, c.want) << c.x;
    EXPECT_EQ(v.s().MeasureToY, c.want) << c.x;
  }
  form.ClickMenu("Mag", 1);
  form.MouseMove(1, 37);
  EXPECT_EQ(v.s().MeasureToX, 0);
  EXPECT_EQ(v.s().MeasureToY, 36);
  // Past the view (the margin, the frame): stored as they are, beyond SrcWidth.
  form.MouseMove(199, 198);
  EXPECT_EQ(v.s().MeasureToX, 198);
  EXPECT_GE(v.s().MeasureToX, v.s().SrcWidth);
}

// A caption set behind Vimo's back shows how far each press and release went.
TEST(Mouse, EveryReleaseResetsTheCaptionLeftAndMiddleDoNothingElse) {
  Vimo v;
  sim::SimForm& form = v.Start();
  v.Shrink();
  v.Ticks(2000);
  for (const std::int16_t button : {kLeftButton, kMiddleButton}) {
    form.SetCaption("other");
    form.MouseDown(button, 5, 5);
    EXPECT_EQ(form.Caption(), "other") << button;
    form.MouseUp(button, 5, 5);
    EXPECT_EQ(form.Caption(), "Vimo (3x)") << button;
  }
  EXPECT_TRUE(form.Popups().empty());
  EXPECT_TRUE(v.Menu("Pop").Visible() == false);
}

}  // namespace
}  // namespace vimo::test
