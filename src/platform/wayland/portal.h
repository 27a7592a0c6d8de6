// The desktop's screen-cast portal (org.freedesktop.portal.ScreenCast) over D-Bus: a
// session that casts every monitor with the pointer as metadata, kept by a restore token
// so that the desktop asks the user once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/types.h"

namespace vimo::wayland {

struct PortalStream {
  std::uint32_t node = 0;  // the PipeWire node
  Point position;          // where the monitor lies on the desktop
  int width = 0;
  int height = 0;
};

struct PortalStart {
  enum class Outcome {
    kStarted,
    kRefused,    // the user or the desktop said no
    kFailed,     // the portal answered with an error, or went away
    kNoPortal,   // no screen-cast portal on the session bus
    kNoPointer,  // the portal cannot give the pointer as metadata
  };
  Outcome outcome = Outcome::kFailed;
  std::string detail;  // what went wrong, for the message
  int fd = -1;         // the PipeWire connection, the caller's to close
  std::vector<PortalStream> streams;
  std::string token;  // the restore token for the next start, where the portal gave one
};

// The one line Vimo prints (without "vimo: " and the line end) for an outcome that is not
// kStarted.
std::string PortalMessage(const PortalStart& start);

class Portal {
 public:
  Portal();
  ~Portal();  // closes the session
  Portal(const Portal&) = delete;
  Portal& operator=(const Portal&) = delete;

  // Asks for the cast, `restoreToken` (may be empty) standing for an earlier answer; waits,
  // running the default main context, while the desktop asks the user.
  PortalStart Start(const std::string& restoreToken);
  // `closed` runs once from the main loop when the desktop ends the session.
  void OnClosed(std::function<void()> closed);

 private:
  struct Impl;
  Impl* impl_;
};

// Where the restore token is kept: $XDG_STATE_HOME/vimo/screencast-token, else
// ~/.local/state/vimo/screencast-token; empty where neither can be told.
std::string TokenPath();

}  // namespace vimo::wayland
