// The simulated toolkit: forms from designs, twips, controls, menus and the dispatcher.
#include "platform/sim/sim_toolkit.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win32_constants.h"
#include "ui/designs.h"

namespace vimo::sim {
namespace {

// Logs every event as text; `act` runs extra code inside the handler of an event.
class Recorder : public FormEvents {
 public:
  std::vector<std::string> log;
  std::map<std::string, std::function<void()>> act;
  int cancelUnload = 0;
  std::int16_t replaceKey = -1;

  void OnCreate(Form& form) override { Note("Create " + std::string(form.Name())); }
  void OnLoad() override { Note("Load"); }
  void OnUnload(int& cancel) override {
    Note("Unload");
    cancel = cancelUnload;
  }
  void OnResize() override { Note("Resize"); }
  void OnPaint() override { Note("Paint"); }
  void OnClick() override { Note("Click"); }
  void OnMouseDown(std::string_view control, std::int16_t button, std::int16_t shift, float x,
                   float y) override {
    Note("Down " + std::string(control) + " " + Args(button, shift, x, y));
  }
  void OnMouseUp(std::string_view control, std::int16_t button, std::int16_t shift, float x,
                 float y) override {
    Note("Up " + std::string(control) + " " + Args(button, shift, x, y));
  }
  void OnMouseMove(std::int16_t button, std::int16_t shift, float x, float y) override {
    Note("Move " + Args(button, shift, x, y));
  }
  void OnKeyPress(std::int16_t& keyAscii) override {
    Note("KeyPress " + std::to_string(keyAscii));
    if (replaceKey >= 0) keyAscii = replaceKey;
  }
  void OnKeyUp(std::int16_t keyCode, std::int16_t shift) override {
    Note("KeyUp " + std::to_string(keyCode) + " " + std::to_string(shift));
  }
  void OnMenuClick(std::string_view name, std::int16_t index) override {
    Note("Menu " + std::string(name) + " " + std::to_string(index));
  }
  void OnTimer(std::string_view name) override { Note("Timer " + std::string(name)); }
  void OnHandlerFailure(std::string_view what) override { Note("Failure " + std::string(what)); }

 private:
  static std::string Args(std::int16_t button, std::int16_t shift, float x, float y) {
    return std::to_string(button) + " " + std::to_string(shift) + " " +
           std::to_string(static_cast<int>(x)) + " " + std::to_string(static_cast<int>(y));
  }
  void Note(const std::string& entry) {
    log.push_back(entry);
    const auto it = act.find(entry);
    if (it != act.end()) it->second();
  }
};

using Log = std::vector<std::string>;

class SimToolkitTest : public ::testing::Test {
 protected:
  SimDesktop desk;
  SimToolkit kit{desk};
  Recorder events;
};

TEST_F(SimToolkitTest, MainDesignLoadsHiddenWithTwipsAt15) {
  events.act["Create frmMain"] = [&] { EXPECT_EQ(events.log.size(), 1U); };
  events.act["Load"] = [&] { kit.FindForm("frmMain").SetCaption("Vimo 3 X"); };
  SimForm& form = kit.LoadForm(MainDesign(), events);
  EXPECT_EQ(events.log, (Log{"Create frmMain", "Load"}));
  EXPECT_EQ(form.Caption(), "Vimo 3 X");
  EXPECT_FALSE(form.Visible());
  EXPECT_EQ(form.State(), WindowState::kNormal);
  EXPECT_EQ(kit.GetScreen().Width(), 1024.0F * 15.0F);
  EXPECT_EQ(kit.GetScreen().Height(), 768.0F * 15.0F);

  EXPECT_EQ(form.ScaleWidth(), 200.0F);
  EXPECT_EQ(form.ScaleHeight(), 223.0F);
  EXPECT_EQ(form.Width(), (200.0F + kFrameLeft + kFrameRight) * 15.0F);
  EXPECT_EQ(form.Height(), (223.0F + kFrameTop + kFrameBottom) * 15.0F);
  EXPECT_EQ(form.Left(), 0.0F);
  EXPECT_EQ(form.Top(), 0.0F);
  Rect outer;
  ASSERT_TRUE(desk.GetWindowRect(form.hWnd(), &outer));
  EXPECT_EQ(outer, (Rect{0, 0, 216, 262}));

  EXPECT_EQ(form.Picture("BuffPic").Width(), 65.0F);
  EXPECT_EQ(form.Picture("BuffPic").Height(), 65.0F);
  EXPECT_EQ(form.Picture("BuffPic").ForeColor(), kDefaultGridColour);
  SimLabel& label2 = form.LabelControl("Label2");
  EXPECT_EQ(label2.Top(), 211.0F);
  EXPECT_EQ(label2.Width(), 200.0F);
  EXPECT_EQ(label2.Height(), 12);
  EXPECT_EQ(label2.FontSize(), 8.25F);
  EXPECT_FALSE(label2.Visible());
  EXPECT_EQ(form.ShapeControl("Shape1").Width(), 200.0F);
  EXPECT_EQ(form.ShapeControl("Shape1").Height(), 200.0F);
}

TEST_F(SimToolkitTest, TwelveTwipsPerPixelRoundHalfToEven) {
  kit.SetTwipsPerPixel(12.0F, 12.0F);
  SimForm& form = kit.LoadForm(MainDesign(), events);
  EXPECT_EQ(kit.GetScreen().Width(), 1024.0F * 12.0F);
  EXPECT_EQ(form.ScaleWidth(), 250.0F);
  EXPECT_EQ(form.ScaleHeight(), 279.0F);  // 3345 / 12 = 278.75
  EXPECT_EQ(form.Height(), (279.0F + kFrameTop + kFrameBottom) * 12.0F);
  EXPECT_EQ(form.Picture("BuffPic").Width(), 81.0F);     // 81.25
  EXPECT_EQ(form.LabelControl("Label2").Top(), 264.0F);  // 263.75

  kit.SetTwipsPerPixel(15.0F, 15.0F);
  events.log.clear();
  form.SetWidth(3247.5F);  // 216.5 px
  EXPECT_EQ(form.ScaleWidth(), 216.0F - kFrameLeft - kFrameRight);
  form.SetWidth(3262.5F);  // 217.5 px
  EXPECT_EQ(form.ScaleWidth(), 218.0F - kFrameLeft - kFrameRight);
  form.SetWidth(3262.5F);  // unchanged, still a resize event
  form.SetHeight(600.0F);
  EXPECT_EQ(form.ScaleHeight(), 1.0F);
  EXPECT_EQ(events.log, (Log{"Resize", "Resize", "Resize", "Resize"}));
  form.SetLeft(-157.0F);  // -10.47 px
  form.SetTop(30.0F);
  EXPECT_EQ(form.Left(), -150.0F);
  EXPECT_EQ(form.Top(), 30.0F);
  EXPECT_EQ(form.Window().outer, (Rect{-10, 2, 208, 42}));
  EXPECT_EQ(events.log.size(), 4U);
}

TEST_F(SimToolkitTest, FirstShowResizesThenPaintsWhileVisibleAndOutlinesTheShape) {
  SimForm& form = kit.LoadForm(MainDesign(), events);
  form.SetCaption("A");
  bool visibleAtPaint = false;
  events.act["Paint"] = [&] {
    visibleAtPaint = form.Visible();
    form.Cls();
  };
  events.log.clear();
  form.Show();
  EXPECT_EQ(events.log, (Log{"Resize", "Paint"}));
  EXPECT_TRUE(visibleAtPaint);
  EXPECT_TRUE(form.Visible());
  EXPECT_EQ(form.CaptionSetsBeforeShow(), 1);
  form.SetCaption("B");
  EXPECT_EQ(form.CaptionSets(), 2);
  form.Show();
  EXPECT_EQ(events.log.size(), 2U);
  EXPECT_EQ(form.ShowCalls(), 2);

  // Shape1 covers 0..199 x 0..199: its 1-pixel outline is window-text black.
  EXPECT_EQ(form.ClientPixel(0, 0), kWindowText);
  EXPECT_EQ(form.ClientPixel(199, 100), kWindowText);
  EXPECT_EQ(form.ClientPixel(100, 199), kWindowText);
  EXPECT_EQ(form.ClientPixel(1, 1), kButtonFace);
  EXPECT_EQ(form.ClientPixel(100, 200), kButtonFace);
  EXPECT_THROW(form.ClientPixel(200, 0), std::out_of_range);

  form.Hide();
  form.Refresh();
  EXPECT_EQ(events.log.size(), 2U);  // no paint while hidden
}

TEST_F(SimToolkitTest, DispatcherRecordsEscapingFailuresAndGoesOn) {
  SimForm& form = kit.LoadForm(MainDesign(), events);
  events.act["Timer Timer"] = [] { throw std::runtime_error("boom"); };
  EXPECT_TRUE(form.Tick());
  EXPECT_EQ(form.Failures(), (Log{"boom"}));
  events.act["Failure boom"] = [] { throw ToolkitError("worse"); };
  EXPECT_TRUE(form.Tick());
  EXPECT_EQ(form.Failures(), (Log{"boom", "boom", "worse"}));
  EXPECT_EQ(events.log, (Log{"Create frmMain", "Load", "Timer Timer", "Failure boom", "Timer Timer",
                             "Failure boom"}));
}

TEST_F(SimToolkitTest, NestedEventsRunInsideTheCallThatTriggersThem) {
  SimForm& form = kit.LoadForm(MainDesign(), events);
  form.Show();
  events.log.clear();
  events.act["Timer Timer"] = [&] {
    form.SetWidth(4000.0F);
    form.Refresh();
    events.log.push_back("after");
  };
  events.act["Resize"] = [] { throw std::runtime_error("resize failed"); };
  EXPECT_TRUE(form.Tick());
  EXPECT_EQ(events.log, (Log{"Timer Timer", "Resize", "Failure resize failed", "Paint", "after"}));
  EXPECT_EQ(form.Failures(), (Log{"resize failed"}));
}

TEST_F(SimToolkitTest, MenusFollowTheDesignAndRejectMissingItems) {
  SimForm& form = kit.LoadForm(MainDesign(), events);
  SimMenuGroup& mag = form.MenuArray("Mag");
  EXPECT_EQ(mag.UBound(), 10);
  EXPECT_EQ(mag.Item(3).Caption(), "3 X");
  EXPECT_TRUE(mag.Item(3).Checked());
  EXPECT_FALSE(mag.Item(4).Checked());
  EXPECT_EQ(mag.Item(10).Parent(), &form.Menu("Magni"));
  EXPECT_THROW(mag.Item(0), ToolkitError);
  EXPECT_THROW(mag.Item(11), ToolkitError);
  EXPECT_THROW(mag.Item(-1), ToolkitError);
  EXPECT_THROW(form.Menu("Mag"), ToolkitError);
  EXPECT_THROW(form.MenuArray("OnTop"), ToolkitError);
  EXPECT_THROW(form.Menu("Nope"), ToolkitError);
  EXPECT_THROW(form.Picture("Nope"), ToolkitError);
  EXPECT_THROW(form.LabelControl("Nope"), ToolkitError);
  EXPECT_THROW(form.ShapeControl("Nope"), ToolkitError);

  SimMenuItem& pop = form.Menu("Pop");
  EXPECT_EQ(pop.Level(), 0);
  EXPECT_FALSE(pop.Visible());
  EXPECT_FALSE(form.Menu("Meas").Enabled());
  EXPECT_EQ(form.Menu("OnTop").Caption(), "Always on top");
  form.Menu("OnTop").SetChecked(false);
  EXPECT_FALSE(form.Menu("OnTop").Checked());
}

TEST_F(SimToolkitTest, OnlyClickableMenuItemsDeliverAClick) {
  SimForm& form = kit.LoadForm(MainDesign(), events);
  EXPECT_FALSE(form.ClickMenu("Mag", 2));  // not shown yet
  form.Show();
  events.log.clear();
  EXPECT_TRUE(form.ClickMenu("Mag", 2));
  EXPECT_TRUE(form.ClickMenu("OnTop"));
  EXPECT_FALSE(form.ClickMenu("Meas"));    // disabled
  EXPECT_FALSE(form.ClickMenu("Linie2"));  // separator
  EXPECT_FALSE(form.ClickMenu("Magni"));   // opens its submenu
  form.Menu("Meas").SetEnabled(true);
  EXPECT_TRUE(form.ClickMenu("Meas"));
  form.Menu("GridMen").SetVisible(false);
  EXPECT_FALSE(form.ClickMenu("GridMen"));
  form.Menu("Magni").SetEnabled(false);
  EXPECT_FALSE(form.ClickMenu("Mag", 2));
  EXPECT_THROW(form.ClickMenu("Mag", 11), ToolkitError);
  EXPECT_EQ(events.log, (Log{"Menu Mag 2", "Menu OnTop 0", "Menu Meas 0"}));

  desk.SetCursorPos({-3, 40});
  form.PopupMenu(form.Menu("Pop"), win::TPM_CENTERALIGN);
  ASSERT_EQ(form.Popups().size(), 1U);
  EXPECT_EQ(form.Popups()[0], (PopupRecord{"Pop", win::TPM_CENTERALIGN, {-3, 40}}));
}

TEST_F(SimToolkitTest, InputNeedsAShownFormAndAVisibleLabel) {
  SimForm& form = kit.LoadForm(MainDesign(), events);
  events.log.clear();
  EXPECT_FALSE(form.Click());
  EXPECT_FALSE(form.KeyUp(37));
  EXPECT_TRUE(form.Tick());  // the timer runs while hidden
  form.Show();
  events.log.clear();
  EXPECT_TRUE(form.MouseDown("", kRightButton, 3, 4, 1));
  EXPECT_FALSE(form.MouseUp("Label1", kLeftButton, 5, 6));
  form.LabelControl("Label1").SetVisible(true);
  EXPECT_TRUE(form.MouseUp("Label1", kLeftButton, 5, 6));
  EXPECT_THROW(form.MouseDown("Nope", kLeftButton, 0, 0), ToolkitError);
  EXPECT_TRUE(form.MouseMove(-7, 300, kLeftButton));
  events.replaceKey = 0;
  std::int16_t after = -1;
  EXPECT_TRUE(form.KeyPress('m', &after));
  EXPECT_EQ(after, 0);
  EXPECT_TRUE(form.KeyUp(40, 2));
  EXPECT_TRUE(form.Click());
  EXPECT_EQ(events.log, (Log{"Down  2 1 3 4", "Up Label1 1 0 5 6", "Move 1 0 -7 300",
                             "KeyPress 109", "KeyUp 40 2", "Click"}));
}

TEST_F(SimToolkitTest, MinimiseRestoreAndUnload) {
  SimForm& form = kit.LoadForm(MainDesign(), events);
  form.Show();
  events.log.clear();
  form.Minimize();
  EXPECT_EQ(form.State(), WindowState::kMinimized);
  EXPECT_EQ(form.ScaleWidth(), 0.0F);
  EXPECT_EQ(form.ScaleHeight(), 0.0F);
  EXPECT_EQ(form.Width(), 216 * 15.0F) << "the normal state's size, not the minimised stub";
  EXPECT_EQ(form.Left(), 0.0F);
  EXPECT_FALSE(form.MouseDown("", kLeftButton, 1, 1));
  form.Refresh();
  form.Restore();
  EXPECT_EQ(form.State(), WindowState::kNormal);
  EXPECT_EQ(form.ScaleWidth(), 200.0F);
  EXPECT_EQ(form.ScaleHeight(), 223.0F);
  EXPECT_EQ(form.Left(), 0.0F);
  EXPECT_EQ(events.log, (Log{"Resize", "Resize"}));

  events.cancelUnload = 1;
  EXPECT_FALSE(form.Close());
  EXPECT_TRUE(form.Visible());
  events.cancelUnload = 0;
  form.Unload();
  EXPECT_TRUE(form.Unloaded());
  EXPECT_FALSE(form.Visible());
  EXPECT_FALSE(form.Tick());
  Rect r;
  EXPECT_FALSE(desk.GetWindowRect(form.hWnd(), &r));
  EXPECT_EQ(events.log, (Log{"Resize", "Resize", "Unload", "Unload"}));
}

TEST_F(SimToolkitTest, SetWindowPosAndTheUserResizeRaiseTheResizeEvent) {
  SimForm& form = kit.LoadForm(MainDesign(), events);
  events.log.clear();
  ASSERT_TRUE(desk.SetWindowPos(form.hWnd(), win::HWND_TOPMOST, 0, 0, 0, 0,
                                win::SWP_NOMOVE | win::SWP_NOSIZE | win::SWP_NOACTIVATE));
  EXPECT_TRUE(events.log.empty());
  ASSERT_TRUE(desk.SetWindowPos(form.hWnd(), 0, 40, 50, 116, 139, win::SWP_NOZORDER));
  EXPECT_EQ(form.ScaleWidth(), 100.0F);
  EXPECT_EQ(form.ScaleHeight(), 100.0F);
  EXPECT_EQ(form.Left(), 40.0F * 15.0F);
  form.SetClientSize(30, 20);
  EXPECT_EQ(form.Window().outer,
            (Rect{40, 50, 40 + 30 + kFrameLeft + kFrameRight, 50 + 20 + kFrameTop + kFrameBottom}));
  EXPECT_EQ(events.log, (Log{"Resize", "Resize"}));
}

TEST_F(SimToolkitTest, LinesFollowTheDrawModeAndPictureDcPenFollowsForeColor) {
  SimForm& form = kit.LoadForm(MainDesign(), events);  // draw mode 6: invert
  form.Cls();
  form.Line(0, 5, 4, 5, 0x00123456);
  EXPECT_EQ(form.ClientPixel(0, 5), 0x000F0F0FU);
  EXPECT_EQ(form.ClientPixel(3, 5), 0x000F0F0FU);
  EXPECT_EQ(form.ClientPixel(4, 5), kButtonFace);
  form.Line(0, 5, 4, 5, 0x00123456);
  EXPECT_EQ(form.ClientPixel(0, 5), kButtonFace);

  constexpr std::array kControls{
      ControlDesign{.name = "Pic", .kind = ControlKind::kPictureBox, .width = 150, .height = 75}};
  FormDesign copyPen{.name = "frmCopy",
                     .clientWidth = 300,
                     .clientHeight = 300,
                     .drawMode = 13,
                     .controls = kControls};
  Recorder other;
  SimForm& copy = kit.LoadForm(copyPen, other);
  copy.Line(2, 0, 2, 3, kSysWindowText);
  copy.Line(0, 0, 1, 0, 0x00123456);
  EXPECT_EQ(copy.ClientPixel(2, 2), kWindowText);
  EXPECT_EQ(copy.ClientPixel(2, 3), kButtonFace);
  EXPECT_EQ(copy.ClientPixel(0, 0), 0x00123456U);

  SimPictureBox& pic = copy.Picture("Pic");
  EXPECT_EQ(pic.Width(), 10.0F);
  EXPECT_EQ(pic.Height(), 5.0F);
  pic.SetForeColor(0x000000FF);
  const Point rows[] = {{0, 4}, {10, 4}, {0, 0}, {12, 0}};
  const std::uint32_t two[] = {2};
  desk.PolyPolyline(pic.hDC(), rows, two, 1);
  EXPECT_EQ(pic.Pixel(9, 4), 0x000000FFU);
  EXPECT_EQ(desk.LiveHandles(), 0);  // a picture's DC is not a per-frame handle
  pic.SetWidth(12.5F);               // 12
  pic.SetHeight(3.0F);
  EXPECT_EQ(pic.Width(), 12.0F);
  EXPECT_EQ(pic.Pixel(9, 2), kButtonFace);
  pic.SetHeight(5.0F);
  EXPECT_EQ(pic.Pixel(9, 4), kButtonFace);  // cut off before, refilled now
  desk.PolyPolyline(pic.hDC(), rows + 2, two, 1);
  EXPECT_EQ(pic.Pixel(11, 0), 0x000000FFU);  // the DC draws on the resized image

  FormDesign badMode{.name = "frmBad", .drawMode = 7};
  EXPECT_THROW(kit.LoadForm(badMode, other), ToolkitError);
}

TEST_F(SimToolkitTest, FormDcDrawsTheClientAreaAndTheGreenPointerShowsOverIt) {
  SimForm& form = kit.LoadForm(MainDesign(), events);
  form.Cls();
  desk.SetPixel(0, 0, 0x00010203);
  const Handle screen = desk.GetDC(0);
  const Handle client = desk.GetDC(form.hWnd());
  ASSERT_TRUE(desk.StretchBlt(client, 1, 1, 2, 2, screen, 0, 0, 1, 1, win::SRCCOPY));
  EXPECT_EQ(form.ClientPixel(2, 2), 0x00010203U);
  EXPECT_EQ(form.ClientPixel(3, 3), kButtonFace);
  EXPECT_EQ(desk.LiveHandles(), 2);
  desk.ReleaseDC(form.hWnd(), client);
  desk.ReleaseDC(0, screen);

  const Handle arrow = desk.SetCursorImage(MakeArrowCursor(false));
  desk.SetCursorPos({kFrameLeft + 5, kFrameTop + 5});
  CursorInfo info;
  desk.GetCursorInfo(&info);
  EXPECT_EQ(info.hCursor, arrow);  // hidden form: the desktop's pointer
  form.Show();
  desk.GetCursorInfo(&info);
  EXPECT_EQ(info.hCursor, kit.GreenPointer());
}

}  // namespace
}  // namespace vimo::sim
