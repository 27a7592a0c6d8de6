// The area the captured rectangle may cover: the virtual desktop, or the primary
// screen where the system reports no monitors.
#include "app/arith.h"
#include "app/main_window.h"
#include "platform/win32_constants.h"

namespace vimo {

std::int32_t MainWindow::MetricOrDefault(std::int32_t index, std::int32_t fallback) {
  if (api_.GetSystemMetrics(win::SM_CMONITORS) != 0) return api_.GetSystemMetrics(index);
  return fallback;
}

void MainWindow::ReadDesktopBounds() {
  s_.DeskLeft = MetricOrDefault(win::SM_XVIRTUALSCREEN, 0);
  s_.DeskTop = MetricOrDefault(win::SM_YVIRTUALSCREEN, 0);
  const std::int32_t screenW =
      ToInt32(RoundHalfEven(static_cast<double>(screen_.Width()) / screen_.TwipsPerPixelX()));
  s_.DeskRight = s_.DeskLeft + MetricOrDefault(win::SM_CXVIRTUALSCREEN, screenW);
  const std::int32_t screenH =
      ToInt32(RoundHalfEven(static_cast<double>(screen_.Height()) / screen_.TwipsPerPixelY()));
  s_.DeskBottom = s_.DeskTop + MetricOrDefault(win::SM_CYVIRTUALSCREEN, screenH);
}

}  // namespace vimo
