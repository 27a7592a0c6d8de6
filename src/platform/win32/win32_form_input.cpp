// A form's input: the mouse routed to the form and its labels, keys, command buttons and
// timers, each delivered as an event through the dispatcher.
#include "platform/win32/win32_form.h"

namespace vimo::win32 {
namespace {

std::int16_t KeyShift() {
  std::int16_t shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= 1;
  if (GetKeyState(VK_CONTROL) < 0) shift |= 2;
  if (GetKeyState(VK_MENU) < 0) shift |= 4;
  return shift;
}

std::int16_t MouseShift(WPARAM wParam) {
  std::int16_t shift = 0;
  if ((wParam & MK_SHIFT) != 0) shift |= 1;
  if ((wParam & MK_CONTROL) != 0) shift |= 2;
  if (GetKeyState(VK_MENU) < 0) shift |= 4;
  return shift;
}

std::int16_t HeldButtons(WPARAM wParam) {
  std::int16_t buttons = 0;
  if ((wParam & MK_LBUTTON) != 0) buttons |= kLeftButton;
  if ((wParam & MK_RBUTTON) != 0) buttons |= kRightButton;
  if ((wParam & MK_MBUTTON) != 0) buttons |= kMiddleButton;
  return buttons;
}

POINT MousePoint(LPARAM lParam) {
  return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

}  // namespace

MouseHit Win32Form::HitAt(POINT point) const {
  RECT client{};
  GetClientRect(hwnd_, &client);
  return HitLabels(labels_, {point.x, point.y}, PtInRect(&client, point) != FALSE);
}

void Win32Form::Raise(const MouseEvents& events) {
  for (const MouseEvent& event : events) Deliver([&] { vimo::Raise(events_, event); });
}

void Win32Form::MouseDown(std::int16_t button, WPARAM wParam, LPARAM lParam) {
  const POINT at = MousePoint(lParam);
  if (!router_.Holding()) SetCapture(hwnd_);
  Raise(router_.Down(button, MouseShift(wParam), {at.x, at.y}, HitAt(at)));
}

void Win32Form::MouseUp(std::int16_t button, WPARAM wParam, LPARAM lParam) {
  const POINT at = MousePoint(lParam);
  const bool held = router_.Holding();
  const MouseEvents events = router_.Up(button, MouseShift(wParam), {at.x, at.y}, HitAt(at));
  if (held && !router_.Holding()) ReleaseCapture();
  Raise(events);
}

void Win32Form::MouseMove(WPARAM wParam, LPARAM lParam) {
  const POINT at = MousePoint(lParam);
  Raise(router_.Move(HeldButtons(wParam), MouseShift(wParam), {at.x, at.y}, HitAt(at)));
}

// Buttons, and Enter and Escape through the dialog keys. Menu commands never come this
// way: PopupMenu delivers them itself.
void Win32Form::Command(WPARAM wParam) {
  const int id = LOWORD(wParam);
  if (HIWORD(wParam) != BN_CLICKED) return;
  for (const Button& button : buttons_) {
    if (button.id == id || (id == IDOK && button.isDefault) ||
        (id == IDCANCEL && button.isCancel)) {
      const std::string name = button.name;
      Deliver([&] { events_.OnControlClick(name); });
      return;
    }
  }
}

void Win32Form::KeyPress(WPARAM wParam) {
  auto key = static_cast<std::int16_t>(wParam);
  Deliver([&] { events_.OnKeyPress(key); });
}

void Win32Form::KeyUp(WPARAM wParam) {
  const auto key = static_cast<std::int16_t>(wParam);
  const std::int16_t shift = KeyShift();
  Deliver([&] { events_.OnKeyUp(key, shift); });
}

void Win32Form::TimerFired(WPARAM id) {
  for (Timer& timer : timers_) {
    if (timer.id != id || timer.running) continue;
    timer.running = true;
    const std::string_view name = timer.name;  // timers_ never changes after load
    Deliver([&] { events_.OnTimer(name); });
    timer.running = false;
  }
}

}  // namespace vimo::win32
