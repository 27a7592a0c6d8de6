#include "platform/x11/x11_pixels.h"

#include <algorithm>
#include <cstring>

namespace vimo::x11 {
namespace {

struct Span {
  int first;  // first target index inside the clip
  int end;    // one past the last
};

Span Clip(int at, int length, int limit) {
  return Span{std::max(at, 0), std::min(at + length, limit)};
}

std::uint32_t Blend(std::uint32_t src, std::uint32_t dst) {
  const std::uint32_t keep = 255 - (src >> 24);
  std::uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const std::uint32_t d = (dst >> shift) & 0xFFU;
    const std::uint32_t s = (src >> shift) & 0xFFU;
    // 255 is odd, so no quotient ends in exactly one half: + 127 rounds to nearest.
    out |= std::min<std::uint32_t>(255, s + (d * keep + 127) / 255) << shift;
  }
  return out;
}

}  // namespace

void StretchNearest(const PixelRows& dst, int x, int y, int w, int h, const PixelRows& src) {
  if (w <= 0 || h <= 0 || src.width <= 0 || src.height <= 0 || dst.bits == nullptr) return;
  const Span cols = Clip(x, w, dst.width);
  const Span rows = Clip(y, h, dst.height);
  if (cols.first >= cols.end || rows.first >= rows.end) return;
  const long long sw = src.width;
  const long long sh = src.height;
  const auto rowBytes = static_cast<std::size_t>(cols.end - cols.first) * sizeof(std::uint32_t);
  int lastSource = -1;
  const std::uint32_t* lastRow = nullptr;
  for (int ty = rows.first; ty < rows.end; ++ty) {
    const auto sy = static_cast<int>((ty - y) * sh / h);
    std::uint32_t* out = dst.Row(ty) + cols.first;
    if (sy == lastSource) {
      // Rows enlarged from one source row are alike: the one above is copied.
      std::memcpy(out, lastRow, rowBytes);
      continue;
    }
    const std::uint32_t* in = src.Row(sy);
    // Source column (tx - x) * sw / w, stepped without a division per pixel.
    const long long start = (cols.first - x) * sw;
    long long sx = start / w;
    long long rest = start % w;
    for (int tx = cols.first; tx < cols.end; ++tx) {
      *out++ = in[sx];
      rest += sw;
      while (rest >= w) {
        rest -= w;
        ++sx;
      }
    }
    lastSource = sy;
    lastRow = dst.Row(ty) + cols.first;
  }
}

void BlendCursor(const PixelRows& dst, const std::uint32_t* argb, int w, int h, int x, int y,
                 int factor) {
  if (argb == nullptr || w <= 0 || h <= 0 || factor <= 0 || dst.bits == nullptr) return;
  const Span cols = Clip(x, w * factor, dst.width);
  const Span rows = Clip(y, h * factor, dst.height);
  for (int ty = rows.first; ty < rows.end; ++ty) {
    const std::uint32_t* in = argb + static_cast<std::ptrdiff_t>((ty - y) / factor) * w;
    std::uint32_t* out = dst.Row(ty);
    for (int tx = cols.first; tx < cols.end; ++tx) {
      const std::uint32_t pixel = in[(tx - x) / factor];
      if ((pixel >> 24) == 0 && (pixel & 0xFFFFFFU) == 0) continue;  // fully clear
      out[tx] = Blend(pixel, out[tx]);
    }
  }
}

}  // namespace vimo::x11
