// A form's window: creation from the design, its geometry and the form operations.
// Painting, input and the popup menu have files of their own.
#include "platform/x11/gtk_form.h"

#include <X11/Xatom.h>
#include <cairo-xlib.h>
#include <gdk/gdkx.h>

#include <algorithm>

#include "platform/placement.h"
#include "platform/units.h"
#include "platform/win32_constants.h"
#include "platform/x11/x11_monitors.h"

namespace vimo::x11 {
namespace {

constexpr gint64 kSizeWait = 1000000;  // microseconds
constexpr gint64 kFrameWait = 250000;

}  // namespace

// The GTK signal handlers of a form: each hands its event to the form, guarded.
struct GkForm::Signals {
  static gboolean Draw(GtkWidget* /*widget*/, cairo_t* /*cr*/, gpointer data) {
    auto* form = static_cast<GkForm*>(data);
    form->Guard([&] { form->Paint(); });
    return FALSE;  // GTK goes on to draw the command buttons over it
  }
  static gboolean Configure(GtkWidget* /*widget*/, GdkEventConfigure* event, gpointer data) {
    auto* form = static_cast<GkForm*>(data);
    form->Guard([&] { form->Configured(*event); });
    return FALSE;
  }
  static gboolean Map(GtkWidget* /*widget*/, GdkEvent* /*event*/, gpointer data) {
    auto* form = static_cast<GkForm*>(data);
    form->Guard([&] { form->Mapped(); });
    return FALSE;
  }
  static gboolean WindowState(GtkWidget* /*widget*/, GdkEventWindowState* event, gpointer data) {
    auto* form = static_cast<GkForm*>(data);
    form->Guard([&] { form->StateChanged(*event); });
    return FALSE;
  }
  static gboolean Delete(GtkWidget* /*widget*/, GdkEvent* /*event*/, gpointer data) {
    auto* form = static_cast<GkForm*>(data);
    form->Guard([&] { form->RunUnload(); });
    return TRUE;  // the unload destroys the window unless it was cancelled
  }
  // Before the X window goes: cairo's picture and the GC of it go first.
  static void Unrealize(GtkWidget* /*widget*/, gpointer data) {
    auto* form = static_cast<GkForm*>(data);
    form->Guard([&] { form->ReleaseDrawing(); });
  }
  static void Destroy(GtkWidget* /*widget*/, gpointer data) {
    auto* form = static_cast<GkForm*>(data);
    form->Guard([&] { form->Destroyed(); });
  }
  static gboolean Pressed(GtkWidget* /*widget*/, GdkEventButton* event, gpointer data) {
    auto* form = static_cast<GkForm*>(data);
    bool used = false;
    form->Guard([&] { used = form->MouseDown(*event); });
    return used ? TRUE : FALSE;
  }
  static gboolean Released(GtkWidget* /*widget*/, GdkEventButton* event, gpointer data) {
    auto* form = static_cast<GkForm*>(data);
    bool used = false;
    form->Guard([&] { used = form->MouseUp(*event); });
    return used ? TRUE : FALSE;
  }
  static gboolean Motion(GtkWidget* /*widget*/, GdkEventMotion* event, gpointer data) {
    auto* form = static_cast<GkForm*>(data);
    bool used = false;
    form->Guard([&] { used = form->MouseMove(*event); });
    return used ? TRUE : FALSE;
  }
  static gboolean GrabBroken(GtkWidget* /*widget*/, GdkEvent* /*event*/, gpointer data) {
    static_cast<GkForm*>(data)->router_.Reset();
    return FALSE;
  }
  static gboolean KeyPressed(GtkWidget* /*widget*/, GdkEventKey* event, gpointer data) {
    auto* form = static_cast<GkForm*>(data);
    bool used = false;
    form->Guard([&] { used = form->KeyTyped(*event); });
    return used ? TRUE : FALSE;
  }
  static gboolean KeyReleased(GtkWidget* /*widget*/, GdkEventKey* event, gpointer data) {
    auto* form = static_cast<GkForm*>(data);
    bool used = false;
    form->Guard([&] { used = form->KeyUp(*event); });
    return used ? TRUE : FALSE;
  }
  static gboolean Scrolled(GtkWidget* /*widget*/, GdkEventScroll* event, gpointer data) {
    auto* form = static_cast<GkForm*>(data);
    bool used = false;
    form->Guard([&] { used = form->Wheel(*event); });
    return used ? TRUE : FALSE;
  }
  static void Clicked(GtkButton* /*button*/, gpointer data) {
    auto* button = static_cast<Button*>(data);
    button->form->Guard([&] { button->form->ButtonClicked(*button); });
  }
  static gboolean Tick(gpointer data) {
    auto* timer = static_cast<Timer*>(data);
    timer->form->Guard([&] { timer->form->TimerFired(*timer); });
    return G_SOURCE_CONTINUE;
  }
};

void GkMenus::Changing(const MenuNode& /*item*/) { form_.LiveWindow(); }

GkForm::GkForm(GkToolkit& toolkit, const FormDesign& design, FormEvents& events)
    : DesignForm(design, &menuViews_, toolkit.GetScreen()),
      toolkit_(toolkit),
      events_(events),
      display_(toolkit.XDisplay()),
      initialCaption_(design.caption),
      clientWidth_(0),
      clientHeight_(0),
      border_(design.border),
      showInTaskbar_(design.showInTaskbar),
      centerOnOwner_(design.centerOnOwner),
      backColour_(ResolveColour(design.backColor)),
      greenPointer_(design.greenPointer),
      drawMode_(design.drawMode) {
  if (drawMode_ != 6 && drawMode_ != 13) {
    throw ToolkitError("draw mode " + std::to_string(drawMode_) + " is not supported");
  }
  clientWidth_ = std::max(1, PixelsFromTwipsX(design.clientWidth));
  clientHeight_ = std::max(1, PixelsFromTwipsY(design.clientHeight));
}

GkForm::~GkForm() { Discard(); }

GtkWindow* GkForm::LiveWindow() const {
  if (window_ == nullptr) throw ToolkitError("the window " + name_ + " is not loaded");
  return GTK_WINDOW(window_);
}

// --- Building ----------------------------------------------------------------------

void GkForm::Create(const FormDesign& design) {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWindow* window = GTK_WINDOW(window_);
  // The client area is the X window itself: no buffer between Vimo's drawing and it.
  gtk_widget_set_app_paintable(window_, TRUE);
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_widget_set_double_buffered(window_, FALSE);
  G_GNUC_END_IGNORE_DEPRECATIONS
  gtk_widget_add_events(window_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                     GDK_POINTER_MOTION_MASK | GDK_KEY_PRESS_MASK |
                                     GDK_KEY_RELEASE_MASK | GDK_STRUCTURE_MASK | GDK_SCROLL_MASK |
                                     GDK_SMOOTH_SCROLL_MASK);
  gtk_window_set_title(window, initialCaption_.c_str());
  gtk_window_set_resizable(window, border_ == BorderStyle::kSizable ? TRUE : FALSE);
  if (border_ == BorderStyle::kFixedDialog) {
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_widget_set_size_request(window_, clientWidth_, clientHeight_);
  }
  gtk_window_set_default_size(window, clientWidth_, clientHeight_);
  if (!showInTaskbar_) {
    gtk_window_set_skip_taskbar_hint(window, TRUE);
    gtk_window_set_skip_pager_hint(window, TRUE);
    GkForm* main = toolkit_.MainForm();
    if (main != nullptr && main != this && main->Loaded()) {
      gtk_window_set_transient_for(window, main->Window());
      gtk_window_set_destroy_with_parent(window, TRUE);
    }
  }

  g_signal_connect(window_, "draw", G_CALLBACK(&Signals::Draw), this);
  g_signal_connect(window_, "configure-event", G_CALLBACK(&Signals::Configure), this);
  g_signal_connect(window_, "map-event", G_CALLBACK(&Signals::Map), this);
  g_signal_connect(window_, "window-state-event", G_CALLBACK(&Signals::WindowState), this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(&Signals::Delete), this);
  g_signal_connect(window_, "unrealize", G_CALLBACK(&Signals::Unrealize), this);
  g_signal_connect(window_, "destroy", G_CALLBACK(&Signals::Destroy), this);
  g_signal_connect(window_, "button-press-event", G_CALLBACK(&Signals::Pressed), this);
  g_signal_connect(window_, "button-release-event", G_CALLBACK(&Signals::Released), this);
  g_signal_connect(window_, "motion-notify-event", G_CALLBACK(&Signals::Motion), this);
  g_signal_connect(window_, "grab-broken-event", G_CALLBACK(&Signals::GrabBroken), this);
  g_signal_connect(window_, "key-press-event", G_CALLBACK(&Signals::KeyPressed), this);
  g_signal_connect(window_, "key-release-event", G_CALLBACK(&Signals::KeyReleased), this);
  g_signal_connect(window_, "scroll-event", G_CALLBACK(&Signals::Scrolled), this);

  try {
    gtk_widget_realize(window_);
    GdkWindow* gdkWindow = gtk_widget_get_window(window_);
    if (gdkWindow == nullptr || !GDK_IS_X11_WINDOW(gdkWindow)) {
      throw ToolkitError("cannot create the window " + name_);
    }
    xid_ = static_cast<Handle>(gdk_x11_window_get_xid(gdkWindow));
    if (greenPointer_ && toolkit_.GreenPointer() != nullptr) {
      gdk_window_set_cursor(gdkWindow, toolkit_.GreenPointer());
    }
    AskFrameExtents();
    // Centred on the owner inside the work area, or on the primary screen: a form that has
    // no place of its own yet (the main window, until its load handler places it) shows
    // first where Vimo puts it when no place is stored.
    const Monitors monitors = ReadMonitors(display_);
    Rect around = monitors.primary;
    Rect inside = around;
    GkForm* owner = toolkit_.MainForm();
    if (centerOnOwner_ && owner != nullptr && owner != this && owner->Loaded() &&
        owner->Visible()) {
      around = owner->OuterPixels();
      inside = monitors.workArea;
    }
    const int width = frameLeft_ + clientWidth_ + frameRight_;
    const int height = frameTop_ + clientHeight_ + frameBottom_;
    const Point at = CentredInside(around, width, height, inside);
    outer_ = {at.x, at.y, at.x + width, at.y + height};
    gtk_window_move(GTK_WINDOW(window_), at.x, at.y);
    MakeDrawingResources();
    BuildControls(design);
  } catch (...) {
    Discard();
    throw;
  }
}

void GkForm::MakeDrawingResources() {
  GdkWindow* gdkWindow = gtk_widget_get_window(window_);
  visual_ = gdk_x11_visual_get_xvisual(gdk_window_get_visual(gdkWindow));
  gc_ = XCreateGC(display_, static_cast<::Window>(xid_), 0, nullptr);
  if (gc_ == nullptr) throw ToolkitError("cannot draw on the window " + name_);
  XSetGraphicsExposures(display_, gc_, False);
  surface_ = cairo_xlib_surface_create(display_, static_cast<::Window>(xid_), visual_, clientWidth_,
                                       clientHeight_);
  cairo_ = cairo_create(surface_);
  if (cairo_status(cairo_) != CAIRO_STATUS_SUCCESS) {
    throw ToolkitError("cannot draw on the window " + name_);
  }
}

void GkForm::BuildControls(const FormDesign& design) {
  std::vector<const ControlDesign*> buttons;
  for (const ControlDesign& control : design.controls) {
    switch (control.kind) {
      case ControlKind::kPictureBox:
        pictures_.push_back(std::make_unique<GkPictureBox>(*this, control));
        break;
      case ControlKind::kLabel:
        labels_.push_back(std::make_unique<GkLabel>(*this, control));
        break;
      case ControlKind::kShape:
        shapes_.push_back(std::make_unique<GkShape>(*this, control));
        break;
      case ControlKind::kTimer: {
        auto timer = std::make_unique<Timer>(Timer{this, std::string(control.name), 0, false});
        if (control.intervalMs > 0) {
          timer->source =
              g_timeout_add(static_cast<guint>(control.intervalMs), &Signals::Tick, timer.get());
        }
        timers_.push_back(std::move(timer));
        break;
      }
      case ControlKind::kCommandButton:
        buttons.push_back(&control);
        break;
      case ControlKind::kCommonDialog:
        dialogs_.push_back(std::make_unique<GkColourDialog>(*this, control.name));
        break;
    }
  }
  if (buttons.empty()) return;

  // Buttons are made in tab order, which is also their focus order.
  std::stable_sort(
      buttons.begin(), buttons.end(),
      [](const ControlDesign* a, const ControlDesign* b) { return a->tabIndex < b->tabIndex; });
  fixed_ = gtk_fixed_new();
  gtk_container_add(GTK_CONTAINER(window_), fixed_);
  gtk_widget_show(fixed_);
  for (const ControlDesign* control : buttons) {
    const std::string caption(control->caption);
    GtkWidget* widget = gtk_button_new_with_label(caption.c_str());
    gtk_widget_set_size_request(widget, PixelsFromTwipsX(control->width),
                                PixelsFromTwipsY(control->height));
    gtk_fixed_put(GTK_FIXED(fixed_), widget, PixelsFromTwipsX(control->left),
                  PixelsFromTwipsY(control->top));
    if (control->visible) gtk_widget_show(widget);
    buttons_.push_back(std::make_unique<Button>(
        Button{this, std::string(control->name), widget, control->isDefault, control->isCancel}));
    g_signal_connect(widget, "clicked", G_CALLBACK(&Signals::Clicked), buttons_.back().get());
  }
}

void GkForm::Load() {
  ready_ = true;
  Deliver([&] { events_.OnCreate(*this); });
  Deliver([&] { events_.OnLoad(); });
}

void GkForm::ReleaseResources() {
  for (const auto& timer : timers_) {
    if (timer->source != 0) g_source_remove(timer->source);
    timer->source = 0;
  }
  for (const auto& picture : pictures_) picture->Release();
  ReleaseDrawing();
}

void GkForm::ReleaseDrawing() {
  if (cairo_ != nullptr) cairo_destroy(cairo_);
  if (surface_ != nullptr) cairo_surface_destroy(surface_);
  if (gc_ != nullptr) XFreeGC(display_, gc_);
  cairo_ = nullptr;
  surface_ = nullptr;
  gc_ = nullptr;
}

// --- Form operations ---------------------------------------------------------------

std::string GkForm::Caption() const {
  const char* title = gtk_window_get_title(LiveWindow());
  return title != nullptr ? std::string(title) : std::string();
}

void GkForm::SetCaption(std::string_view text) {
  const std::string title(text);
  gtk_window_set_title(LiveWindow(), title.c_str());
}

Handle GkForm::hWnd() {
  LiveWindow();
  return xid_;
}

WindowState GkForm::State() const {
  LiveWindow();
  if (iconified_) return WindowState::kMinimized;
  if (maximized_) return WindowState::kMaximized;
  return WindowState::kNormal;
}

bool GkForm::Visible() const { return gtk_widget_get_visible(GTK_WIDGET(LiveWindow())) != FALSE; }

float GkForm::ScaleWidth() const {
  LiveWindow();
  return static_cast<float>(clientWidth_);
}

float GkForm::ScaleHeight() const {
  LiveWindow();
  return static_cast<float>(clientHeight_);
}

// The frame as Vimo last placed it or the window manager last reported it; while the
// window is minimised, its place before.
Rect GkForm::NormalRect() const {
  LiveWindow();
  return outer_;
}

void GkForm::MoveOuter(const Rect& outer) {
  LiveWindow();
  if (iconified_ || maximized_) {
    throw ToolkitError("a minimised or maximised window cannot be moved or sized");
  }
  if (outer.right < outer.left || outer.bottom < outer.top) {
    throw ToolkitError("invalid size for the window " + name_);
  }
  MoveTo(outer);
}

// The frame's top-left corner goes where asked (GTK places the frame for the default
// north-west gravity) and the client area takes the rest less the frame's borders, at
// least one pixel. A new size runs the resize event now, with the size already known;
// the configure notice that follows finds it unchanged.
void GkForm::MoveTo(const Rect& outer) {
  const int width = std::max(1, (outer.right - outer.left) - frameLeft_ - frameRight_);
  const int height = std::max(1, (outer.bottom - outer.top) - frameTop_ - frameBottom_);
  const bool moved = outer.left != outer_.left || outer.top != outer_.top;
  const bool sized = width != clientWidth_ || height != clientHeight_;
  if (!frameKnown_) {
    wantedMove_ = wantedMove_ || moved;
    wantedSize_ = wantedSize_ || sized;
    wanted_ = outer;
  }
  outer_ = {outer.left, outer.top, outer.left + frameLeft_ + width + frameRight_,
            outer.top + frameTop_ + height + frameBottom_};
  if (moved) gtk_window_move(GTK_WINDOW(window_), outer.left, outer.top);
  if (!sized) return;
  gtk_window_resize(GTK_WINDOW(window_), width, height);
  sizeAsked_ = g_get_monotonic_time();
  clientWidth_ = width;
  clientHeight_ = height;
  ClientResized();
  if (!showing_) Deliver([&] { events_.OnResize(); });
}

// The frame around the client area as the window manager reports it in
// _NET_FRAME_EXTENTS (left, right, top, bottom); false where it has not (yet).
bool GkForm::ReadFrameExtents() {
  long sides[4] = {};
  if (ReadCardinals(display_, static_cast<::Window>(xid_), "_NET_FRAME_EXTENTS", sides, 4) != 4) {
    return false;
  }
  frameLeft_ = static_cast<int>(std::clamp(sides[0], 0L, 4096L));
  frameRight_ = static_cast<int>(std::clamp(sides[1], 0L, 4096L));
  frameTop_ = static_cast<int>(std::clamp(sides[2], 0L, 4096L));
  frameBottom_ = static_cast<int>(std::clamp(sides[3], 0L, 4096L));
  return true;
}

// Before the window shows: a window manager that offers it tells the frame it will
// give the window (_NET_REQUEST_FRAME_EXTENTS), so that the load handler's sizes come
// out as they will be. It has a quarter of a second to answer.
void GkForm::AskFrameExtents() {
  GdkScreen* screen = gtk_widget_get_screen(window_);
  if (gdk_x11_screen_supports_net_wm_hint(
          screen, gdk_atom_intern_static_string("_NET_REQUEST_FRAME_EXTENTS")) == FALSE) {
    return;
  }
  XEvent request{};
  request.xclient.type = ClientMessage;
  request.xclient.window = static_cast<::Window>(xid_);
  request.xclient.message_type = XInternAtom(display_, "_NET_REQUEST_FRAME_EXTENTS", False);
  request.xclient.format = 32;
  XSendEvent(display_, DefaultRootWindow(display_), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &request);
  XFlush(display_);
  const gint64 until = g_get_monotonic_time() + kFrameWait;
  while (!ReadFrameExtents()) {
    if (g_get_monotonic_time() > until) return;
    g_usleep(5000);
  }
  frameKnown_ = true;
}

void GkForm::LearnFrame(int width, int height) {
  ReadFrameExtents();
  int x = 0;
  int y = 0;
  gdk_window_get_origin(gtk_widget_get_window(window_), &x, &y);
  outer_ = {x - frameLeft_, y - frameTop_, x + width + frameRight_, y + height + frameBottom_};
}

// Where the window really is: the user or the window manager moved or sized it.
void GkForm::Configured(const GdkEventConfigure& event) {
  if (window_ == nullptr || iconified_) return;
  LearnFrame(event.width, event.height);
  if (event.width == clientWidth_ && event.height == clientHeight_) {
    sizeAsked_ = 0;  // the size asked for has arrived
    return;
  }
  // Notices of sizes from before the one asked for come in after the request; the size
  // asked for stands until it arrives, or for a second, should the window manager
  // have settled on another one.
  if (sizeAsked_ != 0 && g_get_monotonic_time() - sizeAsked_ < kSizeWait) return;
  sizeAsked_ = 0;
  clientWidth_ = std::max(1, event.width);
  clientHeight_ = std::max(1, event.height);
  ClientResized();
  if (!showing_) Deliver([&] { events_.OnResize(); });
}

// The frame is known once the window shows: a place given before, reckoned without it,
// is given again, so that the frame lands where it was asked to.
void GkForm::Mapped() {
  if (window_ == nullptr || frameKnown_) return;
  frameKnown_ = true;
  if (sizeAsked_ != 0) sizeAsked_ = g_get_monotonic_time();  // sent only as it maps
  GdkWindow* gdkWindow = gtk_widget_get_window(window_);
  LearnFrame(gdk_window_get_width(gdkWindow), gdk_window_get_height(gdkWindow));
  if (!wantedMove_ && !wantedSize_) return;
  // What was asked for, the rest as it is now.
  Rect r = outer_;
  if (wantedMove_) r = {wanted_.left, wanted_.top, wanted_.left, wanted_.top};
  const int width =
      wantedSize_ ? wanted_.right - wanted_.left : frameLeft_ + clientWidth_ + frameRight_;
  const int height =
      wantedSize_ ? wanted_.bottom - wanted_.top : frameTop_ + clientHeight_ + frameBottom_;
  r.right = r.left + width;
  r.bottom = r.top + height;
  wantedMove_ = false;
  wantedSize_ = false;
  if (!iconified_ && !maximized_) MoveTo(r);
}

void GkForm::StateChanged(const GdkEventWindowState& event) {
  const bool iconified = (event.new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
  const bool maximized = (event.new_window_state & GDK_WINDOW_STATE_MAXIMIZED) != 0;
  if (iconified == iconified_ && maximized == maximized_) return;
  iconified_ = iconified;
  maximized_ = maximized;
  Deliver([&] { events_.OnResize(); });
}

// The first Show delivers the resize event even when a load handler has already made
// the window visible (SetWindowPos with SWP_SHOWWINDOW); later ones only present it.
void GkForm::Show() {
  GtkWindow* window = LiveWindow();
  if (shown_) {
    gtk_widget_show(window_);
    gtk_window_present(window);
    return;
  }
  shown_ = true;
  Deliver([&] { events_.OnResize(); });
  if (window_ == nullptr) return;  // the resize handler unloaded the form
  showing_ = true;
  gtk_widget_show(window_);
  showing_ = false;
  if (window_ == nullptr) return;
  if (!buttons_.empty()) gtk_widget_grab_focus(buttons_.front()->widget);
}

// Unloading a form that is already unloaded does nothing.
void GkForm::Unload() { RunUnload(); }

void GkForm::RunUnload() {
  if (unloading_ || window_ == nullptr) return;
  unloading_ = true;
  int cancel = 0;
  Deliver([&] { events_.OnUnload(cancel); });
  unloading_ = false;
  if (cancel == 0 && window_ != nullptr) gtk_widget_destroy(window_);
}

void GkForm::Discard() {
  ready_ = false;
  if (settle_ != 0) g_source_remove(std::exchange(settle_, 0U));
  if (window_ != nullptr) gtk_widget_destroy(window_);
}

// The window is gone (unloaded, or with its owner): no more events, no more drawing.
void GkForm::Destroyed() {
  if (window_ == nullptr) return;
  ready_ = false;
  router_.Reset();
  ReleaseResources();
  window_ = nullptr;
  fixed_ = nullptr;
  xid_ = 0;
  tipLabel_ = nullptr;
  toolkit_.FormGone(*this);
}

void GkForm::ShowModeless(Form& owner) {
  GtkWindow* window = LiveWindow();
  GkForm* ownerForm = toolkit_.FormOf(owner.hWnd());
  if (ownerForm != nullptr && ownerForm != this &&
      gtk_window_get_transient_for(window) != ownerForm->Window()) {
    gtk_window_set_transient_for(window, ownerForm->Window());
    gtk_window_set_destroy_with_parent(window, TRUE);
  }
  Show();
}

// --- Placement for the system side (SetWindowPos) -----------------------------------

bool GkForm::Place(Handle insertAfter, int x, int y, int cx, int cy, std::uint32_t flags) {
  if (window_ == nullptr) return false;
  const bool move = (flags & win::SWP_NOMOVE) == 0;
  const bool size = (flags & win::SWP_NOSIZE) == 0;
  bool placed = true;
  if (move || size) {
    if (iconified_ || maximized_) {
      placed = false;
    } else {
      Rect r = outer_;
      if (move) r = {x, y, x + (r.right - r.left), y + (r.bottom - r.top)};
      if (size) r = {r.left, r.top, r.left + std::max(0, cx), r.top + std::max(0, cy)};
      MoveTo(r);
    }
  }
  if (window_ == nullptr) return false;  // a resize handler unloaded the form
  if ((flags & win::SWP_NOZORDER) == 0) {
    if (insertAfter == win::HWND_TOPMOST) {
      SetKeepAbove(true);
    } else if (insertAfter == win::HWND_NOTOPMOST) {
      SetKeepAbove(false);
    } else if (insertAfter == win::HWND_TOP) {
      gdk_window_raise(gtk_widget_get_window(window_));
    }
  }
  if ((flags & win::SWP_SHOWWINDOW) != 0) gtk_widget_show(window_);
  return placed;
}

// Kept above other windows by the window manager (_NET_WM_STATE_ABOVE). Where no window
// manager handles that state, the window is raised and the state written on the window
// by Vimo itself, so that it can still be seen there.
void GkForm::SetKeepAbove(bool above) {
  gtk_window_set_keep_above(GTK_WINDOW(window_), above ? TRUE : FALSE);
  GdkWindow* gdkWindow = gtk_widget_get_window(window_);
  if (above) gdk_window_raise(gdkWindow);
  GdkScreen* screen = gtk_widget_get_screen(window_);
  if (gdk_x11_screen_supports_net_wm_hint(
          screen, gdk_atom_intern_static_string("_NET_WM_STATE_ABOVE")) != FALSE ||
      !gtk_widget_get_mapped(window_)) {
    return;  // the window manager, or GDK as the window maps, records the state
  }
  const Atom state = XInternAtom(display_, "_NET_WM_STATE", False);
  const Atom aboveAtom = XInternAtom(display_, "_NET_WM_STATE_ABOVE", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::vector<Atom> atoms;
  if (XGetWindowProperty(display_, static_cast<::Window>(xid_), state, 0, 64, False, XA_ATOM, &type,
                         &format, &count, &after, &data) == Success &&
      data != nullptr) {
    if (format == 32) {
      const auto* list = reinterpret_cast<const unsigned long*>(data);
      for (unsigned long i = 0; i < count; ++i) {
        if (list[i] != aboveAtom) atoms.push_back(static_cast<Atom>(list[i]));
      }
    }
    XFree(data);
  }
  if (above) atoms.push_back(aboveAtom);
  XChangeProperty(display_, static_cast<::Window>(xid_), state, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(atoms.data()),
                  static_cast<int>(atoms.size()));
  XFlush(display_);
}

}  // namespace vimo::x11
