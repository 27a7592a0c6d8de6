#include "platform/wayland/cast_screen.h"

#include <algorithm>
#include <cstring>

namespace vimo::wayland {
namespace {

// What of the monitor a frame shows: its place, as far as the frame reaches.
Rect Shown(const CastMonitor& m) {
  if (m.pixels == nullptr) return {};
  return Intersection(m.Place(), Rect{m.origin.x, m.origin.y, m.origin.x + m.frameWidth,
                                      m.origin.y + m.frameHeight});
}

const std::uint32_t* PixelsAt(const CastMonitor& m, int x, int y) {
  return reinterpret_cast<const std::uint32_t*>(
             m.pixels + static_cast<std::ptrdiff_t>(y - m.origin.y) * m.stride) +
         (x - m.origin.x);
}

std::uint32_t Premultiplied(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  const auto times = [a](std::uint32_t c) { return (c * a + 127) / 255; };
  return (a << 24) | (times(r) << 16) | (times(g) << 8) | times(b);
}

}  // namespace

Rect CastScreen::Desktop() const {
  Rect all;
  for (const CastMonitor& m : monitors_) all = Union(all, m.Place());
  return all;
}

void CastScreen::CopyInto(const Rect& area, const PixelRows& rows) const {
  const Rect target{area.left, area.top, area.left + std::min(rows.width, area.right - area.left),
                    area.top + std::min(rows.height, area.bottom - area.top)};
  if (IsEmpty(target)) return;
  const bool covered = std::any_of(monitors_.begin(), monitors_.end(),
                                   [&](const CastMonitor& m) { return Inside(target, Shown(m)); });
  if (!covered) {
    for (int y = 0; y < target.bottom - target.top; ++y) {
      std::fill_n(rows.Row(y), target.right - target.left, 0U);
    }
  }
  for (const CastMonitor& m : monitors_) {
    const Rect part = Intersection(target, Shown(m));
    if (IsEmpty(part)) continue;
    const auto bytes = static_cast<std::size_t>(part.right - part.left) * sizeof(std::uint32_t);
    for (int y = part.top; y < part.bottom; ++y) {
      std::memcpy(rows.Row(y - area.top) + (part.left - area.left), PixelsAt(m, part.left, y),
                  bytes);
    }
    if (covered) return;
  }
}

std::optional<std::uint32_t> CastScreen::Pixel(Point at) const {
  for (const CastMonitor& m : monitors_) {
    if (PtInRect(Shown(m), at)) return *PixelsAt(m, at.x, at.y) & 0xFFFFFFU;
  }
  return std::nullopt;
}

void CastScreen::PointerAt(std::size_t index, Point at, Point hotSpot) {
  if (index >= monitors_.size()) return;
  const Point origin = monitors_[index].origin;
  pointer_.known = true;
  pointer_.at = Point{origin.x + at.x, origin.y + at.y};
  pointer_.hotSpot = hotSpot;
}

void CastScreen::PointerImage(const std::uint8_t* bits, int w, int h, std::ptrdiff_t stride,
                              ImageBytes layout, bool premultiplied) {
  ++pointer_.id;
  if (bits == nullptr || w <= 0 || h <= 0) {
    pointer_.width = 0;
    pointer_.height = 0;
    return;
  }
  const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  if (pointer_.argb.size() < count) pointer_.argb.resize(count);
  // Where each of alpha, red, green and blue is in a pixel's four bytes.
  static constexpr int kAt[4][4] = {{3, 0, 1, 2}, {3, 2, 1, 0}, {0, 1, 2, 3}, {0, 3, 2, 1}};
  const int* at = kAt[static_cast<int>(layout)];
  std::uint32_t* out = pointer_.argb.data();
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* p = bits + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < w; ++x, p += 4) {
      const std::uint32_t a = p[at[0]];
      const std::uint32_t r = p[at[1]];
      const std::uint32_t g = p[at[2]];
      const std::uint32_t b = p[at[3]];
      *out++ = premultiplied ? (a << 24) | (r << 16) | (g << 8) | b : Premultiplied(a, r, g, b);
    }
  }
  pointer_.width = w;
  pointer_.height = h;
}

}  // namespace vimo::wayland
