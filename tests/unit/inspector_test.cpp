// The colour under the pointer and the view on the clipboard, freeze, the Pixel info
// window and its colour arithmetic.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "ui/pixel_info.h"
#include "vimo_harness.h"

namespace vimo::test {
namespace {

constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kDodgerBlue = 0xFF901E;  // #1E90FF
constexpr std::int16_t kControlC = 3;
constexpr int kNoticeTicks = 133;

Colour Grey(Colour v) { return v | (v << 8) | (v << 16); }
Colour Inverted(int x, int y) { return ~Pattern(x, y) & 0xFFFFFFU; }
// A pixel of the clipboard's picture, 0x00RRGGBB, of a colour 0x00BBGGRR.
std::uint32_t Rgb(Colour c) { return ((c & 0xFFU) << 16) | (c & 0xFF00U) | (c >> 16); }

TEST(ColourArithmetic, ContrastHslAndAngleOfKnownValues) {
  EXPECT_EQ(ContrastHundredths(0, kWhite), 2100);
  EXPECT_EQ(ContrastHundredths(kWhite, Grey(0x77)), 447);  // 4.478: AA fails
  EXPECT_EQ(ContrastHundredths(Grey(0x76), kWhite), 454);
  EXPECT_EQ(ContrastHundredths(Grey(0x59), kWhite), 700);  // 7.005
  EXPECT_EQ(ContrastHundredths(kDodgerBlue, kDodgerBlue), 100);
  EXPECT_EQ(ToHsl(0x0000FF), (Hsl{0, 100, 50}));
  EXPECT_EQ(ToHsl(Grey(0x80)), (Hsl{0, 0, 50}));  // 50.2%
  EXPECT_EQ(ToHsl(kDodgerBlue), (Hsl{210, 100, 56}));
  EXPECT_EQ(ToHsl(0x0100FF), (Hsl{0, 100, 50}));   // 359.76 rounds to 360, which is 0
  EXPECT_EQ(ToHsl(0x402010), (Hsl{220, 60, 16}));  // #102040
  // dx, dy in screen pixels (y down) and the angle with up positive.
  const std::tuple<int, int, double> angles[] = {
      {23, -7, 16.93}, {0, 0, 0.0},     {5, 0, 0.0},      {0, -5, 90.0},  {-5, 0, 180.0},
      {0, 5, -90.0},   {-3, -3, 135.0}, {-3, 4, -126.87}, {3, 4, -53.13}, {-1, 0, 180.0}};
  for (const auto& [dx, dy, degrees] : angles) {
    EXPECT_NEAR(AngleDegrees(dx, dy), degrees, 0.005) << dx << ", " << dy;
  }
}

class Inspector : public Started {
 protected:
  sim::SimForm& OpenInfo() {
    EXPECT_TRUE(form->KeyPress('i'));
    return v.toolkit.FindForm("frmPixelInfo");
  }
  const std::string caption = "Vimo (3x)  Right click for a menu";  // as started
};

// Frozen, the view, "c", Ctrl+C and Pixel info show the old pixels and the live pointer;
// let go, the new ones.
TEST_F(Inspector, FrozenEverythingReadsTheStillPictureUntilLetGo) {
  ASSERT_TRUE(form->KeyPress('f'));
  EXPECT_TRUE(v.Menu("Freeze").Checked());
  EXPECT_EQ(form->Caption(), "Vimo (3x)  frozen");
  EXPECT_EQ(form->Picture("StillPic").Width(), 1920.0F);
  v.desktop.Paint(Inverted);
  form->KeyPress(' ');  // locked where it is
  const MagnifierState& s = v.s();
  v.desktop.SetCursorPos({s.SrcX + 20, s.SrcY + 20});
  v.Ticks(1);
  EXPECT_EQ(v.Client(61, 61), 0U) << "the arrow's outline at the live pointer";
  v.desktop.SetCursorPos({700, 900});  // outside the area, and not the pixel at (700, 900)
  v.Ticks(1);
  EXPECT_TRUE(ShowsMagnified(v, s.SrcX, s.SrcY, 3, s.ViewWidth, s.ViewHeight, false, Pattern));

  sim::SimForm& info = OpenInfo();
  ASSERT_TRUE(form->KeyPress('c'));
  const std::string hex = Hex(Pattern(700, 900));
  EXPECT_EQ(board.text, hex);
  EXPECT_EQ(form->Caption(), "Vimo (3x)  " + hex);
  v.Ticks(133);
  EXPECT_EQ(form->Caption(), "Vimo (3x)  frozen");
  EXPECT_EQ(info.LabelControl("lblPointer").Caption().substr(0, 30),
            "Pointer  X=700  Y=900  " + hex);
  form->KeyPress(kControlC);
  ASSERT_FALSE(board.image.empty());
  EXPECT_EQ(board.image[0], Rgb(Pattern(s.SrcX, s.SrcY)));

  ASSERT_TRUE(v.form->ClickMenu("Freeze"));
  EXPECT_FALSE(v.Menu("Freeze").Checked());
  EXPECT_EQ(form->Picture("StillPic").Width(), 1.0F) << "the picture's memory goes";
  EXPECT_EQ(form->Caption().find("frozen"), std::string::npos);
  EXPECT_TRUE(ShowsMagnified(v, s.SrcX, s.SrcY, 3, s.ViewWidth, s.ViewHeight));
  v.Ticks(1);
  EXPECT_EQ(info.LabelControl("lblPointer").Caption().find(hex), std::string::npos);

  // From the menu the screen is taken 13 ticks later, when what the menu covered is back.
  ASSERT_TRUE(v.form->ClickMenu("Freeze"));
  v.Ticks(12);
  EXPECT_FALSE(v.Menu("Freeze").Checked());
  v.desktop.Paint(Pattern);
  v.Ticks(1);
  EXPECT_TRUE(v.Menu("Freeze").Checked());
  EXPECT_EQ(form->Caption(), "Vimo (3x)  frozen");
  v.desktop.Paint(Inverted);
  v.Ticks(1);
  EXPECT_TRUE(ShowsMagnified(v, s.SrcX, s.SrcY, 3, s.ViewWidth, s.ViewHeight, false, Pattern));
  EXPECT_TRUE(form->Failures().empty() && info.Failures().empty());
}

// A monitor left of the primary one is in the picture; one added while frozen is not, and
// the view is black where the picture has nothing.
TEST(Freeze, TakesEveryMonitorAndOutsideThePictureTheViewIsBlack) {
  Vimo v({Rect{-1280, 0, 0, 1080}, kFullHd});
  v.Start();
  v.form->KeyPress('f');
  v.desktop.Paint(Inverted);
  v.desktop.SetMonitors({Rect{-1280, 0, 0, 1080}, kFullHd, Rect{1920, 0, 3840, 1080}});
  v.Ticks(300);  // the bounds are read again
  const MagnifierState& s = v.s();
  v.desktop.SetCursorPos({-1270, 500});
  v.Ticks(1);
  EXPECT_TRUE(ShowsMagnified(v, -1280, s.SrcY, 3, s.ViewWidth, s.ViewHeight, false, Pattern));
  v.desktop.SetCursorPos({1940, 500});
  v.form->KeyPress('i');  // Pixel info: a pixel outside the picture has no colour
  v.Ticks(1);
  EXPECT_EQ(v.toolkit.FindForm("frmPixelInfo").LabelControl("lblPointer").Caption(),
            "Pointer  X=1940  Y=500  -");
  ASSERT_LT(s.SrcX, 1920);
  const int edge = 1 + (1920 - s.SrcX) * 3;  // the first client column right of the picture
  EXPECT_EQ(v.Client(edge - 1, 40), Pattern(1919, s.SrcY + 13));
  for (const int x : {edge, edge + 2, int{s.ViewWidth}}) EXPECT_EQ(v.Client(x, 40), 0U) << x;
}

// Measuring, Pixel info follows the points tick by tick; Ctrl+C in it copies its lines;
// Escape, "i" and its close button close it.
TEST_F(Inspector, PixelInfoFollowsTheMeasurementAndCopiesItsLines) {
  sim::SimForm& first = OpenInfo();
  v.Ticks(1);
  EXPECT_EQ(first.LabelControl("lblPoint1").Caption(), "Point 1  -") << "not locked";
  EXPECT_EQ(first.LabelControl("lblContrast").Caption(), "Contrast  -");
  first.KeyPress(27);
  v.desktop.SetCursorPos({300, 888});  // the area from (267, 856), clear of both windows
  v.Ticks(1);
  form->KeyPress(' ');
  form->ClickMenu("Meas");
  v.desktop.SetPixel(277, 868, kWhite);
  v.desktop.SetPixel(300, 861, kDodgerBlue);
  sim::SimForm& info = OpenInfo();
  EXPECT_EQ(info.Caption(), "Pixel info");
  EXPECT_TRUE(info.Window().topmost);
  EXPECT_EQ(info.Owner(), form->hWnd());
  v.LeftClick(31, 37);  // block (10, 12)
  form->MouseMove(100, 16);
  PointAt(100, 16);  // block (33, 5)
  v.Ticks(1);
  const std::string text =
      "Pointer  X=300  Y=861  #1E90FF  rgb(30, 144, 255)  hsl(210, 100%, 56%)\n"
      "Point 1  X=277  Y=868  #FFFFFF  rgb(255, 255, 255)  hsl(0, 0%, 100%)\n"
      "Point 2  X=300  Y=861  #1E90FF  rgb(30, 144, 255)  hsl(210, 100%, 56%)\n"
      "Distance  dx=23  dy=-7  length=24.04  angle=16.93\u00B0\n"
      "Contrast  3.23:1  AA large: pass  AA: fail  AAA: fail";
  ASSERT_TRUE(info.KeyPress(kControlC));
  EXPECT_EQ(board.text, text);
  PointAt(0, 40);  // the frame: the pointer's line stays
  v.Ticks(1);
  EXPECT_EQ(info.LabelControl("lblPointer").Caption(), text.substr(0, text.find('\n')));

  ASSERT_TRUE(info.KeyPress(27));
  EXPECT_TRUE(info.Unloaded());
  sim::SimForm& again = OpenInfo();
  ASSERT_TRUE(again.KeyPress('i'));
  EXPECT_TRUE(again.Unloaded());
  ASSERT_TRUE(OpenInfo().Close());
  EXPECT_TRUE(v.toolkit.FindForm("frmPixelInfo").Unloaded());
  EXPECT_TRUE(form->Failures().empty());
}

// "c": the colour's text on the clipboard and in the caption for two seconds; "clipboard
// busy" there instead while another program holds the clipboard, whose text stays. Then
// with the grid, locked and measuring, the view's blocks are the screen pixels they show
// (grid lines included); the frame, the margin, the band and the title bar give nothing.
TEST_F(Inspector, CGivesTheColourUnderThePointerOverTheLockedViewEachBlocksScreenPixel) {
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

  form->ClickMenu("GridMen");
  form->KeyPress(' ');
  form->ClickMenu("Meas");
  v.Ticks(1);
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
  const int w = 198 - 1, h = 195 - 1;  // the view without the frame's far sides
  ASSERT_EQ(board.imageWidth, w);
  ASSERT_EQ(board.imageHeight, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      ASSERT_EQ(board.image[static_cast<std::size_t>(y * w + x)], Rgb(v.Client(x + 1, y + 1)))
          << x << ", " << y;
    }
  }
  // The marker line of the pointer's column (23) inverts the view's column 3 * 23 + 2.
  const Colour under = v.desktop.Pixel(v.s().SrcX + 23, v.s().SrcY + 10);
  EXPECT_EQ(v.Client(71, 32), ~under & 0xFFFFFFU) << "the marker lines are in the copy";
  EXPECT_EQ(form->Caption(), caption);
}

}  // namespace
}  // namespace vimo::test
