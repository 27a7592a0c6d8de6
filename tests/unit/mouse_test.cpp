// The mouse over the window and its labels.
#include <gtest/gtest.h>

#include "vimo_harness.h"

namespace vimo::test {
namespace {

TEST(Mouse, MovesGiveTheCapturedPixelUnderThePointer) {
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
  // Past the view (the margin, the frame): stored as they are, beyond SrcWidth.
  form.MouseMove(199, 198);
  EXPECT_EQ(v.s().MeasureToX, 198) << "the view is 198 source pixels wide";
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
  EXPECT_TRUE(form.Popups().empty() && !v.Menu("Pop").Visible());
}

}  // namespace
}  // namespace vimo::test
