// What the system side (X11Api) asks of the windows the toolkit made. A window handle
// (hWnd) on X11 is the X window of a form's top level; its client area is that window.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "platform/types.h"

namespace vimo::x11 {

// The parts of a window's client area drawn by other means than the frame's put since
// the frame last asked: a few rectangles, or all of it.
struct Overdrawn {
  static constexpr int kMost = 8;
  std::array<Rect, kMost> rects{};
  int count = 0;
  bool all = false;

  void Add(const Rect& r) {
    if (all || r.right <= r.left || r.bottom <= r.top) return;
    if (count == kMost) {
      all = true;
      return;
    }
    rects[static_cast<std::size_t>(count++)] = r;
  }
};

class WindowHost {
 public:
  virtual ~WindowHost() = default;
  // The outer rectangle on the screen, the window manager's frame included.
  virtual bool OuterRect(Handle hwnd, Rect* rect) = 0;
  // SetWindowPos: moves the outer rectangle's top-left corner to (x, y) and sizes it
  // (unless SWP_NOMOVE / SWP_NOSIZE), raises it or keeps it above others (HWND_TOP,
  // HWND_TOPMOST, HWND_NOTOPMOST unless SWP_NOZORDER), shows it (SWP_SHOWWINDOW).
  virtual bool Place(Handle hwnd, Handle insertAfter, int x, int y, int cx, int cy,
                     std::uint32_t flags) = 0;
  // Opens an address in the user's browser; false when nothing could be started.
  virtual bool OpenUri(Handle owner, std::string_view uri) = 0;
  // What was drawn over on the window's client area since the last call (all of it for a
  // window the host does not know), and forgets it.
  virtual Overdrawn TakeOverdrawn(Handle hwnd) = 0;
  // The view was just put over these parts of the window's client area.
  virtual void PutOver(Handle /*hwnd*/, const Overdrawn& /*put*/) {}
};

}  // namespace vimo::x11
