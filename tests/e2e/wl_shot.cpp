// vimo_wl_shot: the end-to-end driver's screenshots on the Wayland target (run_e2e.py
// --target wayland). It stays connected to a PipeWire screen-cast stream of Mutter (cursor
// mode "metadata": the frames have no pointer drawn in) through Vimo's own stream reader,
// which keeps the newest frame and the newest pointer it was told of.
//
// `vimo_wl_shot NODE` answers each line of stdin, once no buffer has come for a moment:
//   shot PATH   writes the frame to PATH as R, G, B bytes a pixel, row by row (what
//               `import -window root rgb:-` gives under X), and answers as `pointer` does
//   pointer     {"frames": N, "cursor": [x, y], "image": {"size": [w, h], "hot": [x, y],
//               "argb": "..."}}: the frames seen, the pointer's place on the monitor and
//               its image as premultiplied ARGB pixels, 8 hex digits each (as
//               vimo_pattern_x11's `cursor`: size [0, 0] while the pointer is hidden)
// It ends when stdin closes or the stream does.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/wayland/pipewire_cast.h"

using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
  if (argc != 2 || std::getenv("XDG_RUNTIME_DIR") == nullptr) return 2;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s/pipewire-0",
                std::getenv("XDG_RUNTIME_DIR"));
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return 3;
  vimo::wayland::PipeWireCast cast(
      fd, {{static_cast<std::uint32_t>(std::atoi(argv[1])), {0, 0}, 1280, 1024}});
  bool ended = !cast.Connected(nullptr);
  cast.OnEnded([&](const std::string& why) {
    std::fprintf(stderr, "vimo_wl_shot: %s\n", why.c_str());
    ended = true;
  });
  long frames = 0;
  std::uint64_t version = cast.Version();
  vimo::Handle image = 0;
  vimo::Point at{-1, -1};
  auto last = Clock::now();
  char line[4096];
  while (!ended && std::fgets(line, sizeof line, stdin) != nullptr) {
    line[std::strcspn(line, "\r\n")] = '\0';
    // Mutter sends a frame only when something has changed: the newest is the one after
    // 100 ms without any, counted from the command (2 s at most, 5 s for the first).
    for (const auto start = Clock::now(); !ended;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      cast.Refresh();
      const vimo::wayland::CastPointer& p = cast.Pointer();
      if (cast.Version() != version || p.id != image || p.at != at) last = Clock::now();
      frames += cast.Version() != version && cast.Monitors()[0].pixels != nullptr ? 1 : 0;
      version = cast.Version();
      image = p.id;
      at = p.at;
      const auto now = Clock::now();
      if ((frames > 0 && now - std::max(last, start) > std::chrono::milliseconds(100)) ||
          now - start > std::chrono::seconds(frames > 0 ? 2 : 5)) {
        break;
      }
    }
    bool ok = !ended;
    if (std::strncmp(line, "shot ", 5) == 0) {
      const vimo::Rect all = cast.Desktop();
      const int w = all.right - all.left;
      const int h = all.bottom - all.top;
      std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
      cast.CopyInto(all, vimo::PixelRows{pixels.data(), w, w, h, true});
      std::string rgb;
      for (const std::uint32_t p : pixels) rgb += {char(p >> 16), char(p >> 8), char(p)};
      FILE* f = std::fopen(line + 5, "wb");
      ok = ok && frames > 0 && f != nullptr &&
           std::fwrite(rgb.data(), 1, rgb.size(), f) == rgb.size();
      if (f != nullptr) ok = std::fclose(f) == 0 && ok;
    }
    const vimo::wayland::CastPointer& p = cast.Pointer();
    std::string argb;
    for (int i = 0; i < p.width * p.height; ++i) {
      char hex[9];
      std::snprintf(hex, sizeof hex, "%08x", p.argb[static_cast<std::size_t>(i)]);
      argb += hex;
    }
    std::printf(
        "{\"ok\": %s, \"frames\": %ld, \"cursor\": [%d, %d], \"image\": {\"size\": [%d, %d], "
        "\"hot\": [%d, %d], \"argb\": \"%s\"}}\n",
        ok ? "true" : "false", frames, p.at.x, p.at.y, p.width, p.height, p.hotSpot.x, p.hotSpot.y,
        argb.c_str());
    std::fflush(stdout);
  }
  return 0;
}
