// The screen cast's PipeWire streams, one a monitor, feeding a CastScreen: the newest
// frame of each held in the stream's shared memory (no copy, nothing allocated per
// frame), the pointer from the cursor metadata. Everything runs on the caller's thread:
// the streams' loop is dispatched by Refresh, which each tick's pointer reading calls.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/wayland/cast_screen.h"
#include "platform/wayland/portal.h"

namespace vimo::wayland {

class PipeWireCast final : public CastScreen {
 public:
  // `fd` is the portal's PipeWire connection, taken over.
  PipeWireCast(int fd, const std::vector<PortalStream>& streams);
  ~PipeWireCast() override;
  PipeWireCast(const PipeWireCast&) = delete;
  PipeWireCast& operator=(const PipeWireCast&) = delete;

  // False with the reason where the streams could not be made.
  bool Connected(std::string* why) const;
  // Hands over what has come, without waiting.
  void Refresh() override;
  // Waits up to `ms` for each monitor's first frame (a start with a view of black would
  // be a false one); false where none came.
  bool AwaitFrames(int ms);
  // `ended` runs once when a stream fails or the cast is taken away.
  void OnEnded(std::function<void(const std::string&)> ended);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace vimo::wayland
