// A label's text as last set, so that the label is set only when its text changes: no work
// and no flicker while nothing moves, and nothing allocated on the tick.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "platform/toolkit.h"

namespace vimo {

class LabelText {
 public:
  void Show(Label& label, std::string_view text) {
    if (set_ && std::string_view(shown_.data(), size_) == text) return;
    label.SetCaption(text);
    size_ = text.copy(shown_.data(), shown_.size());
    set_ = true;
  }
  // The label was made anew: the next text is set whatever it is.
  void Forget() { set_ = false; }

 private:
  std::array<char, 128> shown_{};
  std::size_t size_ = 0;
  bool set_ = false;
};

}  // namespace vimo
