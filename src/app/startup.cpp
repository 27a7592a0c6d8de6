// Start-up and shut-down of the magnifier window.
#include <exception>
#include <functional>

#include "app/arith.h"
#include "app/main_window.h"
#include "platform/win32_constants.h"
#include "ui/designs.h"

namespace vimo {
namespace {

constexpr std::int32_t kHintTicks = 2000;
constexpr const char* kHint = "  Right click for a menu";
constexpr Colour kLayeredKey = 254;
constexpr std::uint8_t kOpaque = 255;

// Runs one step of reading the settings; a step that fails is skipped without a report.
void Guarded(const std::function<void()>& step) {
  try {
    step();
  } catch (const std::exception&) {
    // The setting keeps the value it had before this step.
  }
}

}  // namespace

void MainWindow::OnLoad() {
  s_.HintTicks = kHintTicks;
  s_.HintText = kHint;
  const Handle hwnd = form_->hWnd();
  const std::int32_t style = api_.GetWindowLong(hwnd, win::GWL_EXSTYLE);
  api_.SetWindowLong(hwnd, win::GWL_EXSTYLE, style | win::WS_EX_LAYERED);
  api_.SetLayeredWindowAttributes(hwnd, kLayeredKey, kOpaque, win::LWA_ALPHA);
  // Current Windows no longer leaves layered windows out of screen copies.
  api_.ExcludeFromCapture(hwnd);
  ReadDesktopBounds();
  s_.PointerOn = kTrue;
  s_.Factor = 3;
  s_.ViewWidth = 300;
  s_.ViewHeight = 300;
  s_.SrcWidth = ToInt16(RoundHalfEven(300.0 / 3.0));
  s_.SrcHeight = ToInt16(RoundHalfEven(300.0 / 3.0));
  label1_->SetFontSize(screen_.TwipsPerPixelY() * 8.0F / 15.0F);
  label2_->SetFontSize(screen_.TwipsPerPixelY() * 8.0F / 15.0F);
  api_.GetMouseSpeed(&s_.SavedMouseSpeed);
  LoadSettings();
}

void MainWindow::OnUnload(int& /*cancel*/) {
  // The speed comes back before anything is written, so a failing save cannot leave
  // the mouse slowed.
  if (s_.MouseSlowed == kTrue) RestoreMouseSpeed();
  SaveSettings();
}

// Until Vimo keeps a settings file, every key reads as missing and takes its default.
std::int32_t MainWindow::StoredValue(std::string_view /*key*/, std::int32_t fallback) {
  return fallback;
}

// A stored window size in twips, no larger than the primary screen; the window's
// present size where none is stored.
float MainWindow::StoredSize(std::string_view key, float present, float screen) {
  double size = StoredValue(key, ToInt32(RoundHalfEven(present)));
  if (size > screen) size = RoundHalfEven(screen);
  return static_cast<float>(size);
}

// A stored window edge in twips, kept on the primary screen; centred where none is
// stored.
float MainWindow::StoredPosition(std::string_view key, float screen, float window) {
  const double centred = RoundHalfEven(screen / 2.0 - window / 2.0);
  double edge = StoredValue(key, ToInt32(centred));
  if (edge < 0) edge = 0;
  const double room = static_cast<double>(screen) - window;
  if (edge > room) edge = RoundHalfEven(room);
  return static_cast<float>(edge);
}

void MainWindow::LoadSettings() {
  Guarded([&] { SetFactor(static_cast<std::int16_t>(StoredValue("FactorIndex", 3))); });
  Guarded([&] {
    buffPic_->SetForeColor(static_cast<Colour>(
        StoredValue("GridColor", static_cast<std::int32_t>(kDefaultGridColour))));
  });
  Guarded([&] { RenderFrame(); });
  Guarded([&] { s_.GridOn = ToFlag(StoredValue("Grid", 0)); });
  Guarded([&] { ApplyGrid(); });
  Guarded([&] { s_.Centered = ToFlag(StoredValue("Centered", -1)); });
  Guarded([&] { ApplyCentered(); });
  Guarded([&] { s_.MeasureOn = ToFlag(StoredValue("Measure", 0)); });
  Guarded([&] { ApplyMeasure(); });
  Guarded([&] { s_.Locked = ToFlag(StoredValue("Locked", 0)); });
  Guarded([&] { ApplyLock(); });
  Guarded([&] { s_.SrcX = static_cast<std::int16_t>(StoredValue("XPos", 0)); });
  Guarded([&] { s_.SrcY = static_cast<std::int16_t>(StoredValue("YPos", 0)); });
  Guarded([&] { s_.OnTopOn = ToFlag(StoredValue("TopWindow", -1)); });
  Guarded([&] { ApplyOnTop(); });
  Guarded([&] { s_.PointerOn = ToFlag(StoredValue("CursorOn", -1)); });
  Guarded([&] { ApplyPointer(); });
  Guarded([&] { form_->SetWidth(StoredSize("Width", form_->Width(), screen_.Width())); });
  Guarded([&] { form_->SetHeight(StoredSize("Height", form_->Height(), screen_.Height())); });
  Guarded([&] { form_->SetLeft(StoredPosition("Left", screen_.Width(), form_->Width())); });
  Guarded([&] { form_->SetTop(StoredPosition("Top", screen_.Height(), form_->Height())); });
  Guarded([&] { s_.SlowMouseOn = ToFlag(StoredValue("SlowMouse", 0)); });
  Guarded([&] { ApplySlowMouse(); });
}

// Nothing is written until Vimo keeps a settings file.
void MainWindow::SaveSettings() {}

}  // namespace vimo
