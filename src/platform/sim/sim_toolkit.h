// The window toolkit over the simulated desktop: forms built from designs, their controls
// and menus, and one dispatcher that delivers every event. Tests drive a form through its
// public test methods (Tick, MouseDown, ClickMenu, ...) and read back what the handlers did.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/design.h"
#include "platform/dispatcher.h"
#include "platform/form_parts.h"
#include "platform/menu_tree.h"
#include "platform/mouse_routing.h"
#include "platform/sim/sim_desktop.h"
#include "platform/toolkit.h"
#include "platform/types.h"
#include "platform/units.h"

namespace vimo::sim {

class SimForm;
class SimToolkit;

// kSysButtonFace and kSysWindowText to their sim colours; other colours as they are.
Colour ResolveColour(Colour colour);

// Labels keep their state as every backend does (platform/form_parts.h); the sim draws
// none of them.
using SimLabel = BasicLabel;

// A shape redraws itself when its size changes: the old outline is painted over with the
// window's background, the new one drawn, while the window shows.
class SimShape final : public BasicShape {
 public:
  SimShape(const ControlDesign& design, float tppX, float tppY, SimForm& form);
  // The 1-pixel outline in the border colour.
  void DrawOutline(PixelBuffer& client) const { Outline(client, Bounds(), colour_); }

 private:
  static void Outline(PixelBuffer& client, const Rect& r, Colour colour);
  void Changed(const Rect& before) override;

  SimForm& form_;
  Colour colour_;
};

// Its image starts filled with the button face colour; resizing keeps the overlapping part.
class SimPictureBox final : public PictureBox {
 public:
  SimPictureBox(const ControlDesign& design, float tppX, float tppY, SimDesktop& desktop);
  ~SimPictureBox() override;
  SimPictureBox(const SimPictureBox&) = delete;
  SimPictureBox& operator=(const SimPictureBox&) = delete;

  Handle hDC() override { return hdc_; }
  PixelRows Pixels() override {
    return {image_.Row(0), image_.Width(), image_.Width(), image_.Height(), false};
  }
  Colour ForeColor() const override { return foreColor_; }
  void SetForeColor(Colour colour) override;
  float Width() const override { return static_cast<float>(image_.Width()); }
  void SetWidth(float width) override;
  float Height() const override { return static_cast<float>(image_.Height()); }
  void SetHeight(float height) override;

  std::string_view Name() const { return name_; }

 private:
  std::string name_;
  SimDesktop& desktop_;
  PixelBuffer image_;
  Colour foreColor_;
  Colour backColor_;  // what a new or grown image starts as
  Handle hdc_ = 0;
};

// How the colour dialog was opened.
struct ColourDialogRecord {
  std::int32_t flags = 0;
  Colour shown = 0;  // the colour selected as it opened
  friend bool operator==(const ColourDialogRecord&, const ColourDialogRecord&) = default;
};

// The colour chooser: the "user" gives the answers the test scripted on the toolkit. Like
// the system's, it opens with black selected unless the flags hold CC_RGBINIT.
class SimCommonDialog final : public BasicColourDialog {
 public:
  SimCommonDialog(SimToolkit& toolkit, std::string_view name)
      : BasicColourDialog(name), toolkit_(toolkit) {}

 private:
  std::optional<Colour> Choose(std::int32_t flags, Colour current) override;
  SimToolkit& toolkit_;
};

struct PopupRecord {
  std::string menu;
  int flags = 0;
  Point cursor;  // screen position of the pointer when it opened
  friend bool operator==(const PopupRecord&, const PopupRecord&) = default;
};

class SimForm final : public DesignForm<SimLabel, SimShape, SimPictureBox, SimCommonDialog> {
 public:
  SimForm(SimToolkit& toolkit, const FormDesign& design, FormEvents& events);
  ~SimForm() override;
  SimForm(const SimForm&) = delete;
  SimForm& operator=(const SimForm&) = delete;

  // ---- Form ----
  std::string Caption() const override { return caption_; }
  void SetCaption(std::string_view text) override;
  Handle hWnd() override { return hwnd_; }
  WindowState State() const override;
  bool Visible() const override;
  float ScaleWidth() const override { return static_cast<float>(ClientWidth()); }
  float ScaleHeight() const override { return static_cast<float>(ClientHeight()); }
  void Cls() override;
  // The paint event runs only while the window is shown and not minimised (Windows paints
  // nothing else); the visible shapes' outlines are drawn after it.
  void Refresh() override;
  void Line(int x1, int y1, int x2, int y2, Colour colour) override;
  // Records the popup, then does what the test scripted for it: a chosen item that the
  // user can click in this popup delivers its menu click before the call returns.
  void PopupMenu(MenuItem& menu, int flags) override;
  // The first Show runs the resize event, shows the window, then refreshes it.
  void Show() override;
  void Unload() override;
  bool Loaded() const override { return !unloaded_; }
  void ShowModeless(Form& owner) override;
  bool SetClipboardText(std::string_view text) override;
  bool SetClipboardImage(const PixelRows& image) override;

  // ---- Test driving ----
  // Each returns whether an event was delivered. A timer fires while the form is loaded;
  // mouse, keyboard and menu input needs it shown, mouse and keyboard input also not
  // minimised (Windows gives a minimised window neither).
  bool Tick();  // the design's first timer
  bool Tick(std::string_view timer);
  // The mouse at a client point: hit-tested against the visible labels and routed as in
  // every backend (MouseRouter), so a left release may also click the form or a label.
  bool MouseDown(std::int16_t button, int x, int y, std::int16_t shift = 0);
  bool MouseUp(std::int16_t button, int x, int y, std::int16_t shift = 0);
  bool MouseMove(int x, int y, std::int16_t buttons = 0, std::int16_t shift = 0);
  // `after`, when given, receives the key code as the handler left it (0 = swallowed).
  bool KeyPress(std::int16_t keyAscii, std::int16_t* after = nullptr);
  bool KeyUp(std::int16_t keyCode, std::int16_t shift = 0);
  // The wheel turned over the window, `delta` in 120ths of a notch.
  bool MouseWheel(std::int32_t delta);
  // A menu command as a popup of its top-level menu delivers it; false, without an event,
  // for an item a user cannot click (see MenuNode::Clickable).
  bool ClickMenu(std::string_view name, std::int16_t index = 0);
  // What the user does in the next popup menu, one answer per popup in turn: choose the
  // item (ToolkitError at once for one the design lacks), or close the menu without a
  // choice. A popup with no answer left is closed without a choice.
  void ScriptPopupChoice(std::string_view name, std::int16_t index = 0);
  void ScriptPopupDismissal() { popupAnswers_.push_back(nullptr); }
  // A press of a command button; false, without an event, for a form that takes no input.
  bool ClickControl(std::string_view button);
  // The user drags the border: new client size, then the resize event.
  void SetClientSize(int width, int height);
  // The user drags the window by its caption bar: its top-left corner goes to (x, y).
  void DragTo(int x, int y);
  // Window state changes by the user, each followed by the resize event.
  void Minimize();
  void Restore();
  void Hide();
  // The user closes the window: the unload event, then the window is gone unless cancelled.
  bool Close();

  int ClientWidth() const;
  int ClientHeight() const;
  Colour ClientPixel(int x, int y) const;  // std::out_of_range outside the client area
  const PixelBuffer& Client() const;
  const SimWindow& Window() const;
  bool Unloaded() const { return unloaded_; }
  Handle Owner() const { return owner_; }
  const std::vector<PopupRecord>& Popups() const { return popups_; }
  // What the toolkit's dispatcher caught, of every form.
  const std::vector<std::string>& Failures() const;

 private:
  friend class SimToolkit;
  friend class SimShape;
  void RunLoad();
  template <class Handler>
  void Deliver(Handler&& handler);
  MouseHit HitAt(int x, int y) const;
  bool Raise(const MouseEvents& events);
  bool AcceptsInput() const;
  bool AcceptsMouseAndKeys() const;
  // As SetWindowPos: the resize event runs only when the size changes. A minimised window
  // is neither moved nor sized (ToolkitError), as in the Win32 backend.
  void MoveOuter(const Rect& outer) override;
  Rect NormalRect() const override;
  // On a monitor of another scale: the twips follow it, as the Win32 backend's do.
  void ScaleChanged();
  SimWindow& Win();

  SimToolkit& toolkit_;
  SimDesktop& desktop_;
  FormEvents& events_;
  std::string caption_;
  Handle hwnd_ = 0;
  int drawMode_;
  std::vector<std::string> timers_;
  std::vector<std::string> buttons_;
  Handle owner_ = 0;

  bool shown_ = false;
  bool unloaded_ = false;
  MouseRouter router_;
  std::deque<MenuNode*> popupAnswers_;  // null: closed without a choice
  std::vector<PopupRecord> popups_;
};

// At the system's scale until the first window loaded is moved to a monitor of another.
class SimScreen final : public Screen {
 public:
  explicit SimScreen(const SimToolkit& toolkit) : toolkit_(toolkit) {}
  float Width() const override;
  float Height() const override;
  float TwipsPerPixelX() const override { return tppX_; }
  float TwipsPerPixelY() const override { return tppY_; }
  void Follow(float tppX, float tppY) {
    tppX_ = tppX;
    tppY_ = tppY;
  }

 private:
  const SimToolkit& toolkit_;
  float tppX_ = 15.0F;
  float tppY_ = 15.0F;
};

struct MessageBoxRecord {
  std::string text;
  int style = 0;
  std::string title;
  friend bool operator==(const MessageBoxRecord&, const MessageBoxRecord&) = default;
};

// The desktop must outlive the toolkit. Forms live as long as the toolkit.
class SimToolkit final : public Toolkit {
 public:
  explicit SimToolkit(SimDesktop& desktop);
  ~SimToolkit() override;
  SimToolkit(const SimToolkit&) = delete;
  SimToolkit& operator=(const SimToolkit&) = delete;

  // Records the box; the user answers OK at once.
  int MsgBox(std::string_view text, int style, std::string_view title) override;
  SimScreen& GetScreen() override { return screen_; }
  // Hidden, normal state, at (0, 0), client area = design twips / twips per pixel. Then
  // OnCreate and OnLoad, each through the dispatcher.
  SimForm& LoadForm(const FormDesign& design, FormEvents& events) override;

  SimDesktop& Desktop() { return desktop_; }
  const SimDesktop& Desktop() const { return desktop_; }
  // The system's scale: the screen's at start, and that of every monitor without a DPI of
  // its own (SimDesktop::SetMonitorDpi).
  void SetTwipsPerPixel(float x, float y);
  float TwipsPerPixelX() const { return tppX_; }
  float TwipsPerPixelY() const { return tppY_; }
  bool IsMainForm(const SimForm& form) const {
    return !forms_.empty() && forms_.front().get() == &form;
  }
  // The most recently loaded form of that design name; ToolkitError if none.
  SimForm& FindForm(std::string_view name);
  // The pointer that designs with greenPointer show over their client area.
  Handle GreenPointer();
  const std::vector<MessageBoxRecord>& MessageBoxes() const { return messageBoxes_; }

  // The program's version (from the build unless set) and the current year.
  int VersionMajor() const override { return versionMajor_; }
  int VersionMinor() const override { return versionMinor_; }
  int CurrentYear() const override { return year_; }
  void SetVersion(int major, int minor) {
    versionMajor_ = major;
    versionMinor_ = minor;
  }
  void SetCurrentYear(int year) { year_ = year; }

  // The colour dialog's next answer: a colour for OK, nullopt for Cancel. A dialog shown
  // without an answer left is cancelled.
  void ScriptColourDialog(std::optional<Colour> answer) { colourAnswers_.push_back(answer); }
  const std::vector<ColourDialogRecord>& ColourDialogs() const { return colourDialogs_; }
  // For the dialogs: records the opening and gives the scripted answer.
  std::optional<Colour> AnswerColourDialog(const ColourDialogRecord& opened);
  Dispatcher& Events() { return dispatcher_; }

 private:
  SimDesktop& desktop_;
  SimScreen screen_{*this};
  float tppX_ = 15.0F;
  float tppY_ = 15.0F;
  Handle greenPointer_ = 0;
  std::vector<MessageBoxRecord> messageBoxes_;
  std::vector<std::unique_ptr<SimForm>> forms_;
  int versionMajor_;
  int versionMinor_;
  int year_ = 2026;
  std::deque<std::optional<Colour>> colourAnswers_;
  std::vector<ColourDialogRecord> colourDialogs_;
  Dispatcher dispatcher_;
};

}  // namespace vimo::sim
