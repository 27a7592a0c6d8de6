// Menu commands and the plain option switches.
#include "app/main_window.h"
#include "platform/win32_constants.h"

namespace vimo {
namespace {

// Topmost changes neither move, size nor activate the window, and show it.
constexpr std::uint32_t kTopmostFlags =
    win::SWP_NOSIZE | win::SWP_NOMOVE | win::SWP_NOACTIVATE | win::SWP_SHOWWINDOW;

}  // namespace

void MainWindow::OnMenuClick(std::string_view name, std::int16_t index) {
  if (name == "Mag") {
    SetFactor(index);
  } else if (name == "OnTop") {
    s_.OnTopOn = Complement(s_.OnTopOn);
    ApplyOnTop();
  } else if (name == "Stick") {
    s_.Sticky = Complement(s_.Sticky);
    ApplyStick();
  } else if (name == "Center") {
    s_.Centered = kTrue;
    ApplyCentered();
  } else if (name == "TopLeft") {
    s_.Centered = kFalse;
    ApplyCentered();
  } else if (name == "PointerMen") {
    s_.PointerOn = Complement(s_.PointerOn);
    ApplyPointer();
  } else if (name == "GridMen") {
    s_.GridOn = Complement(s_.GridOn);
    ApplyGrid();
  } else if (name == "LockMen") {
    s_.Locked = Complement(s_.Locked);
    ApplyLock();
  } else if (name == "Meas") {
    s_.MeasureOn = Complement(s_.MeasureOn);
    ApplyMeasure();
  } else if (name == "SlowMouse") {
    s_.SlowMouseOn = Complement(s_.SlowMouseOn);
    ApplySlowMouse();
  } else if (name == "GridColor") {
    GridColorClick();
  } else if (name == "About") {
    AboutClick();
  }
}

void MainWindow::ApplyOnTop() {
  const Handle hwnd = form_->hWnd();
  if (s_.OnTopOn != kFalse) {
    api_.SetWindowPos(hwnd, win::HWND_TOPMOST, 0, 0, 0, 0, kTopmostFlags);
    onTop_->SetChecked(true);
  } else {
    onTop_->SetChecked(false);
    api_.SetWindowPos(hwnd, win::HWND_NOTOPMOST, 0, 0, 0, 0, kTopmostFlags);
  }
}

void MainWindow::ApplyStick() { stick_->SetChecked(s_.Sticky != kFalse); }

void MainWindow::ApplyCentered() {
  center_->SetChecked(s_.Centered != kFalse);
  topLeft_->SetChecked(Complement(s_.Centered) != kFalse);
}

void MainWindow::ApplyPointer() { pointerMen_->SetChecked(s_.PointerOn != kFalse); }

void MainWindow::ApplyGrid() {
  gridMen_->SetChecked(s_.GridOn != kFalse);
  ComputeLayout();
  RenderFrame();
}

}  // namespace vimo
