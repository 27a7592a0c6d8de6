// Number conversions used throughout Vimo's logic.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace vimo {

// Rounds to the nearest integer, ties to even (2.5 gives 2, 3.5 gives 4).
inline double RoundHalfEven(double value) { return std::nearbyint(value); }

// Stores a whole number in a signed 16-bit field. Values outside the range saturate
// rather than wrap, so a huge desktop cannot flip a coordinate's sign.
inline std::int16_t ToInt16(double value) {
  constexpr double kMin = std::numeric_limits<std::int16_t>::min();
  constexpr double kMax = std::numeric_limits<std::int16_t>::max();
  if (!(value >= kMin)) return std::numeric_limits<std::int16_t>::min();
  if (value > kMax) return std::numeric_limits<std::int16_t>::max();
  return static_cast<std::int16_t>(value);
}

inline std::int32_t ToInt32(double value) {
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  if (!(value >= kMin)) return std::numeric_limits<std::int32_t>::min();
  if (value > kMax) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

// Rounds toward minus infinity into 32 bits.
inline std::int32_t FloorToInt32(double value) { return ToInt32(std::floor(value)); }

}  // namespace vimo
