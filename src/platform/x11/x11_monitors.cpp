#include "platform/x11/x11_monitors.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>

#include "platform/x11/x11_error_trap.h"

namespace vimo::x11 {
namespace {

Rect MonitorRect(const XRRMonitorInfo& m) { return Rect{m.x, m.y, m.x + m.width, m.y + m.height}; }

}  // namespace

int ReadCardinals(Display* display, Window window, const char* name, long* out, int count) {
  const Atom atom = XInternAtom(display, name, True);
  if (atom == None) return 0;
  Atom type = None;
  int format = 0;
  unsigned long items = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  ErrorTrap trap(display);
  const int status = XGetWindowProperty(display, window, atom, 0, count, False, XA_CARDINAL, &type,
                                        &format, &items, &after, &data);
  int read = 0;
  if (status == Success && !trap.Failed() && type == XA_CARDINAL && format == 32 &&
      data != nullptr) {
    // Format 32 arrives as longs, whatever the size of a long.
    const long* values = reinterpret_cast<const long*>(data);
    read = static_cast<int>(std::min<unsigned long>(items, static_cast<unsigned long>(count)));
    std::copy(values, values + read, out);
  }
  if (data != nullptr) XFree(data);
  return read;
}

Rect WorkAreaOf(const Rect& monitor, const long* netWorkArea) {
  const Rect area{static_cast<std::int32_t>(netWorkArea[0]),
                  static_cast<std::int32_t>(netWorkArea[1]),
                  static_cast<std::int32_t>(netWorkArea[0] + netWorkArea[2]),
                  static_cast<std::int32_t>(netWorkArea[1] + netWorkArea[3])};
  const Rect both = Intersection(monitor, area);
  if (both.left >= both.right || both.top >= both.bottom) return monitor;
  return both;
}

Monitors ReadMonitors(Display* display) {
  Monitors result;
  const Window root = DefaultRootWindow(display);
  Window unusedRoot = 0;
  int x = 0;
  int y = 0;
  unsigned width = 0;
  unsigned height = 0;
  unsigned border = 0;
  unsigned depth = 0;
  if (XGetGeometry(display, root, &unusedRoot, &x, &y, &width, &height, &border, &depth) != 0) {
    result.desktop =
        Rect{0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
  } else {
    const int screen = DefaultScreen(display);
    result.desktop = Rect{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
  }
  result.primary = result.desktop;

  int eventBase = 0;
  int errorBase = 0;
  int major = 0;
  int minor = 0;
  if (XRRQueryExtension(display, &eventBase, &errorBase) &&
      XRRQueryVersion(display, &major, &minor) && (major > 1 || (major == 1 && minor >= 5))) {
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display, root, True, &count);
    if (monitors != nullptr) {
      result.count = std::max(0, count);
      if (count > 0) {
        const XRRMonitorInfo* primary = monitors;
        for (int i = 0; i < count; ++i) {
          if (monitors[i].primary) {
            primary = &monitors[i];
            break;
          }
        }
        result.primary = MonitorRect(*primary);
      }
      XRRFreeMonitors(monitors);
    }
  }

  // _NET_WORKAREA holds x, y, width, height for each desktop in turn.
  constexpr int kDesktops = 64;
  long desktop = 0;
  ReadCardinals(display, root, "_NET_CURRENT_DESKTOP", &desktop, 1);
  long areas[4 * kDesktops] = {};
  const int read = ReadCardinals(display, root, "_NET_WORKAREA", areas, 4 * kDesktops);
  if (desktop < 0 || 4 * desktop + 4 > read) desktop = 0;
  result.workArea = read >= 4 ? WorkAreaOf(result.primary, areas + 4 * desktop) : result.primary;
  return result;
}

}  // namespace vimo::x11
