#include "platform/x11/x11_pixels.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

#if defined(__SSE2__)
inline void Store(std::uint32_t* to, __m128i four) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to), four);
}
#endif

// `count` source pixels from `in`, each written K times in a row from `out`. With SSE2,
// a few 16-byte stores per pixel (or per four pixels at 2 and 3 X) in place of K.
template <int K>
void WideBlocks(std::uint32_t* out, const std::uint32_t* in, int count) {
  int i = 0;
#if defined(__SSE2__)
  if constexpr (K == 2 || K == 3) {
    for (; i + 4 <= count; i += 4, out += std::ptrdiff_t{4} * K) {
      const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
      if constexpr (K == 2) {
        Store(out, _mm_shuffle_epi32(four, 0x50));      // 0 0 1 1
        Store(out + 4, _mm_shuffle_epi32(four, 0xFA));  // 2 2 3 3
      } else {
        Store(out, _mm_shuffle_epi32(four, 0x40));      // 0 0 0 1
        Store(out + 4, _mm_shuffle_epi32(four, 0xA5));  // 1 1 2 2
        Store(out + 8, _mm_shuffle_epi32(four, 0xFE));  // 2 3 3 3
      }
    }
  } else {
    for (; i < count; ++i, out += K) {
      const __m128i block = _mm_set1_epi32(static_cast<int>(in[i]));
      for (int at = 0; at + 4 <= K; at += 4) Store(out + at, block);
      // The last few pixels of the block, by a store that overlaps the one before.
      if constexpr (K % 4 != 0) Store(out + K - 4, block);
    }
  }
#endif
  for (; i < count; ++i, out += K) std::fill_n(out, K, in[i]);
}

// One target row of an enlargement by the whole factor K: target column tx shows source
// column (tx - x) / K; columns [first, end) are written. K known at compile time lets the
// compiler write a block as a few stores.
template <int K>
void WidenRow(std::uint32_t* out, const std::uint32_t* in, int first, int end, int x) {
  if constexpr (K == 1) {
    std::memcpy(out, in + (first - x), static_cast<std::size_t>(end - first) * sizeof(*out));
    return;
  }
  int sx = (first - x) / K;
  int tx = first;
  // The part of the first block left of the clip, then whole blocks, then the rest.
  for (const int stop = std::min(end, x + (sx + 1) * K); tx < stop; ++tx) *out++ = in[sx];
  ++sx;
  const int blocks = std::max(0, (end - tx) / K);
  WideBlocks<K>(out, in + sx, blocks);
  out += static_cast<std::ptrdiff_t>(blocks) * K;
  tx += blocks * K;
  sx += blocks;
  for (; tx < end; ++tx) *out++ = in[sx];
}

using RowWidener = void (*)(std::uint32_t*, const std::uint32_t*, int, int, int);

// The widener of a whole factor 1 to 10 (the factors Vimo offers), or null.
RowWidener WidenerFor(long long factor) {
  static constexpr RowWidener kWideners[] = {nullptr,      &WidenRow<1>, &WidenRow<2>, &WidenRow<3>,
                                             &WidenRow<4>, &WidenRow<5>, &WidenRow<6>, &WidenRow<7>,
                                             &WidenRow<8>, &WidenRow<9>, &WidenRow<10>};
  return factor >= 1 && factor <= 10 ? kWideners[factor] : nullptr;
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
  // Every source pixel a block of whole pixels: the common case, written block by block.
  const RowWidener widen = w % sw == 0 ? WidenerFor(w / sw) : nullptr;
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
    lastSource = sy;
    lastRow = dst.Row(ty) + cols.first;
    if (widen != nullptr) {
      widen(out, in, cols.first, cols.end, x);
      continue;
    }
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
  }
}

void BlendCursor(const PixelRows& dst, const std::uint32_t* argb, int w, int h, int x, int y,
                 int factor) {
  if (argb == nullptr || w <= 0 || h <= 0 || factor <= 0 || dst.bits == nullptr) return;
  const Span cols = Clip(x, w * factor, dst.width);
  const Span rows = Clip(y, h * factor, dst.height);
  const int firstColumn = (cols.first - x) / factor;
  const int firstPart = (cols.first - x) % factor;
  for (int ty = rows.first; ty < rows.end; ++ty) {
    const std::uint32_t* in = argb + static_cast<std::ptrdiff_t>((ty - y) / factor) * w;
    std::uint32_t* out = dst.Row(ty);
    // Image column i covers `factor` target columns: stepped, not divided, per pixel.
    int i = firstColumn;
    int part = firstPart;
    for (int tx = cols.first; tx < cols.end; ++tx) {
      const std::uint32_t pixel = in[i];
      if (++part == factor) {
        part = 0;
        ++i;
      }
      if ((pixel >> 24) == 0 && (pixel & 0xFFFFFFU) == 0) continue;  // fully clear
      out[tx] = Blend(pixel, out[tx]);
    }
  }
}

}  // namespace vimo::x11
