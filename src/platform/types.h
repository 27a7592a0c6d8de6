// Plain value types shared by the logic and both backends. No Win32 headers here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace vimo {

// Opaque handle of a window, device context, bitmap or cursor. 0 is "none".
using Handle = std::uintptr_t;

// A Win32 COLORREF: 0x00BBGGRR.
using Colour = std::uint32_t;

// A 16-bit truth value: true is -1 (all bits set), false is 0, nothing else is stored.
using Flag = std::int16_t;
inline constexpr Flag kTrue = -1;
inline constexpr Flag kFalse = 0;

// Normalises any number to a flag: non-zero gives -1.
constexpr Flag ToFlag(long long value) { return value != 0 ? kTrue : kFalse; }

// Toggles a flag: the bitwise complement, -1 <-> 0.
constexpr Flag Complement(Flag flag) { return static_cast<Flag>(~flag); }

struct Point {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Left and top edges count as inside, right and bottom as outside.
constexpr bool PtInRect(const Rect& r, Point p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

constexpr bool IsEmpty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }

// Every point of `inner` lies in `outer`.
constexpr bool Inside(const Rect& inner, const Rect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// The part two rectangles share; empty (right <= left or bottom <= top) where none.
constexpr Rect Intersection(const Rect& a, const Rect& b) {
  return {a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
          a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
}

// The smallest rectangle holding both; an empty one adds nothing.
constexpr Rect Union(const Rect& a, const Rect& b) {
  if (IsEmpty(a)) return b;
  if (IsEmpty(b)) return a;
  return {a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top,
          a.right > b.right ? a.right : b.right, a.bottom > b.bottom ? a.bottom : b.bottom};
}

// Pixel memory a backend holds: `width` x `height` 32-bit pixels, row 0 at `bits`,
// each row `pitch` pixels after the one above it (negative for bottom-up memory).
// 0x00BBGGRR as 0x00RRGGBB and back: red and blue change places.
constexpr std::uint32_t SwapRedBlue(std::uint32_t v) {
  return ((v & 0xFFU) << 16) | (v & 0xFF00U) | ((v >> 16) & 0xFFU);
}

struct PixelRows {
  std::uint32_t* bits = nullptr;
  std::ptrdiff_t pitch = 0;
  int width = 0;
  int height = 0;
  // How a pixel holds its colour: 0x00RRGGBB (DIB sections, X11 images), else as a
  // Colour (0x00BBGGRR).
  bool rgb = true;

  std::uint32_t* Row(int y) const { return bits + static_cast<std::ptrdiff_t>(y) * pitch; }
  std::uint32_t Native(Colour colour) const {
    return rgb ? SwapRedBlue(colour) : colour & 0x00FFFFFFU;
  }
  // A pixel of these rows as 0x00RRGGBB.
  std::uint32_t Rgb(std::uint32_t pixel) const {
    return rgb ? pixel & 0x00FFFFFFU : SwapRedBlue(pixel);
  }
};

constexpr Colour Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return static_cast<Colour>(r) | (static_cast<Colour>(g) << 8) | (static_cast<Colour>(b) << 16);
}

// Raised by a toolkit operation that fails (a missing menu item, a lost window, ...).
// The backend's event dispatcher catches what a handler lets escape.
class ToolkitError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace vimo
