// Lock and measure: the menu states, the read-out labels and the 24-pixel band.
#include "app/main_window.h"

namespace vimo {
namespace {

constexpr float kBandPixels = 24.0F;

}  // namespace

// The window grows or shrinks at the bottom by the read-out band; its top stays.
void MainWindow::ChangeHeightByBand(int sign) {
  const float band = kBandPixels * screen_.TwipsPerPixelY();
  form_->SetHeight(form_->Height() + static_cast<float>(sign) * band);
}

// LockMen's check mark is set here from Locked, so it always equals the flag; the layout
// and the read-out go by the flag.
void MainWindow::ApplyLock() {
  MenuItem& slowMouse = *ItemsOf(&MagnifierState::SlowMouseOn).on;
  MenuItem& meas = *ItemsOf(&MagnifierState::MeasureOn).on;
  MarkOption(&MagnifierState::Locked);
  if (s_.Locked != kFalse) {
    // A speed that could not be read cannot be given back: the pointer is never slowed
    // then, and the item says so (the option itself is kept for the next start).
    slowMouse.SetEnabled(CanSlowMouse());
    if (CanSlowMouse()) {
      MarkOption(&MagnifierState::SlowMouseOn);
    } else {
      slowMouse.SetChecked(false);
    }
    meas.SetEnabled(true);
    MarkOption(&MagnifierState::MeasureOn);
    label1_->SetVisible(s_.MeasureOn != kFalse);
    label2_->SetVisible(s_.MeasureOn != kFalse);
    if (s_.MeasureOn == kTrue) ChangeHeightByBand(+1);
  } else {
    slowMouse.SetEnabled(false);
    slowMouse.SetChecked(false);
    meas.SetEnabled(false);
    meas.SetChecked(false);
    label1_->SetVisible(false);
    label2_->SetVisible(false);
    if (s_.MeasureOn == kTrue) ChangeHeightByBand(-1);
    if (s_.MouseSlowed == kTrue) RestoreMouseSpeed();
  }
  form_->Cls();
  ComputeLayout();
  form_->Refresh();
}

void MainWindow::ApplyMeasure() {
  const bool on = s_.MeasureOn != kFalse;
  MarkOption(&MagnifierState::MeasureOn);
  label1_->SetVisible(on);
  label2_->SetVisible(on);
  ChangeHeightByBand(on ? +1 : -1);
  form_->Cls();
  ComputeLayout();
  form_->Refresh();
}

}  // namespace vimo
