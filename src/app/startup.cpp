// Start-up and shut-down of the magnifier window.
#include "app/arith.h"
#include "app/main_window.h"
#include "platform/win32_constants.h"

namespace vimo {
namespace {

constexpr std::int32_t kHintTicks = 2000;
constexpr const char* kHint = "  Right click for a menu";
constexpr Colour kLayeredKey = 254;
constexpr std::uint8_t kOpaque = 255;
// Each read-out line is half the 24-pixel band at any scale. The design's 180 twips are
// 12 pixels only at 96 DPI: at 144 DPI the first label would cover the top of the
// second, at 192 all of it.
constexpr float kLabelHeight = 12.0F;

}  // namespace

void MainWindow::OnLoad() {
  s_.HintTicks = kHintTicks;
  s_.HintText = kHint;
  const Handle hwnd = form_->hWnd();
  const std::int32_t style = api_.GetWindowLong(hwnd, win::GWL_EXSTYLE);
  api_.SetWindowLong(hwnd, win::GWL_EXSTYLE, style | win::WS_EX_LAYERED);
  api_.SetLayeredWindowAttributes(hwnd, kLayeredKey, kOpaque, win::LWA_ALPHA);
  // Current Windows no longer leaves layered windows out of screen copies; X11 has no
  // way at all to leave a window out of a screen read.
  s_.SeesItself = ToFlag(!api_.ExcludeFromCapture(hwnd));
  ReadDesktopBounds();
  s_.PointerOn = kTrue;
  s_.Factor = 3;
  s_.ViewWidth = 300;
  s_.ViewHeight = 300;
  s_.SrcWidth = ToInt16(RoundHalfEven(300.0 / 3.0));
  s_.SrcHeight = ToInt16(RoundHalfEven(300.0 / 3.0));
  SizeReadoutFonts();
  label1_->SetHeight(kLabelHeight);
  label2_->SetHeight(kLabelHeight);
  api_.GetMouseSpeed(&s_.SavedMouseSpeed);
  LoadSettings();
}

// 8 points at 96 DPI, as many pixels at any other scale: the lines keep to the band.
void MainWindow::SizeReadoutFonts() {
  label1_->SetFontSize(screen_.TwipsPerPixelY() * 8.0F / 15.0F);
  label2_->SetFontSize(screen_.TwipsPerPixelY() * 8.0F / 15.0F);
}

// Moved to a monitor of another scale, the window keeps its pixels (the toolkit applies no
// new size) and so does the read-out, sized again in the new scale's points.
void MainWindow::OnDpiChanged() { SizeReadoutFonts(); }

void MainWindow::OnUnload(int& /*cancel*/) {
  // The speed comes back before anything is written, so a failing save cannot leave
  // the mouse slowed.
  if (s_.MouseSlowed == kTrue) RestoreMouseSpeed();
  SaveSettings();
}

}  // namespace vimo
