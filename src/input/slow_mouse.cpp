// The slowed mouse: the system speed is reduced only while Vimo says so, and always
// given back.
#include <algorithm>

#include "app/arith.h"
#include "app/main_window.h"

namespace vimo {
namespace {

// The system accepts mouse speeds 1..20.
constexpr std::int32_t kSlowestMouse = 1;

}  // namespace

bool MainWindow::CanSlowMouse() const { return s_.SavedMouseSpeed >= kSlowestMouse; }

void MainWindow::ApplySlowMouse() {
  if (s_.Locked == kFalse || CanSlowMouse()) MarkOption(&MagnifierState::SlowMouseOn);
}

// Runs in every tick, after the captured area has been placed and clamped.
void MainWindow::CheckSlowMouse() {
  // Edges summed in 16 bits, as the fields are.
  const Rect area{s_.SrcX, s_.SrcY, static_cast<std::int16_t>(s_.SrcX + s_.SrcWidth),
                  static_cast<std::int16_t>(s_.SrcY + s_.SrcHeight)};
  const bool inside = PtInRect(area, s_.CursorPos);
  // A speed that could not be read at start-up could not be given back: never slowed.
  const bool slow = CanSlowMouse() && s_.SlowMouseOn != kFalse && s_.Locked != kFalse && inside;

  if (slow) {
    if (s_.SlowedByCheck != kFalse) return;
    s_.SlowedByCheck = kTrue;
    // A saved speed of 1 at factor 2 or more would give 0, which the system refuses:
    // the slowest speed it accepts is used instead, so the pointer really slows.
    const auto speed = ToInt32(RoundHalfEven(static_cast<double>(s_.SavedMouseSpeed) / s_.Factor));
    api_.SetMouseSpeed(std::max(kSlowestMouse, speed));
    s_.MouseSlowed = kTrue;
  } else if (s_.SlowedByCheck == kTrue) {
    s_.SlowedByCheck = kFalse;
    RestoreMouseSpeed();
  }
}

void MainWindow::RestoreMouseSpeed() {
  api_.SetMouseSpeed(s_.SavedMouseSpeed);
  s_.MouseSlowed = kFalse;
}

}  // namespace vimo
