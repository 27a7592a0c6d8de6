// The slowed mouse: the system speed is reduced only while Vimo says so, and always
// given back.
#include "app/main_window.h"

namespace vimo {

void MainWindow::ApplySlowMouse() { slowMouse_->SetChecked(s_.SlowMouseOn != kFalse); }

// Runs in every tick; slowing the pointer inside the locked area comes with the
// slow-mouse command.
void MainWindow::CheckSlowMouse() {}

void MainWindow::RestoreMouseSpeed() {
  api_.SetMouseSpeed(s_.SavedMouseSpeed);
  s_.MouseSlowed = kFalse;
}

}  // namespace vimo
