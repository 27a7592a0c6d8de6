// Vimo's entry point on Linux: the X11 system side, the GTK 3 toolkit and the magnifier
// window, on one X connection. On a Wayland desktop the windows stay on X11 (Xwayland),
// and the screen and the pointer come from the desktop's screen-cast portal.
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <gtk/gtk.h>

#include <sys/stat.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "platform/profile_file.h"
#include "platform/wayland/pipewire_cast.h"
#include "platform/wayland/portal.h"
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

// A token of the portal's is a short run of printable characters; anything else in the
// file is not passed on.
std::string ReadToken(const std::string& path) {
  if (path.empty()) return {};
  std::string token = vimo::ReadWholeFile(path).value_or("");
  while (!token.empty() && (token.back() == '\n' || token.back() == '\r' || token.back() == ' ')) {
    token.pop_back();
  }
  if (token.size() > 256) return {};
  for (const char c : token) {
    if (c <= ' ' || c > '~') return {};
  }
  return token;
}

void KeepToken(const std::string& path, const std::string& token) {
  if (path.empty() || token.empty() || ReadToken(path) == token) return;
  // ~/.local/state/vimo, made as needed, the user's alone.
  for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
    mkdir(path.substr(0, at).c_str(), 0700);
  }
  if (!vimo::ReplaceWholeFile(path, token + "\n")) {
    std::fprintf(stderr,
                 "vimo: could not keep the desktop's permission to share the screen in %s; it "
                 "will ask again at the next start\n",
                 path.c_str());
  }
}

// The portal's cast of every monitor, its first frames in; on failure the line is printed
// and the cast is none.
std::unique_ptr<vimo::wayland::PipeWireCast> StartCast(vimo::wayland::Portal& portal) {
  using vimo::wayland::PortalStart;
  const std::string path = vimo::wayland::TokenPath();
  const PortalStart start = portal.Start(ReadToken(path));
  if (start.outcome != PortalStart::Outcome::kStarted) {
    std::fprintf(stderr, "vimo: %s\n", vimo::wayland::PortalMessage(start).c_str());
    return nullptr;
  }
  KeepToken(path, start.token);
  auto cast = std::make_unique<vimo::wayland::PipeWireCast>(start.fd, start.streams);
  std::string why;
  bool ended = false;
  cast->OnEnded([&](const std::string& reason) {
    ended = true;
    why = reason;
  });
  if (!cast->Connected(&why)) {
    std::fprintf(stderr, "vimo: the desktop could not share the screen: %s\n", why.c_str());
    return nullptr;
  }
  cast->AwaitFrames(3000);  // without them the first view would be black
  if (ended) {
    std::fprintf(stderr, "vimo: %s\n", why.c_str());
    return nullptr;
  }
  cast->OnEnded(nullptr);
  return cast;
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

  // On a Wayland desktop, the screen is the portal's to give.
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  vimo::wayland::Portal portal;
  std::unique_ptr<vimo::wayland::PipeWireCast> cast;
  if (wayland != nullptr && *wayland != '\0') {
    cast = StartCast(portal);
    if (cast == nullptr) return kNoScreen;
  }

  vimo::x11::GkToolkit toolkit;
  if (cast != nullptr) {
    cast->OnEnded([&toolkit](const std::string& why) { CastEnded(why, &toolkit); });
    portal.OnClosed([&toolkit] { CastEnded("the desktop stopped sharing the screen", &toolkit); });
  }
  vimo::x11::X11Api api(toolkit.XDisplay(), toolkit, cast.get());
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
