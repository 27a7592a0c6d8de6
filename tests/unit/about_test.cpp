// The grid colour command and the About window.
#include <gtest/gtest.h>

#include <optional>

#include "ui/about.h"
#include "vimo_harness.h"

namespace vimo::test {
namespace {

constexpr Colour kRed = 0x000000FF;
constexpr const char* kPrefix = "\u00A9 2026 Vimo team - ";

TEST(GridColour, OkRecoloursTheGridAtOnceCancelKeepsItAndTheDialogRemembersTheChoice) {
  Vimo v;
  sim::SimForm& form = v.Start();
  form.ClickMenu("Mag", 5);  // client column 5 and row 5 are the first grid lines
  form.ClickMenu("GridMen");
  v.toolkit.ScriptColourDialog(kRed);
  v.toolkit.ScriptColourDialog(std::nullopt);  // Cancel

  ASSERT_TRUE(form.ClickMenu("GridColor"));
  EXPECT_EQ(v.s().GridColor, kRed);
  EXPECT_EQ(form.Picture("BuffPic").ForeColor(), kRed);
  EXPECT_EQ(v.Client(5, 7), kRed) << "redrawn without waiting for a tick";
  EXPECT_EQ(v.Client(7, 10), kRed);
  EXPECT_EQ(v.Client(7, 7), v.desktop.Pixel(v.s().SrcX + 1, v.s().SrcY + 1));

  form.Dialog("CommonDialog").SetFlags(0);  // set again on every use
  form.Dialog("CommonDialog").SetCancelError(false);
  const sim::PixelBuffer before = form.Client();
  form.ClickMenu("GridColor");
  form.ClickMenu("GridColor");  // nothing scripted: cancelled too
  EXPECT_EQ(v.s().GridColor, kRed);
  EXPECT_EQ(form.Picture("BuffPic").ForeColor(), kRed);
  EXPECT_EQ(form.Client().Pixels(), before.Pixels());
  const std::vector<sim::ColourDialogRecord> opened{{1, 0}, {1, kRed}, {1, kRed}};
  EXPECT_EQ(v.toolkit.ColourDialogs(), opened);
  EXPECT_TRUE(form.Failures().empty()) << form.Failures().front();
}

TEST(About, OpensCentredOnItsOwnerInsideTheWorkAreaOfTheOwnersMonitor) {
  // The main window's outer rect, and where the About window's (251 x 251) goes.
  for (const auto& [owner, at] : {
           std::pair<Rect, Point>{{-800, 200, -584, 462}, {-817, 205}},  // left of the primary
           {{-1270, 900, -1054, 1162}, {-1280, 773}},  // half off that monitor's corner
           {{1800, 900, 2016, 1162}, {1669, 789}},     // above the primary's task bar
       }) {
    Vimo v({{-1280, 0, 0, 1024}, kFullHd});
    sim::SimForm& main = v.Start();
    v.desktop.PlaceWindow(main.hWnd(), owner);
    main.ClickMenu("About");
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
