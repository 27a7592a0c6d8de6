// X errors caught where a request may fail (a screen area the server no longer has, an
// image the server cannot share), so that the connection's own handler, which ends the
// program under Xlib's default and GDK's, never sees them.
#pragma once

#include <X11/Xlib.h>

namespace vimo::x11 {

// Catches the errors of the requests sent while it lives; errors of earlier requests
// still go to the handler that was there before. A request with a reply reports its
// error before the reply returns; others need Failed(true), a round trip.
class ErrorTrap {
 public:
  explicit ErrorTrap(Display* display);
  ~ErrorTrap();
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

  // Whether a request since the trap was set failed; `sync` waits for the server first.
  bool Failed(bool sync = false);

 private:
  static int Handler(Display* display, XErrorEvent* error);

  Display* display_;
  unsigned long first_;
  int (*previous_)(Display*, XErrorEvent*);
  ErrorTrap* outer_;
  int code_ = 0;
};

}  // namespace vimo::x11
