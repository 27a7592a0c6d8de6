// The wheel, Ctrl+C and "c".
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "vimo_harness.h"

namespace vimo::test {
namespace {

constexpr std::int16_t kSpace = 32;
constexpr std::int16_t kLowerC = 99;
constexpr std::int16_t kControlC = 3;
constexpr int kNoticeTicks = 133;

// "#RRGGBB" of a desktop pixel.
std::string Hex(Colour c) {
  char text[8];
  std::snprintf(text, sizeof(text), "#%02X%02X%02X", c & 0xFFU, (c >> 8) & 0xFFU,
                (c >> 16) & 0xFFU);
  return text;
}

// A client point of the window on the screen.
Point OnScreen(Vimo& v, int x, int y) {
  const Rect client = v.form->Window().ClientRect();
  return {client.left + x, client.top + y};
}

TEST(Wheel, NotchesChooseTheNextFactorAndStopAtBothEnds) {
  Vimo v;
  sim::SimForm& form = v.Start();
  const std::string hint = form.Caption().substr(std::string("Vimo (3x)").size());
  const auto factor = [&](std::int32_t delta, int want) {
    ASSERT_TRUE(form.MouseWheel(delta));
    EXPECT_EQ(v.s().Factor, want) << delta;
    for (std::int16_t i = 1; i <= 10; ++i) EXPECT_EQ(v.Mag(i).Checked(), i == want) << i;
    EXPECT_EQ(form.Caption(), "Vimo (" + std::to_string(want) + "x)" + hint);
    EXPECT_EQ(v.Menu("GridMen").Enabled(), want != 1);
  };
  factor(120, 4);
  v.Ticks(1);
  EXPECT_TRUE(ShowsMagnified(v, v.s().SrcX, v.s().SrcY, 4, v.s().ViewWidth, v.s().ViewHeight));
  factor(-240, 2);
  factor(120 * 50, 10);
  factor(60, 10);   // past the end nothing is kept,
  factor(-120, 9);  // so a notch back is one factor back
  factor(-6000, 1);
  factor(40, 1);  // fractions add up
  factor(40, 1);
  factor(40, 2);
  factor(80, 2);
  factor(-40, 2);  // turning back drops what the other way had gathered
  factor(80, 2);
  factor(-120, 1);
}

class Clipboard : public testing::Test {
 protected:
  void SetUp() override {
    form = &v.Start();
    v.desktop.SetCurrentCursor(v.desktop.RegisterCursor(sim::MakeArrowCursor(false)));
    v.Ticks(1);
    caption = form->Caption();
  }
  sim::SimClipboard& Board() { return v.desktop.Clipboard(); }
  Vimo v;
  sim::SimForm* form = nullptr;
  std::string caption;
};

TEST_F(Clipboard, ColourUnderThePointerGoesAsTextAndStandsInTheCaptionForTwoSeconds) {
  v.desktop.SetCursorPos({700, 450});  // away from the window
  v.Ticks(1);
  ASSERT_TRUE(form->KeyPress(kLowerC));
  const std::string hex = Hex(v.desktop.Pixel(700, 450));
  EXPECT_EQ(Board().text, hex);
  EXPECT_EQ(Board().owner, form->hWnd());
  EXPECT_EQ(form->Caption(), "Vimo (3x)  " + hex);
  v.Ticks(kNoticeTicks - 1);
  EXPECT_EQ(form->Caption(), "Vimo (3x)  " + hex);
  v.Ticks(1);
  EXPECT_EQ(form->Caption(), caption);
  form->KeyPress('C');  // as "m": only the lower-case letter
  EXPECT_EQ(form->Caption(), caption);
}

// Locked, the view's blocks are the screen pixels they show (grid lines included); the
// frame, the margin and the band give nothing.
TEST_F(Clipboard, OverTheLockedViewEachBlockGivesItsScreenPixel) {
  form->ClickMenu("GridMen");
  form->KeyPress(kSpace);
  form->ClickMenu("Meas");
  v.Ticks(1);
  const MagnifierState& s = v.s();
  for (const Point block : {Point{0, 0}, Point{5, 7}, Point{s.SrcWidth - 1, s.SrcHeight - 1}}) {
    for (const int inside : {0, 1, 2}) {  // column 0 of a block is its grid line
      const int x = 1 + block.x * 3 + inside;
      const int y = 1 + block.y * 3 + (2 - inside);
      if (x >= s.ViewWidth || y >= s.ViewHeight) continue;  // the frame's far sides
      v.desktop.SetCursorPos(OnScreen(v, x, y));
      ASSERT_TRUE(form->KeyPress(kLowerC));
      EXPECT_EQ(Board().text, Hex(v.desktop.Pixel(s.SrcX + (x - 1) / 3, s.SrcY + (y - 1) / 3)))
          << x << ", " << y;
    }
  }
  Board().text = "kept";
  for (const Point client : {Point{0, 40}, Point{s.ViewWidth, 40}, Point{40, s.ViewHeight + 5},
                             Point{-3, -10}}) {  // frame, far frame, band, title bar
    v.desktop.SetCursorPos(OnScreen(v, client.x, client.y));
    v.Ticks(kNoticeTicks);
    ASSERT_TRUE(form->KeyPress(kLowerC));
    EXPECT_EQ(Board().text, "kept") << client.x << ", " << client.y;
    EXPECT_EQ(form->Caption(), caption);
  }
}

// The view as shown: enlargement, grid, pointer and the inverted marker lines, without
// the frame.
TEST_F(Clipboard, ControlCCopiesTheViewPixelForPixel) {
  form->ClickMenu("GridMen");
  form->KeyPress(kSpace);
  form->ClickMenu("Meas");
  v.desktop.SetCursorPos({v.s().SrcX + 10, v.s().SrcY + 12});  // the pointer in the view
  v.LeftClick(31, 40);
  form->MouseMove(70, 52);
  v.Ticks(1);
  ASSERT_TRUE(form->KeyPress(kControlC));
  const int w = v.s().ViewWidth - 1;
  const int h = v.s().ViewHeight - 1;
  ASSERT_EQ(Board().imageWidth, w);
  ASSERT_EQ(Board().imageHeight, h);
  int inverted = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Colour shown = v.Client(x + 1, y + 1);
      const std::uint32_t rgb = ((shown & 0xFFU) << 16) | (shown & 0xFF00U) | (shown >> 16);
      ASSERT_EQ(Board().image[static_cast<std::size_t>(y * w + x)], rgb) << x << ", " << y;
      const Colour under = v.desktop.Pixel(v.s().SrcX + x / 3, v.s().SrcY + y / 3);
      inverted += shown == (~under & 0xFFFFFFU) ? 1 : 0;
    }
  }
  EXPECT_GT(inverted, 4 * 100) << "the marker lines are in the copy";
  EXPECT_EQ(form->Caption(), caption) << "a copy says nothing";
}

TEST_F(Clipboard, HeldByAnotherProgramNothingIsLostAndTheCaptionSaysSo) {
  Board().text = "theirs";
  Board().busy = true;
  for (const std::int16_t key : {kLowerC, kControlC}) {
    ASSERT_TRUE(form->KeyPress(key));
    EXPECT_EQ(Board().text, "theirs");
    EXPECT_EQ(form->Caption(), "Vimo (3x)  clipboard busy");
    v.Ticks(kNoticeTicks);
    EXPECT_EQ(form->Caption(), caption);
  }
  Board().busy = false;
  EXPECT_TRUE(form->KeyPress(kLowerC));
  EXPECT_EQ(Board().text.size(), 7U);
}

}  // namespace
}  // namespace vimo::test
