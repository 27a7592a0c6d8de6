// A form built from its design over GTK 3: a top-level GtkWindow whose client area is
// the X window itself, drawn on straight with Xlib (background, shapes, lines) and
// cairo-xlib with pango (labels); off-screen picture boxes as X11 images; timers;
// GtkButtons for command buttons; the menu tree as a GtkMenu popup.
#pragma once

#include <X11/Xlib.h>
#include <cairo.h>
#include <gtk/gtk.h>
#include <pango/pango.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/design.h"
#include "platform/form_parts.h"
#include "platform/menu_tree.h"
#include "platform/mouse_routing.h"
#include "platform/toolkit.h"
#include "platform/x11/gtk_toolkit.h"
#include "platform/x11/x11_image.h"
#include "platform/x11/x11_inverted_lines.h"

namespace vimo::x11 {

// A design colour as 0x00BBGGRR: system colours (high bit set) are looked up.
Colour ResolveColour(Colour colour);

// Drawn by the form with pango; has no window of its own.
class GkLabel final : public BasicLabel {
 public:
  GkLabel(GkForm& form, const ControlDesign& design);
  ~GkLabel() override;
  GkLabel(const GkLabel&) = delete;
  GkLabel& operator=(const GkLabel&) = delete;

  void Draw(cairo_t* cr) const;

 private:
  void MakeFont();
  void Changed(Change what, const Rect& before) override;

  GkForm& form_;
  FontDesign font_;
  Colour colour_;
  bool transparent_;
  PangoLayout* layout_ = nullptr;
};

// A 1-pixel outline rectangle, drawn by the form after its paint event.
class GkShape final : public BasicShape {
 public:
  GkShape(GkForm& form, const ControlDesign& design);
  void Draw() const;

 private:
  void Changed(const Rect& before) override;

  GkForm& form_;
  Colour colour_;
};

// An off-screen X11 image on the toolkit's connection; hDC() is the image.
class GkPictureBox final : public BasicPictureBox {
 public:
  GkPictureBox(GkForm& form, const ControlDesign& design);

  Handle hDC() override;
  PixelRows Pixels() override;
  void StraightLines(const Point* points, std::size_t lines, Colour colour) override;
  void Release() { image_.Resize(0, 0); }

 private:
  void Allocate(int width, int height) override;
  void Recolour(Colour /*colour*/) override {}  // lines are drawn in memory, with the colour
  void CheckLive() const override;

  GkForm& form_;
  X11Image image_;
};

// The colour chooser: a modal GtkColorChooserDialog.
class GkColourDialog final : public BasicColourDialog {
 public:
  GkColourDialog(GkForm& form, std::string_view name) : BasicColourDialog(name), form_(form) {}

 private:
  std::optional<Colour> Choose(std::int32_t flags, Colour current) override;
  GkForm& form_;
};

// The menu tree is shown by a GtkMenu built afresh at each popup, so the listener only
// refuses changes once the window is gone, as the Win32 menus do.
class GkMenus final : public MenuListener {
 public:
  explicit GkMenus(GkForm& form) : form_(form) {}
  void Changing(const MenuNode& item) override;
  void Changed(const MenuNode& /*item*/, Change /*what*/) override {}

 private:
  GkForm& form_;
};

class GkForm final : public DesignForm<GkLabel, GkShape, GkPictureBox, GkColourDialog> {
 public:
  GkForm(GkToolkit& toolkit, const FormDesign& design, FormEvents& events);
  ~GkForm() override;
  GkForm(const GkForm&) = delete;
  GkForm& operator=(const GkForm&) = delete;

  // LoadForm: the window and controls from the design, then OnCreate and OnLoad.
  void Create(const FormDesign& design);
  void Load();

  std::string Caption() const override;
  void SetCaption(std::string_view text) override;
  Handle hWnd() override;
  WindowState State() const override;
  bool Visible() const override;
  float ScaleWidth() const override;
  float ScaleHeight() const override;
  void Cls() override;
  void Refresh() override;
  void Line(int x1, int y1, int x2, int y2, Colour colour) override;
  void PopupMenu(MenuItem& menu, int flags) override;
  void Show() override;
  void Unload() override;
  bool Loaded() const override { return window_ != nullptr; }
  void ShowModeless(Form& owner) override;
  bool SetClipboardText(std::string_view text) override;
  bool SetClipboardImage(const PixelRows& image) override;

  // For the toolkit (WindowHost) and the controls.
  GtkWindow* Window() const { return window_ != nullptr ? GTK_WINDOW(window_) : nullptr; }
  GtkWindow* LiveWindow() const;  // raises ToolkitError once the window is gone
  Handle Xid() const { return xid_; }
  Rect OuterPixels() const { return outer_; }
  bool Place(Handle insertAfter, int x, int y, int cx, int cy, std::uint32_t flags);
  GkToolkit& Toolkit() { return toolkit_; }
  Display* XDisplay() const { return display_; }
  cairo_t* Cairo() const { return cairo_; }
  GC Gc() const { return gc_; }
  unsigned long PixelOf(Colour colour) const;
  // What was drawn on the client area since the last call, other than the view's puts;
  // the marker lines are settled first, and go where none was asked for since the last put.
  Overdrawn TakeOverdrawn();
  // The view was put over these parts of the client area.
  void PutOver(const Overdrawn& put) { lines_.Erased(put); }
  // Paints background, shapes and labels inside the given client rectangles at once.
  void RedrawArea(const Rect* rects, int count);
  // Stops event delivery and closes the window without the unload event.
  void Discard();

 private:
  struct Signals;
  struct Timer {
    GkForm* form;
    std::string name;
    guint source;
    bool running;  // a timer's handler never runs inside itself
  };
  struct Button {
    GkForm* form;
    std::string name;
    GtkWidget* widget;
    bool isDefault;
    bool isCancel;
  };

  // Creation and geometry (gtk_form.cpp).
  void BuildControls(const FormDesign& design);
  void MakeDrawingResources();
  void ReleaseResources();
  void ReleaseDrawing();
  void RunUnload();
  void Destroyed();
  Rect NormalRect() const override;
  void MoveOuter(const Rect& outer) override;
  void MoveTo(const Rect& outer);
  bool ReadFrameExtents();
  void AskFrameExtents();
  void LearnFrame(int width, int height);
  void Configured(const GdkEventConfigure& event);
  void Mapped();
  void StateChanged(const GdkEventWindowState& event);
  void SetKeepAbove(bool above);

  // Painting (gtk_form_paint.cpp).
  bool Drawable() const;
  void Paint();
  void FillBackground();
  void DrawDecorations() const;
  void ClientResized();

  // Input (gtk_form_input.cpp).
  bool MouseDown(const GdkEventButton& event);
  bool MouseUp(const GdkEventButton& event);
  bool MouseMove(const GdkEventMotion& event);
  MouseHit HitAt(Point at) const;
  void Raise(const MouseEvents& events);
  void FollowTooltip(Point at);
  bool KeyTyped(const GdkEventKey& event);
  bool KeyUp(const GdkEventKey& event);
  bool Wheel(const GdkEventScroll& event);
  void ButtonClicked(const Button& button);
  void TimerFired(Timer& timer);

  template <typename Handler>
  void Deliver(Handler&& handler);
  // Runs toolkit work called from GTK: nothing may unwind through GTK's frames.
  template <typename Work>
  void Guard(Work&& work) noexcept;

  GkToolkit& toolkit_;
  FormEvents& events_;
  Display* display_;
  GkMenus menuViews_{*this};
  std::string initialCaption_;
  int clientWidth_;
  int clientHeight_;
  BorderStyle border_;
  bool showInTaskbar_;
  bool centerOnOwner_;
  Colour backColour_;
  bool greenPointer_;
  int drawMode_;

  GtkWidget* window_ = nullptr;
  GtkWidget* fixed_ = nullptr;
  Handle xid_ = 0;
  GC gc_ = nullptr;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cairo_ = nullptr;
  Visual* visual_ = nullptr;
  std::vector<std::unique_ptr<Timer>> timers_;
  std::vector<std::unique_ptr<Button>> buttons_;

  Rect outer_{};  // the frame in screen pixels, as last placed or reported
  int frameLeft_ = 0;
  int frameTop_ = 0;
  int frameRight_ = 0;
  int frameBottom_ = 0;
  bool iconified_ = false;
  bool maximized_ = false;
  gint64 sizeAsked_ = 0;  // when Vimo last asked for a new size, until it arrives
  bool frameKnown_ = false;
  Overdrawn overdrawn_;      // the window has shown with its frame, if any
  InvertedLines lines_;      // the marker lines inverted on the window (draw mode 6)
  guint settle_ = 0;         // the idle source that settles them after the tick
  bool smoothSaid_ = false;  // the last smooth scroll moved the wheel
  void SettleLines();
  Rect wanted_{};  // the last place asked for before that: its corner, its size or both
  bool wantedMove_ = false;
  bool wantedSize_ = false;

  bool ready_ = false;    // events flow once the controls exist
  bool shown_ = false;    // Show() has run once
  bool showing_ = false;  // Show() delivers its own resize event
  bool painting_ = false;
  bool unloading_ = false;
  MouseRouter router_;
  const GkLabel* tipLabel_ = nullptr;  // the label whose tooltip the window shows
};

template <typename Handler>
void GkForm::Deliver(Handler&& handler) {
  if (ready_ && toolkit_.Delivering()) toolkit_.Events().Deliver(events_, handler);
}

template <typename Work>
void GkForm::Guard(Work&& work) noexcept {
  try {
    work();
  } catch (const std::exception& failure) {
    toolkit_.Events().Record(failure.what());
  } catch (...) {
    toolkit_.Events().Record("unknown failure in the toolkit");
  }
}

}  // namespace vimo::x11
