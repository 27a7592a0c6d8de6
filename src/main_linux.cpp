// Vimo's entry point on Linux: the X11 system side, the GTK 3 toolkit and the magnifier
// window, on one X connection. On a Wayland desktop the windows stay on X11 (Xwayland),
// and the screen and the pointer come from the desktop's screen-cast portal.
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "platform/wayland/cast_start.h"
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

// The exit code of a screen-sharing failure.
constexpr int kNoScreen = 3;

bool g_castEnded = false;

// The cast was taken away (the user stopped sharing, the desktop's portal went): one line,
// and Vimo ends as when its window is closed, settings saved.
void CastEnded(const std::string& why, vimo::x11::GkToolkit* toolkit) {
  if (g_castEnded) return;
  g_castEnded = true;
  std::fprintf(stderr, "vimo: %s\n", why.c_str());
  g_idle_add(
      [](gpointer data) -> gboolean {
        OnStopSignal(data);
        return G_SOURCE_REMOVE;
      },
      toolkit);
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
          "vimo: Vimo's windows are X11 windows, and this Wayland desktop runs no Xwayland "
          "that Vimo can open (DISPLAY); start Xwayland, or log in to an X11 session.\n",
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

  // On a Wayland desktop, the screen is the portal's to give.
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  vimo::wayland::Portal portal;
  std::unique_ptr<vimo::wayland::PipeWireCast> cast;
  if (wayland != nullptr && *wayland != '\0') {
    std::string failure;
    cast = vimo::wayland::StartCast(portal, &failure);
    if (cast == nullptr) {
      std::fprintf(stderr, "vimo: %s\n", failure.c_str());
      return kNoScreen;
    }
  }

  vimo::x11::GkToolkit toolkit;
  if (cast != nullptr) {
    cast->OnEnded([&toolkit](const std::string& why) { CastEnded(why, &toolkit); });
    portal.OnClosed([&toolkit] { CastEnded("the desktop stopped sharing the screen", &toolkit); });
  }
  vimo::x11::X11Api api(toolkit.XDisplay(), toolkit, cast.get());
  if (cast != nullptr)
    toolkit.SetPointerSource([&api](vimo::Point* at) { return api.GetCursorPos(at); });
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
    if (g_castEnded) code = kNoScreen;
    toolkit.CloseAll();  // the windows go before the logic they call into
  }
  for (const guint source : signals) g_source_remove(source);
  gdk_window_remove_filter(nullptr, &FilterEvent, &api);
  return code;
}
