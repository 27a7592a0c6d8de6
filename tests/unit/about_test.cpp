// The grid colour command and the About window.
#include <gtest/gtest.h>

#include <optional>

#include "platform/win32_constants.h"
#include "ui/about.h"
#include "vimo_harness.h"

namespace vimo::test {
namespace {

constexpr Colour kRed = 0x000000FF;
constexpr Colour kGrey = 0x00C0C0C0;

// Factor 5 with the grid on: client column 5 and row 5 are the grid's first lines.
sim::SimForm& StartWithGrid(Vimo& v) {
  sim::SimForm& form = v.Start();
  form.ClickMenu("Mag", 5);
  form.ClickMenu("GridMen");
  return form;
}

TEST(GridColour, OkRecoloursTheGridAtOnceCancelKeepsItAndTheDialogRemembersTheChoice) {
  Vimo v;
  sim::SimForm& form = StartWithGrid(v);
  ASSERT_EQ(v.Client(5, 7), kGrey);
  v.toolkit.ScriptColourDialog(kRed);
  v.toolkit.ScriptColourDialog(std::nullopt);
  v.toolkit.ScriptColourDialog(std::nullopt);

  ASSERT_TRUE(form.ClickMenu("GridColor"));
  EXPECT_EQ(form.Picture("BuffPic").ForeColor(), kRed);
  EXPECT_EQ(v.Client(5, 7), kRed) << "redrawn without waiting for a tick";
  EXPECT_EQ(v.Client(7, 10), kRed);
  EXPECT_EQ(v.Client(7, 7), v.desktop.Pixel(v.s().SrcX + 1, v.s().SrcY + 1));

  form.Dialog("CommonDialog").SetFlags(0);
  form.Dialog("CommonDialog").SetCancelError(false);
  const sim::PixelBuffer before = form.Client();
  form.ClickMenu("GridColor");
  form.ClickMenu("GridColor");
  EXPECT_EQ(form.Picture("BuffPic").ForeColor(), kRed);
  EXPECT_EQ(form.Client().Pixels(), before.Pixels());
  EXPECT_EQ(form.Dialog("CommonDialog").Color(), kRed);
  const std::vector<sim::ColourDialogRecord> opened{{1, true, 0}, {1, true, kRed}, {1, true, kRed}};
  EXPECT_EQ(v.toolkit.ColourDialogs(), opened);
  EXPECT_TRUE(form.Failures().empty()) << form.Failures().front();
}

TEST(GridColour, CancelOnTheFirstUseChangesNoPixelAndReportsNothing) {
  Vimo v;
  sim::SimForm& form = StartWithGrid(v);
  const sim::PixelBuffer before = form.Client();
  form.ClickMenu("GridColor");  // no answer scripted: the user cancels
  EXPECT_EQ(form.Picture("BuffPic").ForeColor(), kGrey);
  EXPECT_EQ(form.Client().Pixels(), before.Pixels());
  EXPECT_EQ(v.toolkit.ColourDialogs().size(), 1U);
  EXPECT_TRUE(form.Failures().empty());
}

TEST(GridColour, AValueAboveTheColourRangeIsRejected) {
  Vimo v;
  sim::SimForm& form = v.Start();
  EXPECT_THROW(form.Picture("BuffPic").SetForeColor(0x01000000), ToolkitError);
  EXPECT_EQ(form.Picture("BuffPic").ForeColor(), kGrey);
}

TEST(About, ShowsTheYearAndVersionTopmostAndOwnedByTheMainWindow) {
  struct Case {
    int year, major, minor;
    const char* copyright;
    const char* version;
  };
  for (const Case& c :
       {Case{2030, 1, 2, "\u00A9 2026 The Vimo developers - 2030", "Version 1.2"},
        Case{2026, 10, 0, "\u00A9 2026 The Vimo developers - 2026", "Version 10.0"}}) {
    Vimo v;
    sim::SimForm& main = v.Start();
    v.toolkit.SetCurrentYear(c.year);
    v.toolkit.SetVersion(c.major, c.minor);
    ASSERT_TRUE(main.ClickMenu("About"));
    sim::SimForm& about = v.toolkit.FindForm("frmAbout");
    EXPECT_EQ(about.Caption(), "About Vimo");
    EXPECT_EQ(about.LabelControl("lblCopyright").Caption(), c.copyright);
    EXPECT_EQ(about.LabelControl("lblVersion").Caption(), c.version);
    EXPECT_EQ(v.desktop.SetWindowPosLog().back(),
              (sim::SetWindowPosCall{about.hWnd(), win::HWND_TOPMOST, 0, 0, 0, 0, 0x53, false}));
    EXPECT_TRUE(about.Window().topmost);
    EXPECT_TRUE(about.Visible());
    EXPECT_EQ(about.Owner(), main.hWnd());
    EXPECT_TRUE(main.Failures().empty() && about.Failures().empty());
  }
}

TEST(About, ASecondOpenShowsTheSameWindowWithItsTextsUnchanged) {
  Vimo v;
  sim::SimForm& main = v.Start();
  v.toolkit.SetCurrentYear(2030);
  main.ClickMenu("About");
  sim::SimForm& about = v.toolkit.FindForm("frmAbout");
  v.toolkit.SetCurrentYear(2031);
  const int topmostCalls = v.desktop.Calls().setWindowPos;
  main.ClickMenu("About");
  EXPECT_EQ(&v.toolkit.FindForm("frmAbout"), &about);
  EXPECT_EQ(about.LabelControl("lblCopyright").CaptionSets(), 1);
  EXPECT_EQ(about.LabelControl("lblCopyright").Caption(), "\u00A9 2026 The Vimo developers - 2030");
  EXPECT_EQ(about.ShowCalls(), 2);
  EXPECT_EQ(v.desktop.Calls().setWindowPos, topmostCalls + 1);
}

TEST(About, EveryCloseUnloadsAndTheNextOpenLoadsAfresh) {
  for (const bool byButton : {true, false}) {
    Vimo v;
    sim::SimForm& main = v.Start();
    main.ClickMenu("About");
    sim::SimForm& first = v.toolkit.FindForm("frmAbout");
    if (byButton) {
      ASSERT_TRUE(first.ClickControl("cmdClose"));
    } else {
      first.Close();  // the title bar's close button
    }
    EXPECT_FALSE(first.Loaded());
    EXPECT_FALSE(first.Window().alive);
    v.toolkit.SetCurrentYear(2031);
    v.toolkit.SetVersion(1, 3);
    main.ClickMenu("About");
    sim::SimForm& second = v.toolkit.FindForm("frmAbout");
    EXPECT_NE(&second, &first);
    EXPECT_TRUE(second.Visible());
    EXPECT_EQ(second.LabelControl("lblCopyright").Caption(),
              "\u00A9 2026 The Vimo developers - 2031");
    EXPECT_EQ(second.LabelControl("lblVersion").Caption(), "Version 1.3");
  }
}

TEST(About, TheHomepageLinkOpensTheAddressThroughTheShellAndStaysOpen) {
  struct Case {
    const char* address;
    const char* opened;
  };
  for (const Case& c : {Case{"vimo.example.org", "https://vimo.example.org"},
                        Case{"https://vimo.example.org/about", "https://vimo.example.org/about"},
                        Case{"http://example.net", "http://example.net"},
                        Case{"example.net:8080/x", "https://example.net:8080/x"}}) {
    Vimo v;
    v.Start();
    AboutWindow window(v.desktop, v.toolkit, c.address);
    window.Open(*v.form);
    sim::SimForm& about = v.toolkit.FindForm("frmAbout");
    ASSERT_TRUE(about.ClickControl("lblHomepage"));
    const std::vector<sim::ShellExecuteCall> calls{{0, "open", c.opened, "", "", 1}};
    EXPECT_EQ(v.desktop.ShellExecuteLog(), calls) << c.address;
    EXPECT_TRUE(about.Loaded() && about.Visible());
  }
}

}  // namespace
}  // namespace vimo::test
