#include "platform/mouse_routing.h"

#include <utility>

namespace vimo {
namespace {

MouseEvent Event(MouseEvent::Kind kind, std::string control, std::int16_t button,
                 std::int16_t shift, Point at) {
  return {kind,  std::move(control),       button,
          shift, static_cast<float>(at.x), static_cast<float>(at.y)};
}

}  // namespace

MouseEvents MouseRouter::Down(std::int16_t button, std::int16_t shift, Point at,
                              const MouseHit& hit) {
  if (buttonsDown_ == 0) pressControl_.assign(hit.label);
  buttonsDown_ = static_cast<std::int16_t>(buttonsDown_ | button);
  if (button == kLeftButton) {
    leftPressOnForm_ = pressControl_.empty();
    leftPressLabel_.assign(hit.label);
  }
  MouseEvents events;
  events.Add(Event(MouseEvent::Kind::kDown, pressControl_, button, shift, at));
  return events;
}

MouseEvents MouseRouter::Up(std::int16_t button, std::int16_t shift, Point at,
                            const MouseHit& hit) {
  MouseEvents events;
  if ((buttonsDown_ & button) == 0) return events;
  events.Add(Event(MouseEvent::Kind::kUp, pressControl_, button, shift, at));
  if (button == kLeftButton) {
    if (leftPressOnForm_ && hit.inClient && hit.label.empty()) {
      events.Add(Event(MouseEvent::Kind::kClick, {}, button, shift, at));
    }
    if (!hit.label.empty() && hit.label == leftPressLabel_) {
      events.Add(Event(MouseEvent::Kind::kControlClick, leftPressLabel_, button, shift, at));
    }
    leftPressOnForm_ = false;
    leftPressLabel_.clear();
  }
  buttonsDown_ = static_cast<std::int16_t>(buttonsDown_ & ~button);
  if (buttonsDown_ == 0) pressControl_.clear();
  return events;
}

MouseEvents MouseRouter::Move(std::int16_t buttons, std::int16_t shift, Point at,
                              const MouseHit& hit) {
  MouseEvents events;
  const bool labelHolds = buttonsDown_ != 0 && !pressControl_.empty();
  const bool overLabel = buttonsDown_ == 0 && !hit.label.empty();
  if (!labelHolds && !overLabel) {
    events.Add(Event(MouseEvent::Kind::kMove, {}, buttons, shift, at));
  }
  return events;
}

void MouseRouter::Reset() {
  buttonsDown_ = 0;
  pressControl_.clear();
  leftPressOnForm_ = false;
  leftPressLabel_.clear();
}

void Raise(FormEvents& events, const MouseEvent& e) {
  switch (e.kind) {
    case MouseEvent::Kind::kDown:
      events.OnMouseDown(e.control, e.button, e.shift, e.x, e.y);
      break;
    case MouseEvent::Kind::kUp:
      events.OnMouseUp(e.control, e.button, e.shift, e.x, e.y);
      break;
    case MouseEvent::Kind::kMove:
      events.OnMouseMove(e.button, e.shift, e.x, e.y);
      break;
    case MouseEvent::Kind::kClick:
      events.OnClick();
      break;
    case MouseEvent::Kind::kControlClick:
      events.OnControlClick(e.control);
      break;
  }
}

}  // namespace vimo
