// How mouse input over a form becomes its events, the same in every backend. A press
// goes to the label it went down on ("" for the form), and until all buttons are up
// again every press and release goes there too, wherever it happens. Moves belong to the
// form alone: none is delivered over a visible label, nor while a label holds the mouse.
// A left press and release over the form outside the labels, released inside the client
// area, is a click of the form; down and up over one and the same label, a click of it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/toolkit.h"
#include "platform/types.h"

namespace vimo {

// What lies under the pointer, as the backend's hit-test found it.
struct MouseHit {
  std::string_view label;  // the first visible label of the design there; "" for none
  bool inClient = false;
};

struct MouseEvent {
  enum class Kind : std::uint8_t { kDown, kUp, kMove, kClick, kControlClick };
  Kind kind = Kind::kMove;
  std::string control;      // kDown, kUp: where the press went; kControlClick: the label
  std::int16_t button = 0;  // kMove: the buttons held
  std::int16_t shift = 0;
  float x = 0.0F;
  float y = 0.0F;
};

// The events of one input, in delivery order.
class MouseEvents {
 public:
  const MouseEvent* begin() const { return events_.data(); }
  const MouseEvent* end() const { return events_.data() + count_; }
  bool empty() const { return count_ == 0; }
  void Add(MouseEvent event) { events_[count_++] = std::move(event); }

 private:
  std::array<MouseEvent, 3> events_{};
  std::size_t count_ = 0;
};

class MouseRouter {
 public:
  MouseEvents Down(std::int16_t button, std::int16_t shift, Point at, const MouseHit& hit);
  // Nothing for a button that did not go down over the form.
  MouseEvents Up(std::int16_t button, std::int16_t shift, Point at, const MouseHit& hit);
  MouseEvents Move(std::int16_t buttons, std::int16_t shift, Point at, const MouseHit& hit);
  // The form lost the mouse to another window: no button counts as held any more.
  void Reset();
  // A button went down over the form and is not up yet: the form holds the mouse.
  bool Holding() const { return buttonsDown_ != 0; }

 private:
  std::int16_t buttonsDown_ = 0;
  std::string pressControl_;  // where the first of the held buttons went down
  bool leftPressOnForm_ = false;
  std::string leftPressLabel_;  // the label the left button went down on, if any
};

// Runs the form's handler of one event.
void Raise(FormEvents& events, const MouseEvent& event);

}  // namespace vimo
