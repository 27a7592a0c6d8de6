#include "platform/x11/x11_inverted_lines.h"

namespace vimo::x11 {

bool InvertedLines::Ask(const Rect& line) {
  const bool straight = line.right - line.left == 1 || line.bottom - line.top == 1;
  if (!straight || IsEmpty(line) || askedN_ == kMost) return false;
  asked_[askedN_++] = line;
  return true;
}

void InvertedLines::Erased(const Overdrawn& drawn) {
  if (drawn.all) {
    erased_.all = true;
    return;
  }
  for (int i = 0; i < drawn.count; ++i) erased_.Add(drawn.rects[static_cast<std::size_t>(i)]);
}

void InvertedLines::BeforePut(Overdrawn& overdrawn) {
  if (!askedSincePut_) {
    Rect parts[Overdrawn::kMost + 1];
    for (std::size_t i = 0; i < shownN_; ++i) {
      const std::size_t n = Runs(shown_[i], false, parts);
      for (std::size_t j = 0; j < n; ++j) overdrawn.Add(parts[j]);
    }
    shownN_ = 0;
  }
  askedSincePut_ = false;
}

// Along the line, the erased rects cut it into runs; the ones inside them or the ones
// between them.
std::size_t InvertedLines::Runs(const Rect& line, bool erased, Rect* out) const {
  if (erased_.all) {
    if (erased) *out = line;
    return erased ? 1 : 0;
  }
  const bool across = line.bottom - line.top == 1;  // a horizontal line: runs along x
  const int from = across ? line.left : line.top;
  const int to = across ? line.right : line.bottom;
  struct Span {
    int a, b;
  } spans[Overdrawn::kMost];
  int n = 0;
  for (int i = 0; i < erased_.count; ++i) {
    const Rect hit = Intersection(erased_.rects[static_cast<std::size_t>(i)], line);
    if (IsEmpty(hit)) continue;
    Span s{across ? hit.left : hit.top, across ? hit.right : hit.bottom};
    int at = n++;  // sorted by start
    for (; at > 0 && spans[at - 1].a > s.a; --at) spans[at] = spans[at - 1];
    spans[at] = s;
  }
  const auto run = [&](int a, int b) {
    return across ? Rect{a, line.top, b, line.bottom} : Rect{line.left, a, line.right, b};
  };
  std::size_t count = 0;
  int next = from;  // the first pixel not yet cut off
  for (int i = 0; i < n; ++i) {
    const int a = std::max(spans[i].a, next);
    const int b = spans[i].b;
    if (b <= a) continue;
    if (!erased && a > next) out[count++] = run(next, a);
    if (erased) out[count++] = run(a, b);
    next = b;
  }
  if (!erased && next < to) out[count++] = run(next, to);
  return count;
}

}  // namespace vimo::x11
