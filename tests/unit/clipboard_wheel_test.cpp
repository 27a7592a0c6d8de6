// The wheel, Ctrl+C and "c".
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "vimo_harness.h"

namespace vimo::test {
namespace {

constexpr std::int16_t kControlC = 3;
constexpr int kNoticeTicks = 133;

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

class Clipboard : public Started {
 protected:
  // Grid, lock and measure on.
  void Lock() {
    form->ClickMenu("GridMen");
    form->KeyPress(' ');
    form->ClickMenu("Meas");
    v.Ticks(1);
  }
  const std::string caption = "Vimo (3x)  Right click for a menu";  // as started
};

// Its text on the clipboard and in the caption for two seconds; "clipboard busy" there
// instead while another program holds the clipboard, whose text stays.
TEST_F(Clipboard, ColourUnderThePointerOrBusyStandsInTheCaptionForTwoSeconds) {
  v.desktop.SetCursorPos({700, 450});  // away from the window
  const std::string hex = Hex(v.desktop.Pixel(700, 450));
  for (const bool busy : {false, true}) {
    board.busy = busy;
    board.text = "theirs";
    ASSERT_TRUE(form->KeyPress('c'));
    const std::string said = busy ? "clipboard busy" : hex;
    EXPECT_EQ(board.text, busy ? "theirs" : hex);
    EXPECT_EQ(form->Caption(), "Vimo (3x)  " + said);
    v.Ticks(kNoticeTicks - 1);
    EXPECT_EQ(form->Caption(), "Vimo (3x)  " + said);
    v.Ticks(1);
    EXPECT_EQ(form->Caption(), caption);
  }
  ASSERT_TRUE(form->KeyPress(kControlC));
  EXPECT_EQ(form->Caption(), "Vimo (3x)  clipboard busy");
  EXPECT_EQ(board.imageWidth, 0);
  board.busy = false;
  form->KeyPress('C');  // as "m": only the lower-case letter
  EXPECT_EQ(board.text, "theirs");
}

// Locked, the view's blocks are the screen pixels they show (grid lines included); the
// frame, the margin, the band and the title bar give nothing.
TEST_F(Clipboard, OverTheLockedViewEachBlockGivesItsScreenPixelAndControlCTheViewAsShown) {
  Lock();
  const MagnifierState& s = v.s();
  for (const Point block : {Point{0, 0}, Point{5, 7}, Point{s.SrcWidth - 1, s.SrcHeight - 1}}) {
    for (const int inside : {0, 1, 2}) {  // column 0 of a block is its grid line
      const int x = 1 + block.x * 3 + inside;
      const int y = 1 + block.y * 3 + (2 - inside);
      if (x >= s.ViewWidth || y >= s.ViewHeight) continue;  // the frame's far sides
      PointAt(x, y);
      ASSERT_TRUE(form->KeyPress('c'));
      EXPECT_EQ(board.text, Hex(v.desktop.Pixel(s.SrcX + (x - 1) / 3, s.SrcY + (y - 1) / 3)));
    }
  }
  board.text = "kept";
  v.Ticks(kNoticeTicks);
  for (const Point at :
       {Point{0, 40}, Point{s.ViewWidth, 40}, Point{40, s.ViewHeight + 5}, Point{-3, -10}}) {
    PointAt(at.x, at.y);
    ASSERT_TRUE(form->KeyPress('c'));
    EXPECT_EQ(board.text, "kept") << at.x << ", " << at.y;
    EXPECT_EQ(form->Caption(), caption);
  }

  // Ctrl+C copies the view as shown: enlargement, grid, pointer and the inverted marker
  // lines, without the frame; a copy says nothing.
  v.desktop.SetCursorPos({v.s().SrcX + 10, v.s().SrcY + 12});  // the pointer in the view
  v.LeftClick(31, 40);
  form->MouseMove(70, 52);
  v.Ticks(1);
  ASSERT_TRUE(form->KeyPress(kControlC));
  const int w = v.s().ViewWidth - 1;
  const int h = v.s().ViewHeight - 1;
  ASSERT_EQ(board.imageWidth, w);
  ASSERT_EQ(board.imageHeight, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Colour shown = v.Client(x + 1, y + 1);
      const std::uint32_t rgb = ((shown & 0xFFU) << 16) | (shown & 0xFF00U) | (shown >> 16);
      ASSERT_EQ(board.image[static_cast<std::size_t>(y * w + x)], rgb) << x << ", " << y;
    }
  }
  // The marker line of the pointer's column (23) inverts the view's column 3 * 23 + 2.
  const Colour under = v.desktop.Pixel(v.s().SrcX + 23, v.s().SrcY + 10);
  EXPECT_EQ(v.Client(71, 32), ~under & 0xFFFFFFU) << "the marker lines are in the copy";
  EXPECT_EQ(form->Caption(), caption);
}

}  // namespace
}  // namespace vimo::test
