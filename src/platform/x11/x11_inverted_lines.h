// The marker lines Vimo inverts on its window after each put of the view, kept there from
// tick to tick. Drawn again and again, they would make the X server (and a compositor
// that casts the screen) redraw the window each tick though nothing changed. So a line
// asked for again where it still shows costs nothing; only the parts of it that a put or
// a paint covered since are inverted anew; a line no longer asked for is inverted back,
// or put again from the view when nothing at all was asked for since the last put.
#pragma once

#include <algorithm>
#include <cstddef>

#include "platform/types.h"
#include "platform/x11/x11_windows.h"

namespace vimo::x11 {

class InvertedLines {
 public:
  static constexpr std::size_t kMost = 8;

  // A straight line (a rectangle one pixel wide or high) asked for; false where it is not
  // one or there are too many (the caller inverts it at once, as before).
  bool Ask(const Rect& line);
  // Asked for since the last Settle.
  bool Pending() const { return askedN_ != 0; }
  // Window pixels drawn over (the view put, a paint): the lines are gone there.
  void Erased(const Overdrawn& drawn);
  // Makes the window show exactly the lines asked for since the last Settle: `invert`
  // is called for each rectangle to invert.
  template <typename Invert>
  void Settle(const Invert& invert) {
    Rect parts[kMost * (Overdrawn::kMost + 1)];
    const bool same = askedN_ == shownN_ && std::equal(asked_, asked_ + askedN_, shown_);
    for (std::size_t i = 0; i < shownN_; ++i) {  // what of the old lines is to change
      const std::size_t n = Runs(shown_[i], same, parts);
      for (std::size_t j = 0; j < n; ++j) invert(parts[j]);
    }
    if (!same) {
      for (std::size_t i = 0; i < askedN_; ++i) invert(asked_[i]);
    }
    std::copy(asked_, asked_ + askedN_, shown_);
    shownN_ = askedN_;
    askedN_ = 0;
    erased_ = Overdrawn{};
    askedSincePut_ = true;
  }
  // The window cannot be drawn on (not shown): nothing shows, nothing is asked for; it is
  // painted whole when it shows again.
  void Forget() { *this = InvertedLines{}; }
  // Before a put: where nothing was asked for since the last one, the lines shown go;
  // what of them still shows joins `overdrawn`, to be put again.
  void BeforePut(Overdrawn& overdrawn);

 private:
  // The runs of `line` that were erased (`erased`) or that still show (otherwise).
  std::size_t Runs(const Rect& line, bool erased, Rect* out) const;

  Rect asked_[kMost];
  std::size_t askedN_ = 0;
  Rect shown_[kMost];
  std::size_t shownN_ = 0;
  Overdrawn erased_;
  bool askedSincePut_ = false;
};

}  // namespace vimo::x11
