// The desktop as X11 reports it: the root window is the whole desktop; the monitors and
// the primary one come from XRandR, the usable part of the desktop from the window
// manager's _NET_WORKAREA.
#pragma once

#include <X11/Xlib.h>

#include "platform/types.h"

namespace vimo::x11 {

struct Monitors {
  Rect desktop;   // the root window
  int count = 0;  // XRandR monitors; 0 where the server has no XRandR
  Rect primary;   // the primary monitor; the first one if none is primary; else the root
  Rect workArea;  // the primary monitor less the panels (_NET_WORKAREA), or all of it
};

// Up to `count` CARDINALs of the window's property `name` from the start; the number
// read (0 for a property or a window the server does not have).
int ReadCardinals(Display* display, Window window, const char* name, long* out, int count);

// One reading of the server's state. Allocates nothing through operator new.
Monitors ReadMonitors(Display* display);

// The work area of `monitor` given the _NET_WORKAREA rectangle of the current desktop
// (x, y, width, height): their intersection, or the monitor itself where they do not meet.
Rect WorkAreaOf(const Rect& monitor, const long* netWorkArea);

}  // namespace vimo::x11
