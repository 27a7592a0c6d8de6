// One frame: the captured screen area stretched into the off-screen surface, the
// pointer, the grid, then the copy into the window just inside the frame.
#include <algorithm>
#include <optional>

#include "app/main_window.h"
#include "platform/win32_constants.h"

namespace vimo {
namespace {

// Grid lines across a view of `view` pixels: one at each multiple of the factor short
// of the view's far edge.
std::size_t GridLines(std::int32_t view, std::int32_t factor) {
  return static_cast<std::size_t>(std::max(0, view - 1) / factor);
}

}  // namespace

// Room for the grid of the current layout, made when the layout changes so that frames
// allocate nothing. It only grows.
void MainWindow::ReserveGrid() {
  if (!GridMode()) return;
  const std::size_t lines =
      GridLines(s_.ViewWidth, s_.Factor) + GridLines(s_.ViewHeight, s_.Factor);
  if (gridPoints_.size() >= 2 * lines) return;
  gridPoints_.resize(2 * lines);
}

// With the grid the frame's far sides lie on the view's last column and row. A view of
// zero size copies nothing (a negative size would mirror).
Rect MainWindow::ShownView() const {
  const bool grid = GridMode();
  const std::int32_t w = grid ? s_.ViewWidth - 1 : s_.ViewWidth;
  const std::int32_t h = grid ? s_.ViewHeight - 1 : s_.ViewHeight;
  return Rect{1, 1, 1 + std::max(0, w), 1 + std::max(0, h)};
}

void MainWindow::RenderFrame() {
  // Frozen, the screen is not read at all.
  std::optional<DcLease> screen;
  if (s_.Frozen != kTrue) screen.emplace(api_, api_.GetDesktopWindow());
  const Handle buffer = buffPic_->hDC();
  const bool grid = GridMode();
  const std::int32_t f = s_.Factor;
  const std::int32_t viewW = s_.ViewWidth;
  const std::int32_t viewH = s_.ViewHeight;

  // Exactly Factor times the source in each direction: every screen pixel becomes a
  // block of identical pixels. In grid mode the block starts one column further left,
  // so the grid line takes its first column.
  if (screen) {
    api_.StretchBlt(buffer, grid ? 0 : 1, 1, viewW, viewH, screen->dc(), s_.SrcX, s_.SrcY,
                    s_.SrcWidth, s_.SrcHeight, win::SRCCOPY);
  } else {
    StretchFrozen(buffer, grid);
  }

  DrawPointer();

  // All lines in one walk over the surface's memory; each leaves out its end point, so a
  // vertical line covers rows 1 to ViewHeight - 1 and a horizontal one columns 1 to
  // ViewWidth - 1.
  // The points are worked out again only for a new view size or factor.
  if (grid) {
    if (gridFor_ != Rect{0, 0, viewW, viewH} || gridFactor_ != f) {
      ReserveGrid();  // already done by the layout, unless the view was changed behind it
      std::size_t n = 0;
      const std::int32_t lastColumn = viewW - 1;
      for (std::int32_t x = f; x <= lastColumn; x += f) {
        gridPoints_[n++] = {x, 1};
        gridPoints_[n++] = {x, viewH};
      }
      const std::int32_t lastRow = viewH - 1;
      for (std::int32_t y = f; y <= lastRow; y += f) {
        gridPoints_[n++] = {1, y};
        gridPoints_[n++] = {viewW, y};
      }
      gridFor_ = Rect{0, 0, viewW, viewH};
      gridFactor_ = f;
      gridLines_ = n / 2;
    }
    buffPic_->StraightLines(gridPoints_.data(), gridLines_, s_.GridColor);
  }

  // The window's device context lives only for this copy.
  {
    const DcLease window(api_, form_->hWnd());
    const Rect shown = ShownView();
    api_.BitBlt(window.dc(), 1, 1, shown.right - 1, shown.bottom - 1, buffer, 1, 1, win::SRCCOPY);
  }
  screen.reset();  // the screen's context is given back before the read-out is drawn
  ShowMeasurement();
}

}  // namespace vimo
