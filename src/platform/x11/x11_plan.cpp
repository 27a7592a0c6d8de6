#include "platform/x11/x11_plan.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/straight_lines.h"
#include "platform/x11/x11_pixels.h"

namespace vimo::x11 {
namespace {

bool RowsMeet(const Rect& r, int top, int bottom) {
  return !IsEmpty(r) && r.top < bottom && r.bottom > top;
}

}  // namespace

void FramePlan::Stretch(int x, int y, int w, int h, const PixelRows& src) {
  now_.pending = true;
  now_.stretch = Rect{x, y, x + w, y + h};
  now_.srcWidth = src.width;
  now_.srcHeight = src.height;
  now_.cursor = false;
  now_.points.clear();
  now_.sets.clear();
  src_ = src;
}

bool FramePlan::Cursor(const std::uint32_t* argb, int w, int h, int x, int y, int factor) {
  // The pointer goes under the lines: one drawn after them is drawn at once instead.
  if (!now_.pending || now_.cursor || !now_.sets.empty()) return false;
  if (argb == nullptr || w <= 0 || h <= 0 || factor <= 0) return true;  // draws nothing
  now_.cursor = true;
  now_.cursorW = w;
  now_.cursorH = h;
  now_.factor = factor;
  now_.cursorRect = Rect{x, y, x + w * factor, y + h * factor};
  now_.cursorPixels.assign(argb, argb + static_cast<std::ptrdiff_t>(w) * h);
  return true;
}

bool FramePlan::Lines(const Point* points, std::size_t lines, Colour colour) {
  if (!now_.pending) return false;
  if (points == nullptr || lines == 0) return true;
  now_.sets.push_back({now_.points.size() / 2, lines, colour});
  const std::size_t at = now_.points.size();
  now_.points.resize(at + 2 * lines);
  std::memcpy(now_.points.data() + at, points, 2 * lines * sizeof(Point));
  return true;
}

bool FramePlan::SameCursor() const {
  if (now_.cursor != last_.cursor) return false;
  if (!now_.cursor) return true;
  return now_.cursorRect == last_.cursorRect && now_.cursorW == last_.cursorW &&
         now_.cursorH == last_.cursorH && now_.factor == last_.factor &&
         now_.cursorPixels == last_.cursorPixels;
}

bool FramePlan::SameShape(const PixelRows& target) const {
  if (!lastValid_ || target.width != lastTargetW_ || target.height != lastTargetH_ ||
      now_.stretch != last_.stretch || now_.srcWidth != last_.srcWidth ||
      now_.srcHeight != last_.srcHeight || now_.points.size() != last_.points.size() ||
      now_.sets.size() != last_.sets.size()) {
    return false;
  }
  // Point is two int32s without padding: the grid's thousand points compare as memory.
  static_assert(sizeof(Point) == 2 * sizeof(std::int32_t));
  if (!now_.points.empty() && std::memcmp(now_.points.data(), last_.points.data(),
                                          now_.points.size() * sizeof(Point)) != 0) {
    return false;
  }
  for (std::size_t i = 0; i < now_.sets.size(); ++i) {
    const Frame::LineSet& a = now_.sets[i];
    const Frame::LineSet& b = last_.sets[i];
    if (a.first != b.first || a.lines != b.lines || a.colour != b.colour) return false;
  }
  // Drawn again over the same pixels, lines and the enlargement give what they gave, but
  // a pointer blended over itself does not: kept bands may hold one only inside the
  // enlargement, which is drawn anew under it.
  if (!now_.cursor) return true;
  const Rect shown = Intersection(now_.cursorRect, Rect{0, 0, target.width, target.height});
  return IsEmpty(shown) || Inside(shown, now_.stretch);
}

void FramePlan::Render(const PixelRows& target, bool sourceSame, std::uint8_t* written) {
  if (!now_.pending) return;
  now_.pending = false;
  if (target.bits == nullptr || target.width <= 0 || target.height <= 0) return;
  const Rect& s = now_.stretch;
  const long long w = s.right - s.left;
  const long long h = s.bottom - s.top;
  const bool same = SameShape(target) && w > 0 && h > 0 && src_.bits != nullptr;
  const auto srcW = static_cast<std::size_t>(std::max(0, src_.width));
  const auto srcH = static_cast<std::size_t>(std::max(0, src_.height));
  if (changedRows_.size() != srcH) changedRows_.assign(srcH, 1);
  if (same && sourceSame) {
    std::fill(changedRows_.begin(), changedRows_.end(), 0);
  } else if (same) {
    for (std::size_t sy = 0; sy < srcH; ++sy) {
      changedRows_[sy] = std::memcmp(src_.Row(static_cast<int>(sy)), lastSrc_.data() + sy * srcW,
                                     srcW * sizeof(std::uint32_t)) != 0
                             ? 1
                             : 0;
    }
  }
  const bool sameCursor = SameCursor();
  if (same && sourceSame && sameCursor) {
    // Nothing the bands depend on changed: every band keeps its pixels.
    std::swap(last_, now_);
    return;
  }
  for (int top = 0; top < target.height; top += kBandRows) {
    const int bottom = std::min(top + kBandRows, target.height);
    bool draw = !same;
    if (!draw && !sameCursor) {
      draw = (now_.cursor && RowsMeet(now_.cursorRect, top, bottom)) ||
             (last_.cursor && RowsMeet(last_.cursorRect, top, bottom));
    }
    const int first = std::max(top, s.top);
    const int end = std::min(bottom, s.bottom);
    // Of the source rows the band's rows show (as StretchNearest picks them), how many
    // changed.
    std::size_t shown = 0;
    std::size_t changed = 0;
    if (same && first < end) {
      const auto from =
          static_cast<std::size_t>(static_cast<long long>(first - s.top) * src_.height / h);
      const auto to =
          static_cast<std::size_t>(static_cast<long long>(end - 1 - s.top) * src_.height / h);
      shown = to - from + 1;
      for (std::size_t sy = from; sy <= to; ++sy) changed += changedRows_[sy];
    }
    if (draw || changed > 0) {
      // A band that is new everywhere is drawn straight into the image: comparing would
      // only cost.
      DrawBand(target, top, bottom, !same || changed == shown, written);
    }
  }
  // The source as drawn, for the next frame's comparison.
  if (lastSrc_.size() != srcW * srcH) lastSrc_.resize(srcW * srcH);
  for (std::size_t sy = 0; sy < srcH; ++sy) {
    if (!same || changedRows_[sy] != 0) {
      std::memcpy(lastSrc_.data() + sy * srcW, src_.Row(static_cast<int>(sy)),
                  srcW * sizeof(std::uint32_t));
    }
  }
  // This frame becomes the last one; the next Stretch() clears the other record and
  // refills it without allocating once its vectors are large enough.
  std::swap(last_, now_);
  lastValid_ = true;
  lastTargetW_ = target.width;
  lastTargetH_ = target.height;
}

void FramePlan::DrawBand(const PixelRows& target, int top, int bottom, bool direct,
                         std::uint8_t* written) {
  const Rect& s = now_.stretch;
  if (direct) {
    Draw(PixelRows{target.Row(top), target.pitch, target.width, bottom - top, target.rgb}, top);
    if (written != nullptr) std::fill(written + top, written + bottom, 1);
    return;
  }
  const auto width = static_cast<std::size_t>(target.width);
  const std::size_t room = width * kBandRows;
  if (band_.size() < room) band_.resize(room);
  const PixelRows band{band_.data(), target.width, target.width, bottom - top, target.rgb};
  // What the enlargement does not cover keeps the image's pixels.
  const int left = std::clamp(s.left, 0, target.width);
  const int right = std::clamp(s.right, left, target.width);
  for (int r = 0; r < band.height; ++r) {
    const int y = top + r;
    const bool covered = y >= s.top && y < s.bottom;
    const int from = covered ? left : target.width;
    std::memcpy(band.Row(r), target.Row(y), static_cast<std::size_t>(from) * sizeof(std::uint32_t));
    if (covered) {
      std::memcpy(band.Row(r) + right, target.Row(y) + right,
                  (width - static_cast<std::size_t>(right)) * sizeof(std::uint32_t));
    }
  }
  Draw(band, top);
  // A row is written whole where it differs (a row of a moving picture differs nearly
  // everywhere), and not at all where it does not.
  for (int r = 0; r < band.height; ++r) {
    std::uint32_t* to = target.Row(top + r);
    if (std::memcmp(to, band.Row(r), width * sizeof(std::uint32_t)) != 0) {
      std::memcpy(to, band.Row(r), width * sizeof(std::uint32_t));
      if (written != nullptr) written[top + r] = 1;
    }
  }
}

void FramePlan::Draw(const PixelRows& band, int top) {
  const Rect& s = now_.stretch;
  StretchNearest(band, s.left, s.top - top, s.right - s.left, s.bottom - s.top, src_);
  if (now_.cursor) {
    BlendCursor(band, now_.cursorPixels.data(), now_.cursorW, now_.cursorH, now_.cursorRect.left,
                now_.cursorRect.top - top, now_.factor);
  }
  for (const Frame::LineSet& set : now_.sets) {
    WriteStraightLines(band, now_.points.data() + 2 * set.first, set.lines, set.colour, top);
  }
}

}  // namespace vimo::x11
