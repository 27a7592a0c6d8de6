// Where Windows decides what the logic sees: resizes, twips, what a capture shows, how the
// mouse reaches the window, and when a popup's command runs.
#include <gtest/gtest.h>

#include <tuple>

#include "platform/units.h"
#include "vimo_harness.h"

namespace vimo::test {
namespace {

TEST(Likeness, AnUnchangedSizeRunsNoResizeAndAMinimisedWindowIsNeitherSizedNorTyped) {
  Running v;
  // A pixel of the view inverted by hand stays so unless a resize repaints the view.
  v.Ticks(1);
  const Colour shown = v.Client(5, 5);
  v.form->Line(5, 5, 6, 5, 0);
  v.form->SetWidth(v.form->Width());
  v.form->SetHeight(v.form->Height());
  v.form->SetTop(v.form->Top());
  EXPECT_EQ(v.Client(5, 5), ~shown & 0x00FFFFFFU) << "the resize handler ran";
  v.form->SetHeight(v.form->Height() + 15.0F);
  EXPECT_EQ(v.Client(5, 5), shown);

  v.form->Minimize();
  const Rect normal = v.form->Window().restored;
  EXPECT_THROW(v.form->SetHeight(v.form->Height() + 360.0F), ToolkitError);
  EXPECT_THROW(v.form->SetLeft(0.0F), ToolkitError);
  EXPECT_FALSE(v.form->KeyPress(' '));
  v.form->Restore();
  EXPECT_EQ(v.form->Window().outer, normal);
}

TEST(Likeness, TwipsBecomeWholePixelsTiesToEven) {
  // Twips per pixel, twips, pixels.
  const std::tuple<float, float, int> cases[] = {
      {15, 3247.5F, 216}, {15, 3262.5F, 218}, {15, 7.5F, 0}, {15, -22.5F, -2},
      {15, -157, -10},    {12, 3345, 279},    {12, 975, 81}, {7.5F, 1451.25F, 194}};
  for (const auto& [tpp, twips, pixels] : cases) {
    EXPECT_EQ(PixelsFromTwips(twips, tpp), pixels) << twips << " / " << tpp;
  }
}

// The pointer on the window's top-left corner: the captured area covers the window.
TEST(Likeness, TheViewShowsOtherWindowsButVimosOwnOnlyWhereItCannotBeExcluded) {
  for (const bool excludable : {true, false}) {
    Vimo v;
    v.desktop.SetCaptureExclusionSupported(excludable);
    const Rect outer = v.Start().Window().outer;
    v.desktop.SetCursorPos({outer.left + 5, outer.top + 5});
    v.Ticks(1);
    const int x = 1 + (outer.left - v.s().SrcX) * 3;
    const int y = 1 + (outer.top - v.s().SrcY) * 3;
    EXPECT_EQ(v.Client(x, y), excludable ? Pattern(outer.left, outer.top) : sim::kFrameColour);
    EXPECT_EQ(bool(ShowsMagnified(v, v.s().SrcX, v.s().SrcY, 3, 198, 195)), excludable);
  }
  Running v;
  v.form->ClickMenu("About");
  const Rect about = v.toolkit.FindForm("frmAbout").Window().outer;
  v.desktop.SetCursorPos({about.left, about.top});
  v.Ticks(1);
  EXPECT_EQ(v.Client(1 + (about.left - v.s().SrcX) * 3, 1 + (about.top - v.s().SrcY) * 3),
            sim::kFrameColour);
}

TEST(Likeness, TheMouseReachesTheWindowPastTheLabelsAsWindowsRoutesIt) {
  Running v;
  v.form->KeyPress(' ');
  v.form->ClickMenu("Meas");  // the read-out labels show below the view
  const int label = v.form->LabelControl("Label1").Bounds().top + 1;
  v.form->MouseMove(31, 62);
  v.form->MouseMove(31, label);
  EXPECT_EQ(v.s().MeasureToY, 20) << "a move over a label is not the window's";

  const std::tuple<Point, Point, bool> presses[] = {{{31, 62}, {34, 65}, true},
                                                    {{31, 62}, {31, label}, false},
                                                    {{31, label}, {31, 62}, false},
                                                    {{31, 62}, {31, 400}, false}};
  for (const auto& [down, up, clicks] : presses) {  // a click only within the window
    v.s().MeasureFromX = -5;
    v.form->MouseDown(kLeftButton, down.x, down.y);
    EXPECT_EQ(v.s().MeasureFromX, -5) << "a press alone does nothing";
    v.form->MouseUp(kLeftButton, up.x, up.y);
    EXPECT_EQ(v.s().MeasureFromX, clicks ? 10 : -5) << down.y << " to " << up.y;
  }

  // A press on a label holds the mouse: no move reaches the window until it is up.
  v.form->MouseDown(kRightButton, 31, label);
  v.form->MouseMove(100, 100, kRightButton);
  EXPECT_EQ(v.s().MeasureToX, 10);
  EXPECT_TRUE(v.form->Popups().empty());
  v.form->MouseUp(kRightButton, 100, 100);
  EXPECT_EQ(v.form->Popups().size(), 1U) << "the label's release opens the menu";
  v.form->MouseMove(100, 100);
  EXPECT_EQ(v.s().MeasureToX, 33);
}

TEST(Likeness, AChoiceInThePopupRunsBeforeThePopupReturnsIfAUserCouldClickIt) {
  Running v;
  v.form->ScriptPopupChoice("Mag", 5);
  v.form->ScriptPopupChoice("Meas");  // disabled while unlocked
  v.form->ScriptPopupDismissal();
  v.form->ScriptPopupChoice("Mag", 7);  // while its submenu is disabled
  v.form->ScriptPopupChoice("Mag", 7);
  const std::int16_t factors[] = {5, 5, 5, 5, 7};
  for (int i = 0; i < 5; ++i) {
    v.form->Menu("Magni").SetEnabled(i != 3);
    v.form->MouseDown(kRightButton, 20, 20);
    v.form->MouseUp(kRightButton, 20, 20);
    EXPECT_EQ(v.s().Factor, factors[i]) << i;
  }
  EXPECT_EQ(v.form->Popups().size(), 5U);
  EXPECT_EQ(v.s().MeasureOn, kFalse);
}

}  // namespace
}  // namespace vimo::test
