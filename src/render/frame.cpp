// One frame: the captured screen area stretched into the off-screen surface, the
// pointer, the grid, then the copy into the window just inside the frame.
#include <algorithm>
#include <optional>

#include "app/main_window.h"
#include "platform/win32_constants.h"

namespace vimo {
namespace {

// Gives a device context back however the frame ends, so a failing toolkit call cannot
// leave one taken.
class DcLease {
 public:
  DcLease(Win32Api& api, Handle window) : api_(api), window_(window), dc_(api.GetDC(window)) {}
  ~DcLease() { api_.ReleaseDC(window_, dc_); }
  DcLease(const DcLease&) = delete;
  DcLease& operator=(const DcLease&) = delete;
  Handle dc() const { return dc_; }

 private:
  Win32Api& api_;
  Handle window_;
  Handle dc_;
};

}  // namespace

void MainWindow::RenderFrame() {
  std::optional<DcLease> screen(std::in_place, api_, api_.GetDesktopWindow());
  const Handle screenDc = screen->dc();
  const Handle buffer = buffPic_->hDC();
  const bool grid = GridMode();
  const std::int32_t f = s_.Factor;
  const std::int32_t viewW = s_.ViewWidth;
  const std::int32_t viewH = s_.ViewHeight;

  // Exactly Factor times the source in each direction: every screen pixel becomes a
  // block of identical pixels. In grid mode the block starts one column further left,
  // so the grid line takes its first column.
  api_.StretchBlt(buffer, grid ? 0 : 1, 1, viewW, viewH, screenDc, s_.SrcX, s_.SrcY, s_.SrcWidth,
                  s_.SrcHeight, win::SRCCOPY);

  DrawPointer();

  if (grid) {
    const std::int32_t lastColumn = viewW - 1;
    for (std::int32_t x = f; x <= lastColumn; x += f) {
      api_.MoveToEx(buffer, x, 1, &s_.GridPenPoint);
      api_.LineTo(buffer, x, viewH);
    }
    const std::int32_t lastRow = viewH - 1;
    for (std::int32_t y = f; y <= lastRow; y += f) {
      api_.MoveToEx(buffer, 1, y, &s_.GridPenPoint);
      api_.LineTo(buffer, viewW, y);
    }
  }

  // The window's device context lives only for this copy. A view of zero size copies
  // nothing (a negative size would mirror).
  {
    const DcLease window(api_, form_->hWnd());
    const std::int32_t copyW = std::max(0, grid ? viewW - 1 : viewW);
    const std::int32_t copyH = std::max(0, grid ? viewH - 1 : viewH);
    api_.BitBlt(window.dc(), 1, 1, copyW, copyH, buffer, 1, 1, win::SRCCOPY);
  }
  screen.reset();  // the screen's context is given back before the read-out is drawn
  ShowMeasurement();
}

}  // namespace vimo
