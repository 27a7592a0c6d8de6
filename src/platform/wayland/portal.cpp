#include "platform/wayland/portal.h"

#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

namespace vimo::wayland {
namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kScreenCast = "org.freedesktop.portal.ScreenCast";

// The portal's numbers: source types, cursor modes, persist modes.
constexpr guint32 kMonitors = 1;
constexpr guint32 kCursorMetadata = 4;
constexpr guint32 kPersistUntilRevoked = 2;
constexpr guint32 kPersistSince = 4;  // the interface version that has persist_mode

// A GLib object or error let go at the end of the scope.
struct Unref {
  void operator()(GVariant* v) const { g_variant_unref(v); }
  void operator()(GError* e) const { g_error_free(e); }
  void operator()(GUnixFDList* l) const { g_object_unref(l); }
};
template <typename T>
using Owned = std::unique_ptr<T, Unref>;

// A request's answer: the portal's Response signal, or the portal gone.
struct Answer {
  GMainLoop* loop = nullptr;
  bool done = false;
  guint32 code = 2;
  Owned<GVariant> results;
};

void OnResponse(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                GVariant* parameters, gpointer data) {
  auto* answer = static_cast<Answer*>(data);
  if (answer->done) return;
  GVariant* results = nullptr;
  g_variant_get(parameters, "(u@a{sv})", &answer->code, &results);
  answer->results.reset(results);
  answer->done = true;
  g_main_loop_quit(answer->loop);
}

void OnVanished(GDBusConnection*, const gchar*, gpointer data) {
  auto* answer = static_cast<Answer*>(data);
  if (answer->done) return;
  answer->done = true;
  answer->code = 2;
  g_main_loop_quit(answer->loop);
}

std::string Text(GError* error) { return error != nullptr ? error->message : "no answer"; }

bool NoSuchService(GError* error) {
  return g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
         g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER) ||
         g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_INTERFACE) ||
         g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY) ||
         g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD) ||
         g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS);
}

std::string Trimmed(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string PortalMessage(const PortalStart& start) {
  switch (start.outcome) {
    case PortalStart::Outcome::kStarted:
      return {};
    case PortalStart::Outcome::kRefused:
      return "the desktop did not allow Vimo to see the screen (the request to share it was "
             "refused)";
    case PortalStart::Outcome::kNoPortal:
      return "this Wayland desktop has no screen-cast portal (org.freedesktop.portal.ScreenCast), "
             "so Vimo cannot see the screen: " +
             start.detail;
    case PortalStart::Outcome::kNoPointer:
      return "this desktop's screen-cast portal does not tell where the pointer is, so Vimo "
             "cannot follow it; log in to an X11 session, or to GNOME or KDE on Wayland";
    case PortalStart::Outcome::kFailed:
      break;
  }
  return "the desktop could not share the screen: " + start.detail;
}

std::string TokenPath() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return Trimmed(state) + "/vimo/screencast-token";
  std::string home;
  if (const char* h = std::getenv("HOME"); h != nullptr && h[0] == '/') {
    home = h;
  } else if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr) {
    home = user->pw_dir;
  }
  if (home.empty() || home[0] != '/') return {};
  return Trimmed(home) + "/.local/state/vimo/screencast-token";
}

struct Portal::Impl {
  GDBusConnection* bus = nullptr;
  std::string sender;   // the unique name as request paths spell it
  std::string session;  // the session's object path, once made
  unsigned serial = 0;
  guint closedSignal = 0;
  std::function<void()> closed;

  // Calls a ScreenCast method whose answer comes as a Response signal. `args` ends in the
  // options, to which the handle token is added; the results, or none with `start` told why.
  Owned<GVariant> Ask(const char* method, GVariantBuilder* head, GVariantBuilder* options,
                      PortalStart& start) {
    const std::string token = "vimo" + std::to_string(++serial);
    const std::string path = std::string(kPortalPath) + "/request/" + sender + "/" + token;
    g_variant_builder_add(options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    g_variant_builder_add_value(head, g_variant_builder_end(options));
    Answer answer;
    answer.loop = g_main_loop_new(nullptr, FALSE);
    const guint response = g_dbus_connection_signal_subscribe(
        bus, kPortal, "org.freedesktop.portal.Request", "Response", path.c_str(), nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, &OnResponse, &answer, nullptr);
    const guint watch = g_bus_watch_name_on_connection(bus, kPortal, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                                       nullptr, &OnVanished, &answer, nullptr);
    GError* error = nullptr;
    Owned<GVariant> reply(g_dbus_connection_call_sync(
        bus, kPortal, kPortalPath, kScreenCast, method, g_variant_builder_end(head),
        G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error));
    if (reply == nullptr) {
      answer.done = true;
      start.detail = std::string(method) + ": " + Text(error);
      g_clear_error(&error);
    }
    if (!answer.done) g_main_loop_run(answer.loop);
    g_bus_unwatch_name(watch);
    g_dbus_connection_signal_unsubscribe(bus, response);
    g_main_loop_unref(answer.loop);
    if (reply == nullptr) return nullptr;
    if (answer.code == 0 && answer.results != nullptr) return std::move(answer.results);
    start.outcome =
        answer.code == 1 ? PortalStart::Outcome::kRefused : PortalStart::Outcome::kFailed;
    if (start.detail.empty()) {
      start.detail =
          std::string(method) + (answer.results == nullptr ? " got no answer: the portal went away"
                                                           : " was not answered with success");
    }
    return nullptr;
  }

  std::optional<guint32> Property(const char* name, PortalStart& start) {
    GError* error = nullptr;
    Owned<GVariant> reply(g_dbus_connection_call_sync(
        bus, kPortal, kPortalPath, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", kScreenCast, name), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, -1,
        nullptr, &error));
    if (reply == nullptr) {
      start.outcome =
          NoSuchService(error) ? PortalStart::Outcome::kNoPortal : PortalStart::Outcome::kFailed;
      start.detail = Text(error);
      g_clear_error(&error);
      return std::nullopt;
    }
    GVariant* value = nullptr;
    g_variant_get(reply.get(), "(v)", &value);
    const Owned<GVariant> held(value);
    if (!g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32)) return 0U;
    return g_variant_get_uint32(value);
  }
};

Portal::Portal() : impl_(new Impl) {}

Portal::~Portal() {
  if (impl_->bus != nullptr) {
    if (impl_->closedSignal != 0) {
      g_dbus_connection_signal_unsubscribe(impl_->bus, impl_->closedSignal);
    }
    if (!impl_->session.empty()) {
      Owned<GVariant> done(g_dbus_connection_call_sync(
          impl_->bus, kPortal, impl_->session.c_str(), "org.freedesktop.portal.Session", "Close",
          nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, nullptr));
    }
    g_object_unref(impl_->bus);
  }
  delete impl_;
}

void Portal::OnClosed(std::function<void()> closed) { impl_->closed = std::move(closed); }

PortalStart Portal::Start(const std::string& restoreToken) {
  PortalStart start;
  GError* error = nullptr;
  impl_->bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (impl_->bus == nullptr) {
    start.outcome = PortalStart::Outcome::kNoPortal;
    start.detail = "no session bus: " + Text(error);
    g_clear_error(&error);
    return start;
  }
  std::string sender = g_dbus_connection_get_unique_name(impl_->bus) + 1;  // without ':'
  for (char& c : sender) c = c == '.' ? '_' : c;
  impl_->sender = sender;

  const std::optional<guint32> modes = impl_->Property("AvailableCursorModes", start);
  if (!modes) return start;
  if ((*modes & kCursorMetadata) == 0) {
    start.outcome = PortalStart::Outcome::kNoPointer;
    return start;
  }
  const guint32 version = impl_->Property("version", start).value_or(0);

  GVariantBuilder head;
  GVariantBuilder options;
  g_variant_builder_init(&head, G_VARIANT_TYPE_TUPLE);
  g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
  g_variant_builder_add(&options, "{sv}", "session_handle_token", g_variant_new_string("vimo"));
  Owned<GVariant> made = impl_->Ask("CreateSession", &head, &options, start);
  const char* session = nullptr;
  if (made == nullptr || !g_variant_lookup(made.get(), "session_handle", "&s", &session)) {
    if (made != nullptr) start.detail = "CreateSession gave no session";
    return start;
  }
  impl_->session = session;
  impl_->closedSignal = g_dbus_connection_signal_subscribe(
      impl_->bus, kPortal, "org.freedesktop.portal.Session", "Closed", session, nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE,
      [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
         gpointer data) {
        auto* impl = static_cast<Impl*>(data);
        impl->session.clear();  // nothing left to close
        if (impl->closed) std::exchange(impl->closed, nullptr)();
      },
      impl_, nullptr);

  g_variant_builder_init(&head, G_VARIANT_TYPE_TUPLE);
  g_variant_builder_add(&head, "o", session);
  g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
  g_variant_builder_add(&options, "{sv}", "types", g_variant_new_uint32(kMonitors));
  g_variant_builder_add(&options, "{sv}", "multiple", g_variant_new_boolean(TRUE));
  g_variant_builder_add(&options, "{sv}", "cursor_mode", g_variant_new_uint32(kCursorMetadata));
  if (version >= kPersistSince) {
    g_variant_builder_add(&options, "{sv}", "persist_mode",
                          g_variant_new_uint32(kPersistUntilRevoked));
    if (!restoreToken.empty()) {
      g_variant_builder_add(&options, "{sv}", "restore_token",
                            g_variant_new_string(restoreToken.c_str()));
    }
  }
  if (impl_->Ask("SelectSources", &head, &options, start) == nullptr) return start;

  g_variant_builder_init(&head, G_VARIANT_TYPE_TUPLE);
  g_variant_builder_add(&head, "o", session);
  g_variant_builder_add(&head, "s", "");
  g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
  const Owned<GVariant> started = impl_->Ask("Start", &head, &options, start);
  if (started == nullptr) return start;
  const char* token = nullptr;
  if (g_variant_lookup(started.get(), "restore_token", "&s", &token)) start.token = token;
  GVariantIter* streams = nullptr;
  if (g_variant_lookup(started.get(), "streams", "a(ua{sv})", &streams)) {
    guint32 node = 0;
    GVariant* properties = nullptr;
    while (g_variant_iter_next(streams, "(u@a{sv})", &node, &properties)) {
      PortalStream stream;
      stream.node = node;
      g_variant_lookup(properties, "position", "(ii)", &stream.position.x, &stream.position.y);
      g_variant_lookup(properties, "size", "(ii)", &stream.width, &stream.height);
      g_variant_unref(properties);
      start.streams.push_back(stream);
    }
    g_variant_iter_free(streams);
  }
  if (start.streams.empty()) {
    start.outcome = PortalStart::Outcome::kRefused;
    start.detail = "no monitor was chosen";
    return start;
  }

  GUnixFDList* fds = nullptr;
  Owned<GVariant> remote(g_dbus_connection_call_with_unix_fd_list_sync(
      impl_->bus, kPortal, kPortalPath, kScreenCast, "OpenPipeWireRemote",
      g_variant_new("(o@a{sv})", session, g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)),
      G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &fds, nullptr, &error));
  const Owned<GUnixFDList> fdList(fds);
  if (remote == nullptr || fds == nullptr) {
    start.detail = "OpenPipeWireRemote: " + Text(error);
    g_clear_error(&error);
    return start;
  }
  gint32 index = 0;
  g_variant_get(remote.get(), "(h)", &index);
  start.fd = g_unix_fd_list_get(fds, index, &error);
  if (start.fd < 0) {
    start.detail = "OpenPipeWireRemote: " + Text(error);
    g_clear_error(&error);
    return start;
  }
  start.outcome = PortalStart::Outcome::kStarted;
  return start;
}

}  // namespace vimo::wayland
