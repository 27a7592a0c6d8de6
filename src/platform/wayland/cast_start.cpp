#include "platform/wayland/cast_start.h"

#include <sys/stat.h>

#include <cstdio>

#include "platform/profile_file.h"

namespace vimo::wayland {

std::string ReadToken(const std::string& path) {
  if (path.empty()) return {};
  std::string token = ReadWholeFile(path).value_or("");
  while (!token.empty() && (token.back() == '\n' || token.back() == '\r' || token.back() == ' ')) {
    token.pop_back();
  }
  if (token.size() > 256) return {};
  for (const char c : token) {
    if (c <= ' ' || c > '~') return {};
  }
  return token;
}

bool KeepToken(const std::string& path, const std::string& token) {
  if (path.empty() || token.empty()) return false;
  if (ReadToken(path) == token) return true;
  for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
    mkdir(path.substr(0, at).c_str(), 0700);  // one that is there fails without harm
  }
  return ReplaceWholeFile(path, token + "\n");
}

std::unique_ptr<PipeWireCast> StartCast(Portal& portal, std::string* failure) {
  const std::string path = TokenPath();
  const PortalStart start = portal.Start(ReadToken(path));
  if (start.outcome != PortalStart::Outcome::kStarted) {
    *failure = PortalMessage(start);
    return nullptr;
  }
  if (!start.token.empty() && !KeepToken(path, start.token)) {
    std::fprintf(stderr,
                 "vimo: could not keep the desktop's permission to share the screen in %s; it "
                 "will ask again at the next start\n",
                 path.empty() ? "~/.local/state/vimo" : path.c_str());
  }
  auto cast = std::make_unique<PipeWireCast>(start.fd, start.streams);
  std::string why;
  bool ended = false;
  cast->OnEnded([&](const std::string& reason) {
    ended = true;
    why = reason;
  });
  if (!cast->Connected(&why)) {
    *failure = "the desktop could not share the screen: " + why;
    return nullptr;
  }
  cast->AwaitFrames(3000);  // without them the first view would be black
  cast->OnEnded(nullptr);
  if (ended) {
    *failure = why;
    return nullptr;
  }
  return cast;
}

}  // namespace vimo::wayland
