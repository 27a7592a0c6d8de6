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

TEST(Mouse, ARightReleaseOpensTheMenuAtThePointerOverTheViewAndTheLabels) {
  Vimo v;
  sim::SimForm& form = v.Start();
  form.LabelControl("Label1").SetVisible(true);
  form.LabelControl("Label2").SetVisible(true);
  v.desktop.SetCursorPos({910, 500});
  for (std::string_view control : {"", "Label1", "Label2"}) {
    const int y = control.empty() ? 100 : form.LabelControl(control).Bounds().top + 1;
    const std::size_t popups = form.Popups().size();
    v.Menu("Pop").SetVisible(true);
    form.MouseDown(kRightButton, 20, y);
    EXPECT_FALSE(v.Menu("Pop").Visible()) << control;
    EXPECT_EQ(form.Popups().size(), popups) << "the menu opens on release";
    form.MouseUp(kRightButton, 20, y);
    ASSERT_EQ(form.Popups().size(), popups + 1) << control;
    EXPECT_EQ(form.Popups().back(), (sim::PopupRecord{"Pop", 4, {910, 500}}));
  }
}

TEST(Mouse, EveryReleaseResetsTheCaptionLeftAndMiddleDoNothingElse) {
  Vimo v;
  sim::SimForm& form = v.Start();
  v.Shrink();
  v.Ticks(2000);
  ASSERT_EQ(form.Caption(), "Vimo (3x)");
  const int sets = form.CaptionSets();
  form.MouseDown(kLeftButton, 5, 5);
  EXPECT_EQ(form.CaptionSets(), sets);
  form.MouseUp(kLeftButton, 5, 5);
  form.MouseDown(kMiddleButton, 5, 5);
  form.MouseUp(kMiddleButton, 5, 5);
  EXPECT_EQ(form.CaptionSets(), sets + 2);
  EXPECT_EQ(form.Caption(), "Vimo (3x)");
  EXPECT_TRUE(form.Popups().empty());
  EXPECT_TRUE(v.Menu("Pop").Visible() == false);
}

}  // namespace
}  // namespace vimo::test
