// Vimo's start on a Wayland desktop: the portal's cast of every monitor, asked with the
// restore token Vimo keeps, the new token kept, the streams connected and their first
// frames in.
#pragma once

#include <memory>
#include <string>

#include "platform/wayland/pipewire_cast.h"
#include "platform/wayland/portal.h"

namespace vimo::wayland {

// The cast, or none with the one line to print (without "vimo: ") in `failure`. A token
// that cannot be kept is said on stderr and is no failure.
std::unique_ptr<PipeWireCast> StartCast(Portal& portal, std::string* failure);

// The token kept in `path`: one line of printable characters, else none.
std::string ReadToken(const std::string& path);
// Keeps `token` in `path` (its folders made, the user's alone) where it is not there yet;
// false where it could not be written.
bool KeepToken(const std::string& path, const std::string& token);

}  // namespace vimo::wayland
