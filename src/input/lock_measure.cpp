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

void MainWindow::ApplyLock() {
  if (s_.Locked != kFalse) {
    lockMen_->SetChecked(true);
    slowMouse_->SetEnabled(true);
    slowMouse_->SetChecked(s_.SlowMouseOn != kFalse);
    meas_->SetEnabled(true);
    meas_->SetChecked(s_.MeasureOn != kFalse);
    label1_->SetVisible(s_.MeasureOn != kFalse);
    label2_->SetVisible(s_.MeasureOn != kFalse);
    if (s_.MeasureOn == kTrue) ChangeHeightByBand(+1);
  } else {
    lockMen_->SetChecked(false);
    slowMouse_->SetEnabled(false);
    slowMouse_->SetChecked(false);
    meas_->SetEnabled(false);
    meas_->SetChecked(false);
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
  meas_->SetChecked(on);
  label1_->SetVisible(on);
  label2_->SetVisible(on);
  ChangeHeightByBand(on ? +1 : -1);
  form_->Cls();
  ComputeLayout();
  form_->Refresh();
}

}  // namespace vimo
