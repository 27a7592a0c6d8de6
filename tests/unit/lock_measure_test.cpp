// Lock, measure, slow mouse and the keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <tuple>

#include "vimo_harness.h"

namespace vimo::test {
namespace {

constexpr std::int16_t kSpace = 32;

struct MenuStates {
  bool lockChecked, measEnabled, measChecked, slowEnabled, slowChecked;
  int labels, clientHeight;  // labels: how many of the two show
  friend bool operator==(const MenuStates&, const MenuStates&) = default;
};

MenuStates Observe(Vimo& v) {
  const auto shown = [&](const char* label) {
    return v.form->LabelControl(label).Visible() ? 1 : 0;
  };
  return {v.Menu("LockMen").Checked(),   v.Menu("Meas").Enabled(),
          v.Menu("Meas").Checked(),      v.Menu("SlowMouse").Enabled(),
          v.Menu("SlowMouse").Checked(), shown("Label1") + shown("Label2"),
          v.form->ClientHeight()};
}

TEST(LockAndMeasure, EachStepBringsMenuLabelsAndBandIntoLineAndKeepsTheView) {
  Running v;                       // first start: 200 x 199 client
  v.form->ClickMenu("SlowMouse");  // disabled while unlocked: no effect
  // A step, by space or by the menu item, and what it brings.
  const std::tuple<const char*, bool, const char*, MenuStates> steps[] = {
      {"lock by space", true, "", {true, true, false, true, false, 0, 199}},
      {"slow mouse on", false, "SlowMouse", {true, true, false, true, true, 0, 199}},
      {"measure on", false, "Meas", {true, true, true, true, true, 2, 223}},
      {"unlock by menu", false, "LockMen", {false, false, false, false, false, 0, 199}},
      {"lock by space", true, "", {true, true, true, true, true, 2, 223}},
      {"measure off", false, "Meas", {true, true, false, true, true, 0, 199}},
  };
  const int top = v.form->Window().outer.top;
  for (const auto& [step, key, item, want] : steps) {
    if (key) {
      v.form->KeyPress(kSpace);
    } else {
      ASSERT_TRUE(v.form->ClickMenu(item)) << step;
    }
    EXPECT_EQ(Observe(v), want) << step;
    EXPECT_EQ((Point{v.s().ViewWidth, v.s().ViewHeight}), (Point{198, 195}))
        << step << ": the band never takes from the view";
    EXPECT_EQ(v.form->Window().outer.top, top) << step << ": the band comes and goes at the bottom";
  }
  EXPECT_EQ(v.s().SlowMouseOn, kTrue) << "unlocking kept the options";
}

// A locked area 66 x 65 from (467, 268), the pointer at (500, 300) inside it, the slowed
// pointer on.
struct Slowing : ::testing::Test {
  void SetUp() override {
    v.desktop.SetUserMouseSpeed(10);
    v.Start();
    v.Ticks(1);
    v.form->KeyPress(kSpace);
    v.form->ClickMenu("SlowMouse");
  }
  void At(int x, int y) {
    v.desktop.SetCursorPos({x, y});
    v.Ticks(1);
  }
  Vimo v;
};

TEST_F(Slowing, InsideTheLockedAreaOnlyLeftAndTopEdgesCountAndTheSpeedFollowsTheFactor) {
  const Rect area{467, 268, 467 + 66, 268 + 65};
  const int path[][3] = {
      {area.left, area.top, 3},  // enters at the top-left corner: 10 / 3
      {area.right - 1, area.bottom - 1, 3},
      {area.right, area.top, 10},  // the right edge is outside
      {area.left, area.bottom - 1, 3},
      {area.left, area.bottom, 10},  // so is the bottom edge
      {area.left - 1, area.top, 10},
  };
  for (const auto& [x, y, speed] : path) {
    At(x, y);
    EXPECT_EQ(v.desktop.MouseSpeed(), speed) << x << "," << y;
    EXPECT_EQ(v.s().MouseSlowed, speed == 3 ? kTrue : kFalse);
  }
  EXPECT_EQ(v.desktop.MouseSpeedLog(), (std::vector<std::int32_t>{3, 10, 3, 10}))
      << "the speed is set once on entering and once on leaving";

  // The speed is the saved one by the factor, rounded to even and never below one.
  const std::int16_t table[][3] = {{10, 1, 10}, {10, 3, 3}, {10, 4, 2}, {10, 6, 2}, {10, 8, 1},
                                   {5, 2, 2},   {1, 3, 1},  {1, 2, 1},  {20, 10, 2}};
  for (const auto& [saved, factor, slowed] : table) {
    At(0, 0);  // outside
    v.s().SavedMouseSpeed = saved;
    v.form->ClickMenu("Mag", factor);
    At(v.s().SrcX, v.s().SrcY);
    EXPECT_EQ(v.desktop.MouseSpeed(), slowed) << saved << " / " << factor;
    EXPECT_EQ(v.s().MouseSlowed, kTrue);
  }
}

// No speed read at start-up (a Wayland desktop): the pointer is never slowed, the item is
// disabled and unchecked, and the option stays for the settings file.
TEST_F(Slowing, ASpeedThatCouldNotBeReadIsNeverSetAndTheItemSaysSo) {
  v.form->KeyPress(kSpace);
  v.s().SavedMouseSpeed = 0;
  v.form->KeyPress(kSpace);
  EXPECT_FALSE(v.Menu("SlowMouse").Enabled() || v.Menu("SlowMouse").Checked());
  EXPECT_EQ(v.s().SlowMouseOn, kTrue);
  At(v.s().SrcX + 1, v.s().SrcY + 1);
  EXPECT_TRUE(v.desktop.MouseSpeedLog().empty());
  EXPECT_EQ(v.s().MouseSlowed, kFalse);
  v.form->KeyPress(kSpace);
  EXPECT_TRUE(v.desktop.MouseSpeedLog().empty()) << "nothing to give back on unlocking";
}

TEST_F(Slowing, OnlyLockedEndsWithTheOptionTheLockOrAFailureAndWaitsForTheNextEntry) {
  v.form->KeyPress(kSpace);  // unlocked, the option kept, the pointer in the area locked last
  At(v.s().SrcX + 1, v.s().SrcY + 1);
  EXPECT_TRUE(v.desktop.MouseSpeedLog().empty());
  v.form->KeyPress(kSpace);
  At(v.s().SrcX + 1, v.s().SrcY + 1);
  ASSERT_EQ(v.desktop.MouseSpeed(), 3);
  v.form->ClickMenu("Mag", 5);
  At(v.s().SrcX + 1, v.s().SrcY + 1);
  EXPECT_EQ(v.desktop.MouseSpeed(), 3) << "computed once, on entering";

  v.form->ClickMenu("SlowMouse");
  EXPECT_FALSE(v.Menu("SlowMouse").Checked());
  EXPECT_EQ(v.desktop.MouseSpeed(), 3) << "the next tick gives the speed back";
  v.Ticks(1);
  EXPECT_EQ(v.desktop.MouseSpeed(), 10);

  v.form->ClickMenu("SlowMouse");
  v.Ticks(1);
  ASSERT_EQ(v.desktop.MouseSpeed(), 2);
  v.form->KeyPress(kSpace);  // unlock: at once, before any tick
  EXPECT_EQ(v.desktop.MouseSpeed(), 10);
  EXPECT_EQ(v.s().MouseSlowed, kFalse);
  // Locked again between two ticks with the pointer still inside: stays normal until
  // the pointer leaves and comes back.
  v.form->KeyPress(kSpace);
  v.Ticks(1);
  EXPECT_EQ(v.desktop.MouseSpeed(), 10);
  At(0, 0);
  At(v.s().SrcX + 1, v.s().SrcY + 1);
  EXPECT_EQ(v.desktop.MouseSpeed(), 2);
  v.desktop.FailNextFormGetDc(sim::GetDcFailure::kThrow);
  v.Ticks(1);
  EXPECT_EQ(v.desktop.MouseSpeed(), 10) << "a failed handler gives it back at once";
  At(v.s().SrcX + 2, v.s().SrcY + 2);
  EXPECT_EQ(v.desktop.MouseSpeed(), 10) << "and slowing waits for the next entry";
  At(0, 0);
  At(v.s().SrcX + 1, v.s().SrcY + 1);
  EXPECT_EQ(v.desktop.MouseSpeed(), 2);
  v.form->Close();
  EXPECT_EQ(v.desktop.MouseSpeed(), 10) << "closing gives it back";
}

// Lock and measure over a 200 x 223 client at factor 3: view 198 x 195, source 66 x 65 from
// (467, 268).
struct Measuring : ::testing::Test {
  void SetUp() override {
    v.Start();
    v.Ticks(1);
    v.form->KeyPress(kSpace);
    v.form->ClickMenu("Meas");
  }
  std::string Text(const char* label) { return v.form->LabelControl(label).Caption(); }
  // Whether client column `at` (or row, when !vertical) is inverted over the whole view,
  // but where a line across it is inverted a second time; black on the frame at its ends.
  bool Inverted(int at, bool vertical, std::initializer_list<int> across = {}) {
    const int n = vertical ? v.s().ViewHeight : v.s().ViewWidth;
    for (int i = 0; i <= n + 1; ++i) {
      const int x = vertical ? at : i, y = vertical ? i : at;
      Colour want =
          v.desktop.Pixel(v.s().SrcX + (x - 1) / v.s().Factor, v.s().SrcY + (y - 1) / v.s().Factor);
      if (std::find(across.begin(), across.end(), i) == across.end()) want = ~want & 0x00FFFFFFU;
      if (i == 0 || i == n + 1) want = 0;
      if (v.Client(x, y) != want) return false;
    }
    return true;
  }
  Vimo v;
};

TEST_F(Measuring, LinesMarkBothPointsAndLabelsGiveScreenCoordinatesInAndOutsideTheView) {
  v.LeftClick(31, 62);        // column 10, row 20
  v.form->MouseMove(4, 100);  // column 1, row 33
  v.Ticks(1);
  EXPECT_EQ(Text("Label1"), "X1= 477   X2= 468   delta X= -9");
  EXPECT_EQ(Text("Label2"), "Y1= 288   Y2= 301   delta Y= 13");
  // Middle column of each block: 3 c + 2.
  for (const int x : {5, 32}) EXPECT_TRUE(Inverted(x, true, {101, 62})) << x;
  for (const int y : {101, 62}) EXPECT_TRUE(Inverted(y, false, {5, 32})) << y;
  EXPECT_EQ(v.Client(6, 50), v.desktop.Pixel(468, 284)) << "beside a line";
  EXPECT_EQ(v.Client(0, 50), 0U) << "the frame stays";

  // A point left of the view and one past its end, at factor 1 over the same area.
  v.form->ClickMenu("Mag", 1);
  v.Ticks(1);
  v.LeftClick(0, 5);           // the frame's left column: -1; row 4
  v.form->MouseMove(199, 30);  // past the view's last column (198 wide)
  v.Ticks(1);
  EXPECT_EQ(Text("Label1"), "X1= 466   X2= 665   delta X= 199");
  // Factor 1: the row's own pixel. Neither -1 nor 198 has a line, which would cross
  // the rows on the frame.
  for (const int y : {5, 30}) EXPECT_TRUE(Inverted(y, false)) << y;

  // Nothing is drawn or written without the lock or without measuring.
  v.form->ClickMenu("Mag", 3);
  v.form->MouseMove(31, 62);
  v.form->ClickMenu("Meas");  // locked, measuring off
  v.Ticks(1);
  EXPECT_TRUE(ShowsMagnified(v, v.s().SrcX, v.s().SrcY, 3, 198, 195));
  v.s().MeasureOn = kTrue;
  v.s().Locked = kFalse;  // the read-out goes by the flag, not by LockMen's check mark
  v.Ticks(1);
  EXPECT_TRUE(ShowsMagnified(v, v.s().SrcX, v.s().SrcY, 3, 198, 195));
  EXPECT_EQ(Text("Label1"), "X1= 466   X2= 665   delta X= 199");
}

TEST(Keys, SpaceMAndEscapeAndTheArrowKeys) {
  Running v;
  // A key, then Locked and Sticky.
  const Flag presses[][3] = {
      {kSpace, kTrue, kFalse}, {'m', kTrue, kTrue},   {27, kTrue, kFalse},
      {27, kTrue, kFalse},     {'m', kTrue, kTrue},   {kSpace, kFalse, kTrue},
      {'m', kFalse, kFalse},   {'M', kFalse, kFalse}, {'x', kFalse, kFalse}};
  for (const auto& [key, locked, sticky] : presses) {
    std::int16_t after = 0;
    v.form->KeyPress(key, &after);
    EXPECT_EQ(after, key) << "the key code is left as it was";
    EXPECT_EQ(v.s().Locked, locked) << key;
    EXPECT_EQ(v.s().Sticky, sticky) << key;
    EXPECT_EQ(v.Menu("Stick").Checked(), sticky == kTrue) << key;
    EXPECT_EQ(v.Menu("LockMen").Checked(), locked == kTrue) << key;
  }
  v.desktop.SetCursorPos({700, 400});
  for (std::int16_t code = 35; code <= 42; ++code) {
    const std::size_t before = v.form->Popups().size();
    v.form->KeyUp(code);
    const bool arrow = code >= 37 && code <= 40;
    ASSERT_EQ(v.form->Popups().size(), before + (arrow ? 1 : 0)) << code;
    if (arrow) {
      EXPECT_EQ(v.form->Popups().back(), (sim::PopupRecord{"Pop", 4, {700, 400}}));
    }
  }
}

}  // namespace
}  // namespace vimo::test
