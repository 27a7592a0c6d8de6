// The window toolkit over GTK 3 on X11: forms built from designs, the event dispatcher,
// the screen, message boxes and the main loop. It also answers what the system side
// (X11Api) asks of Vimo's windows (WindowHost).
#pragma once

#include <X11/Xlib.h>
#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/dispatcher.h"
#include "platform/toolkit.h"
#include "platform/x11/x11_windows.h"

namespace vimo::x11 {

class GkForm;

// The primary monitor in twips; twips per pixel from the X resource Xft.dpi (96 DPI
// where it is not set), one scale for every monitor: no window is told of another.
class GkScreen final : public Screen {
 public:
  explicit GkScreen(Display* display);
  float Width() const override;
  float Height() const override;
  float TwipsPerPixelX() const override { return twipsPerPixel_; }
  float TwipsPerPixelY() const override { return twipsPerPixel_; }
  double Dpi() const { return dpi_; }

 private:
  Display* display_;
  double dpi_ = 96.0;
  float twipsPerPixel_ = 15.0F;
};

// The DPI an X resource string gives for Xft.dpi, or 0 where it has none.
double XftDpi(const char* resources);

class GkToolkit final : public Toolkit, public WindowHost {
 public:
  // Needs gtk_init to have run on an X11 display.
  GkToolkit();
  ~GkToolkit() override;
  GkToolkit(const GkToolkit&) = delete;
  GkToolkit& operator=(const GkToolkit&) = delete;

  // A modal GtkMessageDialog owned by the active Vimo window; "\r\n" breaks lines.
  int MsgBox(std::string_view text, int style, std::string_view title) override;
  Screen& GetScreen() override { return screen_; }
  Form& LoadForm(const FormDesign& design, FormEvents& events) override;
  int VersionMajor() const override;
  int VersionMinor() const override;
  int CurrentYear() const override;

  // WindowHost.
  bool OuterRect(Handle hwnd, Rect* rect) override;
  bool Place(Handle hwnd, Handle insertAfter, int x, int y, int cx, int cy,
             std::uint32_t flags) override;
  bool OpenUri(Handle owner, std::string_view uri) override;
  Overdrawn TakeOverdrawn(Handle hwnd) override;
  void PutOver(Handle hwnd, const Overdrawn& put) override;
  // The pointer's place on the screen from the system side, where it is not the X
  // server's to tell (a Wayland desktop); without a source, false.
  void SetPointerSource(std::function<bool(Point*)> source) { pointerSource_ = std::move(source); }
  bool PointerAt(Point* at) const { return pointerSource_ && pointerSource_(at); }

  // Runs the main loop until the first form is unloaded; the exit code.
  int Run();
  // Ends event delivery and closes every window without its unload event; for the end
  // of the program, before the logic the forms call into goes.
  void CloseAll();
  // True while some form still has its window.
  bool HasLiveForms() const;
  // The first form loaded (the main window), or null.
  GkForm* MainForm() const { return main_; }

  // For the forms.
  Display* XDisplay() const { return display_; }
  Dispatcher& Events() { return dispatcher_; }
  const GkScreen& ScreenMetrics() const { return screen_; }
  bool Delivering() const { return delivering_; }
  bool IsMainForm(const GkForm& form) const { return main_ == &form; }
  GdkCursor* GreenPointer() const { return greenPointer_; }
  // The live form whose top-level window is `hwnd`, or null.
  GkForm* FormOf(Handle hwnd) const;
  // The window a dialog of Vimo's is owned by: the active Vimo window, else the main one.
  GtkWindow* ActiveWindow() const;
  // A form's window went away.
  void FormGone(const GkForm& form);

 private:
  static void DebugLog(std::string_view what);

  Display* display_;
  GkScreen screen_;
  Dispatcher dispatcher_{&DebugLog};
  std::vector<std::unique_ptr<GkForm>> forms_;  // unloaded forms stay as husks
  GkForm* main_ = nullptr;
  GdkCursor* greenPointer_ = nullptr;
  GMainLoop* loop_ = nullptr;
  bool mainGone_ = false;
  bool delivering_ = true;
  std::function<bool(Point*)> pointerSource_;
};

// Vimo's own pointer (platform/green_pointer.h) for `display`; null where none can be made.
GdkCursor* CreateGreenPointer(GdkDisplay* display);
// Vimo's icon, drawn in code: a magnifying glass. The caller owns the reference.
GdkPixbuf* CreateVimoIcon(int size);

}  // namespace vimo::x11
