// The keys of the window: space locks, "m" and Escape drive stick mode, "c" copies the
// colour under the pointer and Ctrl+C the view, "f" freezes the screen or lets it go, "i"
// opens or closes Pixel info, releasing an arrow key opens the command menu.
#include "app/main_window.h"
#include "platform/win32_constants.h"

namespace vimo {
namespace {

constexpr std::int16_t kSpace = 32;
constexpr std::int16_t kLowerM = 109;  // only the lower-case letter; "M" does nothing
constexpr std::int16_t kEscape = 27;
constexpr std::int16_t kLowerC = 99;  // as "m": the lower-case letter only
constexpr std::int16_t kControlC = 3;
constexpr std::int16_t kLowerF = 102;
constexpr std::int16_t kLowerI = 105;

}  // namespace

void MainWindow::OnKeyPress(std::int16_t& keyAscii) {
  const std::int16_t key = keyAscii;
  if (key == kSpace) {
    s_.Locked = Complement(s_.Locked);
    ApplyLock();
  }
  if (key == kLowerM) {
    s_.Sticky = Complement(s_.Sticky);
    ApplyStick();
  }
  if (key == kEscape && s_.Sticky == kTrue) {
    s_.Sticky = kFalse;
    ApplyStick();
  }
  if (key == kLowerC) CopyColour();
  if (key == kControlC) CopyView();
  if (key == kLowerF) FreezeClick();
  if (key == kLowerI) PixelInfoClick();
}

void MainWindow::OnKeyUp(std::int16_t keyCode, std::int16_t /*shift*/) {
  if (keyCode < win::VK_LEFT || keyCode > win::VK_DOWN) return;
  ShowCommandMenu();
}

}  // namespace vimo
