// The mouse over the window and its read-out labels: the right button opens the
// menu, moves track the point under the pointer, clicks fix it.
#include <algorithm>
#include <cmath>

#include "app/arith.h"
#include "app/main_window.h"
#include "platform/win32_constants.h"

namespace vimo {
namespace {

constexpr int kPopupFlags = win::TPM_CENTERALIGN | win::TPM_LEFTBUTTON;

}  // namespace

// Presses and releases arrive from the window and from both labels alike.
void MainWindow::OnMouseDown(std::string_view /*control*/, std::int16_t button,
                             std::int16_t /*shift*/, float /*x*/, float /*y*/) {
  if (button == kRightButton) pop_->SetVisible(false);
}

void MainWindow::OnMouseUp(std::string_view /*control*/, std::int16_t button,
                           std::int16_t /*shift*/, float /*x*/, float /*y*/) {
  UpdateCaption();
  if (button == kRightButton) ShowCommandMenu();
}

// Centred on the pointer, items chosen with the left button; returns once it has closed.
void MainWindow::ShowCommandMenu() { form_->PopupMenu(*pop_, kPopupFlags); }

void MainWindow::OnMouseMove(std::int16_t /*button*/, std::int16_t /*shift*/, float x, float y) {
  s_.MeasureToX = FloorToInt32((static_cast<double>(x) - 1.0) / s_.Factor);
  s_.MeasureToY = FloorToInt32((static_cast<double>(y) - 1.0) / s_.Factor);
}

// Each whole notch away from the user chooses the next factor of the Magnification menu,
// each toward the user the one before, as a click on that item would; fractions of a
// notch add up. Past either end of the menu nothing is kept.
void MainWindow::OnMouseWheel(std::int32_t delta) {
  constexpr std::int64_t kNotch = 120;
  // A turn the other way starts afresh.
  const std::int64_t rest = (delta < 0) == (s_.WheelRest < 0) ? s_.WheelRest : 0;
  const std::int64_t total = rest + delta;
  const std::int64_t notches = total / kNotch;
  s_.WheelRest = static_cast<std::int32_t>(total - notches * kNotch);
  if (notches == 0) return;
  const std::int64_t wanted = std::clamp<std::int64_t>(s_.Factor + notches, 1, mag_->UBound());
  if (wanted == s_.Factor) {
    s_.WheelRest = 0;
    return;
  }
  SetFactor(static_cast<std::int16_t>(wanted));
}

void MainWindow::OnClick() {
  s_.MeasureFromX = s_.MeasureToX;
  s_.MeasureFromY = s_.MeasureToY;
}

}  // namespace vimo
