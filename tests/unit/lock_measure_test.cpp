// Lock, measure, slow mouse and the keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>

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
  return {v.Menu("LockMen").Checked(),
          v.Menu("Meas").Enabled(),
          v.Menu("Meas").Checked(),
          v.Menu("SlowMouse").Enabled(),
          v.Menu("SlowMouse").Checked(),
          v.form->LabelControl("Label1").Visible() + v.form->LabelControl("Label2").Visible(),
          v.form->ClientHeight()};
}

TEST(LockAndMeasure, EachStepBringsMenuLabelsAndBandIntoLineAndKeepsTheView) {
  Vimo v;
  sim::SimForm& form = v.Start();  // first start: 200 x 199 client
  form.ClickMenu("SlowMouse");     // disabled while unlocked: no effect
  const struct {
    const char* step;
    bool key;  // space instead of the menu item
    const char* item;
    MenuStates want;
  } steps[] = {
      {"lock by space", true, "", {true, true, false, true, false, 0, 199}},
      {"slow mouse on", false, "SlowMouse", {true, true, false, true, true, 0, 199}},
      {"measure on", false, "Meas", {true, true, true, true, true, 2, 223}},
      {"unlock by menu", false, "LockMen", {false, false, false, false, false, 0, 199}},
      {"lock by space", true, "", {true, true, true, true, true, 2, 223}},
      {"measure off", false, "Meas", {true, true, false, true, true, 0, 199}},
  };
  const int top = form.Window().outer.top;
  for (const auto& s : steps) {
    if (s.key) {
      form.KeyPress(kSpace);
    } else {
      ASSERT_TRUE(form.ClickMenu(s.item)) << s.step;
    }
    EXPECT_EQ(Observe(v), s.want) << s.step;
    EXPECT_EQ(v.s().ViewWidth, 198) << s.step;
    EXPECT_EQ(v.s().ViewHeight, 195) << s.step << ": the band never takes from the view";
    EXPECT_EQ(form.Window().outer.top, top) << s.step << ": the band comes and goes at the bottom";
  }
  EXPECT_EQ(v.s().SlowMouseOn, kTrue) << "unlocking kept the options";
}

// A locked view 66 x 65 at (434, 235) with measuring on and the pointer inside it.
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

TEST_F(Slowing, InsideTheLockedAreaOnlyLeftAndTopEdgesCount) {
  const Rect area{v.s().SrcX, v.s().SrcY, v.s().SrcX + v.s().SrcWidth,
                  v.s().SrcY + v.s().SrcHeight};
  const struct {
    Point at;
    std::int32_t speed;
  } path[] = {
      {{area.left, area.top}, 3},  // enters at the top-left corner: 10 / 3
      {{area.right - 1, area.bottom - 1}, 3},
      {{area.right, area.top}, 10},  // the right edge is outside
      {{area.left, area.bottom - 1}, 3},
      {{area.left, area.bottom}, 10},  // so is the bottom edge
      {{area.left - 1, area.top}, 10},
  };
  for (const auto& p : path) {
    At(p.at.x, p.at.y);
    EXPECT_EQ(v.desktop.MouseSpeed(), p.speed) << p.at.x << "," << p.at.y;
    EXPECT_EQ(v.s().MouseSlowed, p.speed == 3 ? kTrue : kFalse);
  }
  EXPECT_EQ(v.desktop.MouseSpeedLog(), (std::vector<std::int32_t>{3, 10, 3, 10}))
      << "the speed is set once on entering and once on leaving";
}

TEST_F(Slowing, TheSpeedIsTheSavedOneByTheFactorRoundedToEvenAndNeverBelowOne) {
  const struct {
    std::int32_t saved;
    std::int16_t factor;
    std::int32_t slowed;
  } table[] = {{10, 1, 10}, {10, 3, 3}, {10, 4, 2}, {10, 6, 2}, {10, 8, 1},
               {5, 2, 2},   {1, 3, 1},  {1, 2, 1},  {20, 10, 2}};
  for (const auto& t : table) {
    At(0, 0);  // outside
    v.s().SavedMouseSpeed = t.saved;
    v.form->ClickMenu("Mag", t.factor);
    At(v.s().SrcX, v.s().SrcY);
    EXPECT_EQ(v.desktop.MouseSpeed(), t.slowed) << t.saved << " / " << t.factor;
    EXPECT_EQ(v.s().MouseSlowed, kTrue);
  }
}

// No speed read at start-up (a Wayland desktop): the pointer is never slowed, the item is
// disabled and unchecked, and the option stays for the settings file.
TEST_F(Slowing, ASpeedThatCouldNotBeReadIsNeverSetAndTheItemSaysSo) {
  v.form->KeyPress(kSpace);
  v.s().SavedMouseSpeed = 0;
  v.form->KeyPress(kSpace);
  EXPECT_FALSE(v.Menu("SlowMouse").Enabled());
  EXPECT_FALSE(v.Menu("SlowMouse").Checked());
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

// Lock and measure over a 200 x 223 client at factor 3: view 198 x 195, source 66 x 65.
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
      const int x = vertical ? at : i;
      const int y = vertical ? i : at;
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

TEST_F(Measuring, LinesMarkBothPointsAndLabelsGiveScreenCoordinates) {
  sim::SimForm& form = *v.form;
  const int srcX = v.s().SrcX;
  const int srcY = v.s().SrcY;
  v.LeftClick(31, 62);     // column 10, row 20
  form.MouseMove(4, 100);  // column 1, row 33
  v.Ticks(1);
  EXPECT_EQ(Text("Label1"), "X1= " + std::to_string(srcX + 10) +
                                "   X2= " + std::to_string(srcX + 1) + "   delta X= -9");
  EXPECT_EQ(Text("Label2"), "Y1= " + std::to_string(srcY + 20) +
                                "   Y2= " + std::to_string(srcY + 33) + "   delta Y= 13");
  // Middle column of each block: 3 c + 2.
  for (const int x : {5, 32}) EXPECT_TRUE(Inverted(x, true, {101, 62})) << x;
  for (const int y : {101, 62}) EXPECT_TRUE(Inverted(y, false, {5, 32})) << y;
  EXPECT_EQ(v.Client(6, 50), v.desktop.Pixel(srcX + 1, srcY + 16)) << "beside a line";
  EXPECT_EQ(v.Client(0, 50), 0U) << "the frame stays";
}

TEST_F(Measuring, APointLeftOfTheViewAndPastItsEndAndFactorOne) {
  sim::SimForm& form = *v.form;
  form.ClickMenu("Mag", 1);
  v.Ticks(1);
  const int srcX = v.s().SrcX;
  v.LeftClick(0, 5);        // the frame's left column: -1; row 4
  form.MouseMove(199, 30);  // past the view's last column (198 wide)
  v.Ticks(1);
  EXPECT_EQ(Text("Label1"), "X1= " + std::to_string(srcX - 1) +
                                "   X2= " + std::to_string(srcX + 198) + "   delta X= 199");
  // Factor 1: the row's own pixel. Neither -1 nor 198 has a line, which would cross
  // the rows on the frame.
  EXPECT_TRUE(Inverted(5, false));
  EXPECT_TRUE(Inverted(30, false));
}

TEST_F(Measuring, NothingIsDrawnOrWrittenWithoutLockOrWithoutMeasure) {
  sim::SimForm& form = *v.form;
  form.MouseMove(31, 62);
  form.ClickMenu("Meas");  // locked, measuring off
  const std::string shown = Text("Label1");
  v.Ticks(1);
  EXPECT_TRUE(ShowsMagnified(v, v.s().SrcX, v.s().SrcY, 3, 198, 195));
  v.s().MeasureOn = kTrue;
  v.s().Locked = kFalse;  // the read-out goes by the flag, not by LockMen's check mark
  v.Ticks(1);
  EXPECT_TRUE(ShowsMagnified(v, v.s().SrcX, v.s().SrcY, 3, 198, 195));
  EXPECT_EQ(Text("Label1"), shown);
}

TEST(Keys, SpaceMAndEscapeAndTheArrowKeys) {
  Vimo v;
  sim::SimForm& form = v.Start();
  const struct {
    std::int16_t key;
    Flag locked, sticky;
  } presses[] = {{kSpace, kTrue, kFalse}, {'m', kTrue, kTrue},   {27, kTrue, kFalse},
                 {27, kTrue, kFalse},     {'m', kTrue, kTrue},   {kSpace, kFalse, kTrue},
                 {'m', kFalse, kFalse},   {'M', kFalse, kFalse}, {'x', kFalse, kFalse}};
  for (const auto& p : presses) {
    std::int16_t after = 0;
    form.KeyPress(p.key, &after);
    EXPECT_EQ(after, p.key) << "the key code is left as it was";
    EXPECT_EQ(v.s().Locked, p.locked) << p.key;
    EXPECT_EQ(v.s().Sticky, p.sticky) << p.key;
    EXPECT_EQ(v.Menu("Stick").Checked(), p.sticky == kTrue) << p.key;
    EXPECT_EQ(v.Menu("LockMen").Checked(), p.locked == kTrue) << p.key;
  }
  v.desktop.SetCursorPos({700, 400});
  for (std::int16_t code = 35; code <= 42; ++code) {
    const std::size_t before = form.Popups().size();
    form.KeyUp(code);
    const bool arrow = code >= 37 && code <= 40;
    ASSERT_EQ(form.Popups().size(), before + (arrow ? 1 : 0)) << code;
    if (arrow) {
      EXPECT_EQ(form.Popups().back(), (sim::PopupRecord{"Pop", 4, {700, 400}}));
    }
  }
}

}  // namespace
}  // namespace vimo::test
