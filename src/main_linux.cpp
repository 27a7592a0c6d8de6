// Vimo's entry point on Linux: the X11 system side, the GTK 3 toolkit and the magnifier
// window, on one X connection.
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "app/main_window.h"
#include "platform/x11/gtk_form.h"
#include "platform/x11/gtk_toolkit.h"
#include "platform/x11/x11_api.h"

namespace {

// Each event of the connection goes first to the system side, which uses up its own
// (pointer image changes, raw pointer motion).
GdkFilterReturn FilterEvent(GdkXEvent* xevent, GdkEvent* /*event*/, gpointer data) {
  auto* api = static_cast<vimo::x11::X11Api*>(data);
  try {
    if (api->HandleEvent(*static_cast<XEvent*>(xevent))) return GDK_FILTER_REMOVE;
  } catch (...) {
    // A failing event reader must not end Vimo; GTK gets the event instead.
  }
  return GDK_FILTER_CONTINUE;
}

// The session ends or the user stops Vimo: the same steps as closing the window, so the
// settings are saved.
gboolean OnStopSignal(gpointer data) {
  auto* toolkit = static_cast<vimo::x11::GkToolkit*>(data);
  try {
    if (vimo::x11::GkForm* main = toolkit->MainForm(); main != nullptr && main->Loaded()) {
      main->Unload();
    }
  } catch (...) {
    // The unload's own failures are caught by the dispatcher; nothing else may escape.
  }
  return G_SOURCE_CONTINUE;
}

// Whether an X display can be opened at all; GTK is started only then.
bool DisplayAvailable() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  XCloseDisplay(display);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // GTK on X11 in physical pixels: Vimo works in screen pixels and twips of its own.
  setenv("GDK_BACKEND", "x11", 1);
  setenv("GDK_SCALE", "1", 1);
  setenv("GDK_DPI_SCALE", "1", 1);

  if (!DisplayAvailable() || gtk_init_check(&argc, &argv) == FALSE) {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland != nullptr && *wayland != '\0') {
      std::fputs(
          "vimo: Vimo needs an X11 session (under Wayland, Xwayland shows it only X11 "
          "programs); log in to an X11 session and start it again.\n",
          stderr);
    } else {
      std::fputs("vimo: cannot open the X display\n", stderr);
    }
    return 1;
  }

  // An X error nobody trapped (a request about a window that has just gone) is not
  // worth ending Vimo for: one trap that is never taken down catches them all, while
  // GDK's and the system side's own traps inside it work as before.
  gdk_x11_display_error_trap_push(gdk_display_get_default());

  vimo::x11::GkToolkit toolkit;
  vimo::x11::X11Api api(toolkit.XDisplay(), toolkit);
  gdk_window_add_filter(nullptr, &FilterEvent, &api);
  const guint signals[] = {
      g_unix_signal_add(SIGTERM, &OnStopSignal, &toolkit),
      g_unix_signal_add(SIGINT, &OnStopSignal, &toolkit),
      g_unix_signal_add(SIGHUP, &OnStopSignal, &toolkit),
  };

  int code = 1;
  {
    vimo::MainWindow app(api, toolkit);
    bool started = true;
    try {
      app.Start();
    } catch (const std::exception& failure) {
      // Start-up failed outside any event handler; carry on only if a window is up.
      std::fprintf(stderr, "vimo: the main window could not be started: %s\n", failure.what());
      started = toolkit.HasLiveForms();
    }
    code = started ? toolkit.Run() : 1;
    toolkit.CloseAll();  // the windows go before the logic they call into
  }
  for (const guint source : signals) g_source_remove(source);
  gdk_window_remove_filter(nullptr, &FilterEvent, &api);
  return code;
}
