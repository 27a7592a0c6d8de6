// vimo_pattern_x11: the helper the end-to-end driver (run_e2e.py --target linux or wayland)
// runs next to the native vimo, over Xlib alone: the same commands and JSON state as
// vimo_pattern.exe (pattern.cpp), for X windows.
//
// `vimo_pattern_x11 X Y W H` shows an override-redirect window at screen (X, Y), W x H,
// filled with the test pattern and with the left_ptr pointer over it (none at 0 0 0 0, as
// on Wayland, where the pattern is a Wayland window), prints {"shown": true} and then
// answers each line of stdin, a command with its arguments separated by tabs, with one line
// of JSON: the state after the command.
//   state                    only the state
//   move TITLE X Y           moves the outer corner (frame included) of the first window
//                            whose title starts with TITLE to (X, Y)
//   size TITLE W H           gives that window's client area W x H
//   close TITLE [minimized]  sends it WM_DELETE_WINDOW (iconifies it first)
//   cursor                   the state with "image": the pointer's image as XFixes reports
//                            it: "size" [w, h], "hot" [x, y] and "argb", w * h premultiplied
//                            ARGB pixels, 8 hex digits each, row by row
// The state: "ok" (the command succeeded), "cursor" (the pointer on the root window) and
// "windows", every mapped top-level window from the top down: the clients (the windows
// with WM_STATE inside the window manager's frames, or the root's children where no
// window manager runs) and the override-redirect windows (popup menus, this pattern)
// with their title (_NET_WM_NAME, else WM_NAME), class (WM_CLASS), "type" (the
// _NET_WM_WINDOW_TYPE without its prefix, in lower case: "normal", "dialog",
// "popup_menu", ...), "override", the outer ("window") and client rects on the screen as
// [left, top, right, bottom] (what shows of them: a window manager's frame as its
// _NET_FRAME_EXTENTS tell, without the invisible borders Mutter's frames have; a window's
// rect less the shadow GTK draws around it on a composited screen, its
// _GTK_FRAME_EXTENTS), "topmost" (_NET_WM_STATE_ABOVE), "foreground" (the active
// window, or the one holding the X focus) and "children" (none: GTK draws its controls in
// one X window). It ends when stdin closes.
//
// The pattern gives every screen pixel its own colour; run_e2e.py computes the same
// function (see pattern.cpp):
//   R = (x * 37) mod 256, G = (y * 59) mod 256,
//   B = 0x80 | ((x >> 8) & 7) | (((y >> 8) & 7) << 3)

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xfixes.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

Display* g_display = nullptr;
Window g_root = 0;

// A window may go while it is being looked at; its requests then fail, and that is fine.
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

Atom A(const char* name) { return XInternAtom(g_display, name, False); }

// A property's items (of 8, 16 or 32 bits as the server gives them: longs for 32).
template <typename T>
std::vector<T> Property(Window w, Atom name, Atom type) {
  Atom actual = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::vector<T> items;
  if (XGetWindowProperty(g_display, w, name, 0, 1 << 16, False, type, &actual, &format, &count,
                         &after, &data) == Success &&
      data != nullptr) {
    if (actual != None) {
      const T* first = reinterpret_cast<const T*>(data);
      items.assign(first, first + count);
    }
    XFree(data);
  }
  return items;
}

std::string Text(Window w, Atom name, Atom type) {
  const std::vector<char> bytes = Property<char>(w, name, type);
  return std::string(bytes.begin(), bytes.end());
}

std::string Title(Window w) {
  std::string title = Text(w, A("_NET_WM_NAME"), A("UTF8_STRING"));
  return title.empty() ? Text(w, XA_WM_NAME, AnyPropertyType) : title;
}

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '\\') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

const char* Json(bool b) { return b ? "true" : "false"; }

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

std::string Json(const Rect& r) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "[%d, %d, %d, %d]", r.left, r.top, r.right, r.bottom);
  return buf;
}

Rect OnScreen(Window w) {
  XWindowAttributes a{};
  Window child = 0;
  Rect r;
  if (XGetWindowAttributes(g_display, w, &a) != 0 &&
      XTranslateCoordinates(g_display, w, g_root, 0, 0, &r.left, &r.top, &child) != 0) {
    r.right = r.left + a.width;
    r.bottom = r.top + a.height;
  }
  return r;
}

// The children of `w`, the bottom one first (none where it is gone), and its parent.
std::vector<Window> Children(Window w, Window* parent = nullptr) {
  Window root = 0;
  Window up = 0;
  Window* kids = nullptr;
  unsigned count = 0;
  std::vector<Window> children;
  if (XQueryTree(g_display, w, &root, &up, &kids, &count) != 0) {
    children.assign(kids, kids + count);
    if (kids != nullptr) XFree(kids);
  }
  if (parent != nullptr) *parent = up == root ? 0 : up;
  return children;
}

// The window with WM_STATE at or below `w` (the client inside a window manager's frame).
Window ClientIn(Window w, int depth = 0) {
  if (!Property<long>(w, A("WM_STATE"), A("WM_STATE")).empty()) return w;
  Window found = 0;
  if (depth < 4) {
    const std::vector<Window> kids = Children(w);
    for (auto i = kids.rbegin(); i != kids.rend() && found == 0; ++i)
      found = ClientIn(*i, depth + 1);
  }
  return found;
}

struct TopLevel {
  Window outer;   // the root's child: a frame, or the window itself
  Window client;  // the application's window
  bool override;
};

// What shows of a window: the client with the frame its window manager tells, or less the
// shadow GTK tells; the rect on the screen where a window tells neither. Extents are
// left, right, top, bottom.
Rect Visible(const TopLevel& t, bool frame) {
  const Rect client = OnScreen(t.client);
  const auto wm = Property<long>(t.client, A("_NET_FRAME_EXTENTS"), XA_CARDINAL);
  if (frame && !t.override && wm.size() == 4) {
    return {client.left - static_cast<int>(wm[0]), client.top - static_cast<int>(wm[2]),
            client.right + static_cast<int>(wm[1]), client.bottom + static_cast<int>(wm[3])};
  }
  const Rect r = frame ? OnScreen(t.outer) : client;
  const auto gtk = Property<long>(t.client, A("_GTK_FRAME_EXTENTS"), XA_CARDINAL);
  if (gtk.size() != 4 || (frame && t.outer != t.client)) return r;
  return {r.left + static_cast<int>(gtk[0]), r.top + static_cast<int>(gtk[2]),
          r.right - static_cast<int>(gtk[1]), r.bottom - static_cast<int>(gtk[3])};
}

bool ManagerRuns() {
  const auto check = Property<long>(g_root, A("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW);
  return !check.empty() && check[0] != 0;
}

// The mapped top-level windows, the top one first.
std::vector<TopLevel> TopLevels() {
  std::vector<TopLevel> found;
  const bool managed = ManagerRuns();
  const std::vector<Window> kids = Children(g_root);
  for (auto kid = kids.rbegin(); kid != kids.rend(); ++kid) {
    XWindowAttributes a{};
    if (XGetWindowAttributes(g_display, *kid, &a) == 0 || a.map_state != IsViewable ||
        a.c_class != InputOutput) {
      continue;
    }
    if (a.override_redirect) {
      found.push_back({*kid, *kid, true});
    } else if (!managed) {
      found.push_back({*kid, *kid, false});
    } else if (const Window client = ClientIn(*kid); client != 0) {
      found.push_back({*kid, client, false});
    }
  }
  return found;
}

bool Topmost(Window w) {
  const Atom above = A("_NET_WM_STATE_ABOVE");
  for (const long s : Property<long>(w, A("_NET_WM_STATE"), XA_ATOM)) {
    if (static_cast<Atom>(s) == above) return true;
  }
  return false;
}

std::string TypeOf(Window w) {
  const auto types = Property<long>(w, A("_NET_WM_WINDOW_TYPE"), XA_ATOM);
  if (types.empty()) return "";
  char* name = XGetAtomName(g_display, static_cast<Atom>(types[0]));
  std::string type = name != nullptr ? name : "";
  if (name != nullptr) XFree(name);
  const std::string prefix = "_NET_WM_WINDOW_TYPE_";
  if (type.starts_with(prefix)) type.erase(0, prefix.size());
  for (char& c : type) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return type;
}

std::string ClassOf(Window w) {
  const std::string both = Text(w, XA_WM_CLASS, XA_STRING);  // instance NUL class NUL
  const std::size_t nul = both.find('\0');
  return nul == std::string::npos ? both : std::string(both.c_str() + nul + 1);
}

// The active window as the window manager tells it, else the one with the X focus.
Window Foreground() {
  if (ManagerRuns()) {
    const auto active = Property<long>(g_root, A("_NET_ACTIVE_WINDOW"), XA_WINDOW);
    if (!active.empty()) return static_cast<Window>(active[0]);
  }
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(g_display, &focus, &revert);
  return focus;
}

bool Contains(Window outer, Window w) {
  for (int depth = 0; w != 0 && depth < 8; ++depth) {
    if (w == outer) return true;
    Children(w, &w);
  }
  return false;
}

const TopLevel* Find(const std::vector<TopLevel>& windows, const std::string& prefix) {
  for (const TopLevel& t : windows) {
    if (Title(t.client).starts_with(prefix)) return &t;
  }
  return nullptr;
}

std::string CursorImage() {
  XFixesCursorImage* image = XFixesGetCursorImage(g_display);
  if (image == nullptr) return "null";
  char head[96];
  std::snprintf(head, sizeof head, "{\"size\": [%d, %d], \"hot\": [%d, %d], \"argb\": \"",
                image->width, image->height, image->xhot, image->yhot);
  std::string out = head;
  for (int i = 0; i < image->width * image->height; ++i) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08lx", image->pixels[i] & 0xFFFFFFFFUL);
    out += hex;
  }
  XFree(image);
  return out + "\"}";
}

std::string State(bool ok, const std::string& extra) {
  Window root = 0;
  Window child = 0;
  int x = 0;
  int y = 0;
  int wx = 0;
  int wy = 0;
  unsigned mask = 0;
  XQueryPointer(g_display, g_root, &root, &child, &x, &y, &wx, &wy, &mask);
  char head[64];
  std::snprintf(head, sizeof head, "{\"ok\": %s, \"cursor\": [%d, %d], ", Json(ok), x, y);
  std::string out = head + (extra.empty() ? "" : extra + ", ") + "\"windows\": [";
  const Window foreground = Foreground();
  for (const TopLevel& t : TopLevels()) {
    out += (out.back() == '[' ? "" : ", ") + std::string("{\"title\": ") + Json(Title(t.client)) +
           ", \"class\": " + Json(ClassOf(t.client)) + ", \"type\": " + Json(TypeOf(t.client)) +
           ", \"override\": " + Json(t.override) + ", \"window\": " + Json(Visible(t, true)) +
           ", \"client\": " + Json(Visible(t, false)) +
           ", \"topmost\": " + Json(Topmost(t.client)) + ", \"foreground\": " +
           Json(foreground != 0 && (foreground == t.client || Contains(t.outer, foreground))) +
           ", \"children\": []}";
  }
  return out + "]}";
}

void SendDelete(Window w) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = A("WM_PROTOCOLS");
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(A("WM_DELETE_WINDOW"));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(g_display, w, False, NoEventMask, &e);
}

bool Iconified(Window w) {
  const auto state = Property<long>(w, A("WM_STATE"), A("WM_STATE"));
  return !state.empty() && state[0] == IconicState;
}

bool Run(const std::vector<std::string>& arg, std::string* extra) {
  const std::string& cmd = arg[0];
  if (cmd == "state") return true;
  if (cmd == "cursor") {
    *extra = "\"image\": " + CursorImage();
    return *extra != "\"image\": null";
  }
  const std::vector<TopLevel> windows = TopLevels();
  const TopLevel* t = arg.size() > 1 ? Find(windows, arg[1]) : nullptr;
  if (t == nullptr) return false;
  if (cmd == "close") {
    if (arg.size() > 2) {
      XIconifyWindow(g_display, t->client, DefaultScreen(g_display));
      XSync(g_display, False);
      for (int i = 0; i < 100 && !Iconified(t->client); ++i) {
        struct timespec pause = {0, 20'000'000};
        nanosleep(&pause, nullptr);
      }
      if (!Iconified(t->client)) return false;
    }
    SendDelete(t->client);
    XSync(g_display, False);
    return true;
  }
  if (arg.size() != 4) return false;
  const int a = std::atoi(arg[2].c_str());
  const int b = std::atoi(arg[3].c_str());
  if (cmd == "size") {
    XResizeWindow(g_display, t->client, static_cast<unsigned>(a), static_cast<unsigned>(b));
    XSync(g_display, False);
    return true;
  }
  if (cmd != "move") return false;
  // A window manager puts the frame's corner where a north-west window asks to be; where
  // the window asks otherwise, the second move makes up the difference.
  const Window moved = t->override || t->outer == t->client ? t->outer : t->client;
  int x = a;
  int y = b;
  for (int attempt = 0; attempt < 2; ++attempt) {
    XMoveWindow(g_display, moved, x, y);
    XSync(g_display, False);
    Rect r;
    for (int i = 0; i < 50; ++i) {
      r = Visible(*t, true);
      if (r.left == x && r.top == y) break;  // where it was asked to go
      struct timespec pause = {0, 20'000'000};
      nanosleep(&pause, nullptr);
    }
    if (r.left == a && r.top == b) return true;
    x += a - r.left;
    y += b - r.top;
  }
  return false;
}

void Emit(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

// Shows the pattern in an override-redirect window at (x, y), w x h.
bool ShowPattern(int x, int y, int w, int h) {
  const int screen = DefaultScreen(g_display);
  Visual* visual = DefaultVisual(g_display, screen);
  if (w <= 0 || h <= 0 || DefaultDepth(g_display, screen) != 24 || visual->red_mask != 0xFF0000) {
    return false;
  }

  // The pattern as the window's background: the server paints it on every exposure.
  std::vector<unsigned> pixels;
  pixels.reserve(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  for (int j = y; j < y + h; ++j) {
    for (int i = x; i < x + w; ++i) {
      const unsigned r = static_cast<unsigned>(i * 37) & 0xFFU;
      const unsigned g = static_cast<unsigned>(j * 59) & 0xFFU;
      const unsigned b = 0x80U | (static_cast<unsigned>(i >> 8) & 7U) |
                         ((static_cast<unsigned>(j >> 8) & 7U) << 3);
      pixels.push_back((r << 16) | (g << 8) | b);
    }
  }
  XImage* image =
      XCreateImage(g_display, visual, 24, ZPixmap, 0, reinterpret_cast<char*>(pixels.data()),
                   static_cast<unsigned>(w), static_cast<unsigned>(h), 32, 0);
  const Pixmap pixmap =
      XCreatePixmap(g_display, g_root, static_cast<unsigned>(w), static_cast<unsigned>(h), 24);
  const GC gc = XCreateGC(g_display, pixmap, 0, nullptr);
  XPutImage(g_display, pixmap, gc, image, 0, 0, 0, 0, static_cast<unsigned>(w),
            static_cast<unsigned>(h));
  image->data = nullptr;  // the vector's
  XDestroyImage(image);

  XSetWindowAttributes attrs{};
  attrs.override_redirect = True;
  attrs.background_pixmap = pixmap;
  attrs.cursor = XCreateFontCursor(g_display, XC_left_ptr);
  attrs.event_mask = StructureNotifyMask;
  const Window pattern = XCreateWindow(
      g_display, g_root, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), 0, 24,
      InputOutput, visual, CWOverrideRedirect | CWBackPixmap | CWCursor | CWEventMask, &attrs);
  XStoreName(g_display, pattern, "vimo_pattern");
  XMapRaised(g_display, pattern);
  for (XEvent e{}; e.type != MapNotify;) XNextEvent(g_display, &e);
  XSync(g_display, False);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const int x = std::atoi(argv[1]);
  const int y = std::atoi(argv[2]);
  const int w = std::atoi(argv[3]);
  const int h = std::atoi(argv[4]);
  g_display = XOpenDisplay(nullptr);
  if (g_display == nullptr) return 3;
  XSetErrorHandler(IgnoreErrors);
  g_root = DefaultRootWindow(g_display);
  int xfixesEvent = 0;
  int xfixesError = 0;
  if (!XFixesQueryExtension(g_display, &xfixesEvent, &xfixesError)) return 5;
  // 0 x 0: no window of its own (the Wayland target shows the pattern in a Wayland window).
  if ((w != 0 || h != 0) && !ShowPattern(x, y, w, h)) return 4;
  Emit("{\"shown\": true}");

  char line[2048];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    std::vector<std::string> arg(1);
    for (const char* c = line; *c != '\0' && *c != '\r' && *c != '\n'; ++c) {
      if (*c == '\t') {
        arg.emplace_back();
      } else {
        arg.back() += *c;
      }
    }
    std::string extra;
    const bool ok = Run(arg, &extra);
    Emit(State(ok, extra));
    while (XPending(g_display) > 0) {  // the pattern's structure events, not needed
      XEvent e;
      XNextEvent(g_display, &e);
    }
  }
  XCloseDisplay(g_display);
  return 0;
}
