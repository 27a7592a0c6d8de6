// The commands: choosing the factor, by the magnification submenu and by the wheel, the
// grid colour and the About window; the mouse over the window and its labels. The option
// switches: settings_test.cpp, Options.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "ui/about.h"
#include "vimo_harness.h"

namespace vimo::test {
namespace {

constexpr Colour kRed = 0x000000FF;
constexpr const char* kPrefix = "\u00A9 2026 Vimo team - ";

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
  Running v;
  v.form->SetClientSize(200, 223);
  for (std::int16_t bad : {0, 11, -1}) {
    EXPECT_THROW(v.app.SetFactor(bad), ToolkitError) << bad;
    EXPECT_EQ(v.s().Factor, 3);
    EXPECT_EQ(CheckedFactors(v), std::vector<int>{3});
    EXPECT_EQ(v.form->Caption(), "Vimo (3x)  Right click for a menu");
  }
  v.Ticks(1);
  ASSERT_TRUE(v.form->ClickMenu("Mag", 5));
  EXPECT_EQ(CheckedFactors(v), std::vector<int>{5});
  EXPECT_EQ(v.form->Caption(), "Vimo (5x)  Right click for a menu");
  EXPECT_TRUE(v.Menu("GridMen").Enabled());
  // The repaint already shows factor 5 over the area the last tick placed (66 x 73 from
  // (467, 264)), before any new tick.
  EXPECT_TRUE(ShowsMagnified(v, 467, 264, 5, 195, 220));
  EXPECT_EQ(v.Client(197, 10), sim::kButtonFace) << "the view at factor 3 is wiped";

  v.form->ClickMenu("GridMen");
  v.form->ClickMenu("Mag", 1);
  EXPECT_FALSE(v.Menu("GridMen").Enabled());
  EXPECT_TRUE(v.Menu("GridMen").Checked());
  EXPECT_FALSE(v.form->ClickMenu("GridMen")) << "a disabled item cannot be chosen";
  v.Ticks(1);
  EXPECT_TRUE(ShowsMagnified(v, v.s().SrcX, v.s().SrcY, 1, 198, 221));
  v.form->ClickMenu("Mag", 2);
  EXPECT_TRUE(v.Menu("GridMen").Enabled());
  v.Ticks(1);
  EXPECT_EQ(v.Client(2, 10), 0xC0C0C0U) << "the grid is back at factor 2";
}

TEST(Wheel, NotchesChooseTheNextFactorAndStopAtBothEnds) {
  Running v;
  const std::string hint = v.form->Caption().substr(9);  // after "Vimo (3x)"
  // Past an end nothing is kept, so a notch back is one factor back; fractions add up; a
  // turn back drops what the other way had gathered.
  const int steps[][2] = {{120, 4}, {-240, 2}, {6000, 10}, {60, 10}, {-120, 9}, {-6000, 1},
                          {40, 1},  {40, 1},   {40, 2},    {80, 2},  {-40, 2},  {80, 2}};
  for (const auto& [delta, want] : steps) {
    ASSERT_TRUE(v.form->MouseWheel(delta));
    EXPECT_EQ(v.s().Factor, want) << delta;
    for (std::int16_t i = 1; i <= 10; ++i) EXPECT_EQ(v.Mag(i).Checked(), i == want) << i;
    EXPECT_EQ(v.form->Caption(), "Vimo (" + std::to_string(want) + "x)" + hint);
    EXPECT_EQ(v.Menu("GridMen").Enabled(), want != 1);
    v.Ticks(1);
    ASSERT_TRUE(ShowsMagnified(v, v.s().SrcX, v.s().SrcY, want, v.s().ViewWidth, v.s().ViewHeight));
  }
}

// A point past the view at factor 1: lock_measure_test.cpp, Measuring. Then a caption set
// behind Vimo's back shows how far each press and release went.
TEST(Mouse, MovesGiveTheCapturedPixelUnderThePointerEveryReleaseResetsTheCaption) {
  Running v;
  const int factor3[][2] = {{0, -1}, {1, 0}, {2, 0}, {3, 0}, {4, 1}, {200, 66}, {250, 83}};
  for (const auto& [x, want] : factor3) {  // a client point (x, x)
    v.form->MouseMove(x, x);
    EXPECT_EQ((Point{v.s().MeasureToX, v.s().MeasureToY}), (Point{want, want})) << x;
  }
  v.form->ClickMenu("Mag", 1);
  v.form->MouseMove(1, 37);
  EXPECT_EQ((Point{v.s().MeasureToX, v.s().MeasureToY}), (Point{0, 36}));

  v.Shrink();
  v.Ticks(2000);
  for (const std::int16_t button : {kLeftButton, kMiddleButton}) {  // they do nothing else
    v.form->SetCaption("other");
    v.form->MouseDown(button, 5, 5);
    EXPECT_EQ(v.form->Caption(), "other") << button;
    v.form->MouseUp(button, 5, 5);
    EXPECT_EQ(v.form->Caption(), "Vimo (1x)") << button;
  }
  EXPECT_TRUE(v.form->Popups().empty() && !v.Menu("Pop").Visible());
}

TEST(GridColour, OkRecoloursTheGridAtOnceCancelKeepsItAndTheDialogRemembersTheChoice) {
  Running v;
  v.form->ClickMenu("Mag", 5);  // client column 5 and row 5 are the first grid lines
  v.form->ClickMenu("GridMen");
  v.toolkit.ScriptColourDialog(kRed);
  v.toolkit.ScriptColourDialog(std::nullopt);  // Cancel

  ASSERT_TRUE(v.form->ClickMenu("GridColor"));
  EXPECT_EQ(v.s().GridColor, kRed);
  EXPECT_EQ(v.form->Picture("BuffPic").ForeColor(), kRed);
  EXPECT_EQ(v.Client(5, 7), kRed) << "redrawn without waiting for a tick";
  EXPECT_EQ(v.Client(7, 10), kRed);
  EXPECT_EQ(v.Client(7, 7), v.desktop.Pixel(v.s().SrcX + 1, v.s().SrcY + 1));

  v.form->Dialog("CommonDialog").SetFlags(0);  // set again on every use
  v.form->Dialog("CommonDialog").SetCancelError(false);
  const sim::PixelBuffer before = v.form->Client();
  v.form->ClickMenu("GridColor");
  v.form->ClickMenu("GridColor");  // nothing scripted: cancelled too
  EXPECT_EQ(v.s().GridColor, kRed);
  EXPECT_EQ(v.form->Picture("BuffPic").ForeColor(), kRed);
  EXPECT_EQ(v.form->Client().Pixels(), before.Pixels());
  const std::vector<sim::ColourDialogRecord> opened{{1, 0}, {1, kRed}, {1, kRed}};
  EXPECT_EQ(v.toolkit.ColourDialogs(), opened);
  EXPECT_TRUE(v.form->Failures().empty()) << v.form->Failures().front();
}

TEST(About, OpensCentredOnItsOwnerInsideTheWorkAreaOfTheOwnersMonitor) {
  // The main window's outer rect, and where the About window's (251 x 251) goes.
  for (const auto& [owner, at] : {
           std::pair<Rect, Point>{{-800, 200, -584, 462}, {-817, 205}},  // left of the primary
           {{-1270, 900, -1054, 1162}, {-1280, 773}},  // half off that monitor's corner
           {{1800, 900, 2016, 1162}, {1669, 789}},     // above the primary's task bar
       }) {
    Vimo v({{-1280, 0, 0, 1024}, kFullHd});
    v.desktop.PlaceWindow(v.Start().hWnd(), owner);
    v.form->ClickMenu("About");
    EXPECT_EQ(v.toolkit.FindForm("frmAbout").Window().outer,
              (Rect{at.x, at.y, at.x + 251, at.y + 251}))
        << owner.left << ", " << owner.top;
  }
}

// Topmost, owned by the main window, without taking the focus.
TEST(About, ReopeningKeepsTheWindowEveryCloseUnloadsAndTheNextOpenLoadsAfresh) {
  for (const bool byButton : {true, false}) {
    Vimo v;
    sim::SimForm& main = v.Start();
    ASSERT_TRUE(main.ClickMenu("About"));
    sim::SimForm& first = v.toolkit.FindForm("frmAbout");
    EXPECT_TRUE(first.Window().topmost && first.Visible());
    EXPECT_EQ(v.desktop.ActiveWindow(), 0U);
    EXPECT_EQ(first.Owner(), main.hWnd());
    v.toolkit.SetCurrentYear(2031);
    v.toolkit.SetVersion(1, 3);
    first.Hide();
    main.ClickMenu("About");  // shown again, not loaded again: the year it opened with
    EXPECT_EQ(&v.toolkit.FindForm("frmAbout"), &first);
    EXPECT_TRUE(first.Visible());
    EXPECT_EQ(first.LabelControl("lblCopyright").Caption(), std::string(kPrefix) + "2026");

    ASSERT_TRUE(byButton ? first.ClickControl("cmdClose") : first.Close());
    EXPECT_FALSE(first.Loaded() || first.Window().alive);
    main.ClickMenu("About");
    sim::SimForm& second = v.toolkit.FindForm("frmAbout");
    EXPECT_NE(&second, &first);
    EXPECT_TRUE(second.Visible());
    EXPECT_EQ(second.LabelControl("lblCopyright").Caption(), std::string(kPrefix) + "2031");
    EXPECT_EQ(second.LabelControl("lblVersion").Caption(), "Version 1.3");
    EXPECT_TRUE(main.Failures().empty() && first.Failures().empty() && second.Failures().empty());
  }
}

TEST(About, TheHomepageLinkOpensTheAddressThroughTheShellAndStaysOpen) {
  for (const auto& [address, opened] :
       {std::pair{"vimo.example.org", "https://vimo.example.org"},
        {"https://vimo.example.org/about", "https://vimo.example.org/about"},
        {"http://example.net", "http://example.net"},
        {"example.net:8080/x", "https://example.net:8080/x"}}) {
    Running v;
    AboutWindow window(v.desktop, v.toolkit, address);
    window.Open(*v.form);
    sim::SimForm& about = v.toolkit.FindForm("frmAbout");
    const Rect link = about.LabelControl("lblHomepage").Bounds();
    about.MouseDown(kLeftButton, link.left + 1, link.top + 1);
    ASSERT_TRUE(about.MouseUp(kLeftButton, link.left + 1, link.top + 1));
    EXPECT_EQ(v.desktop.ShellExecuteLog(),
              (std::vector<sim::ShellExecuteCall>{{0, "open", opened, "", "", 1}}))
        << address;
    EXPECT_TRUE(about.Loaded() && about.Visible());
  }
}

}  // namespace
}  // namespace vimo::test
