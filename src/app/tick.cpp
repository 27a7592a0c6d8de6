// The 15 ms tick: follow the pointer, keep the captured area on the desktop, draw.
#include <cmath>

#include "app/arith.h"
#include "app/main_window.h"
#include "platform/win32_constants.h"

namespace vimo {
namespace {

constexpr std::int32_t kBoundsPeriod = 300;
constexpr std::int32_t kStickGapX = 24;
constexpr std::int32_t kStickGapY = 32;
constexpr std::uint32_t kMoveFlags = win::SWP_NOSIZE | win::SWP_NOZORDER | win::SWP_NOACTIVATE;

}  // namespace

void MainWindow::Tick() {
  if (s_.BoundsTicks == kBoundsPeriod) {
    s_.BoundsTicks = 0;
    ReadDesktopBounds();
  }
  s_.BoundsTicks += 1;

  if (s_.HintTicks > 0) {
    s_.HintTicks -= 1;
    if (s_.HintTicks == 0) {
      s_.HintText.clear();
      UpdateCaption();
    }
  }
  if (s_.NoticeTicks > 0) {
    s_.NoticeTicks -= 1;
    if (s_.NoticeTicks == 0) UpdateCaption();
  }

  if (s_.FreezeTicks > 0 && --s_.FreezeTicks == 0) {
    TakeStill();
    UpdateCaption();
  }
  const double divisor = s_.Centered == kTrue ? 2.0 : 1.0;
  ReadCursor();

  if (s_.Locked == kFalse) {
    const auto w1 = static_cast<std::int16_t>(s_.SrcWidth - 1);
    const auto h1 = static_cast<std::int16_t>(s_.SrcHeight - 1);
    s_.SrcX = ToInt16(std::floor(s_.CursorPos.x - w1 / divisor));
    s_.SrcY = ToInt16(std::floor(s_.CursorPos.y - h1 / divisor));
  }

  // Right and bottom come second, so they win for an area larger than the desktop.
  if (s_.SrcX < s_.DeskLeft) s_.SrcX = ToInt16(s_.DeskLeft);
  if (s_.SrcY < s_.DeskTop) s_.SrcY = ToInt16(s_.DeskTop);
  if (s_.SrcX > s_.DeskRight - s_.SrcWidth) s_.SrcX = ToInt16(s_.DeskRight - s_.SrcWidth);
  if (s_.SrcY > s_.DeskBottom - s_.SrcHeight) s_.SrcY = ToInt16(s_.DeskBottom - s_.SrcHeight);

  CheckSlowMouse();
  RenderFrame();
  UpdatePixelInfo();
  UpdatePosition();
}

// The pointer's position into CursorPos. While the view shows the pointer, the one
// GetCursorInfo that DrawPointer needs gives the position too; GetCursorPos is asked only
// when the overlay is off, or when that query fails or finds no pointer showing.
void MainWindow::ReadCursor() {
  tickCursor_.reset();
  if (s_.PointerOn == kTrue) {
    CursorInfo cursor;
    const bool read = api_.GetCursorInfo(&cursor);
    tickCursor_ = cursor.hCursor;
    if (read && cursor.flags != 0) {
      s_.CursorPos = cursor.ptScreenPos;
      return;
    }
  }
  api_.GetCursorPos(&s_.CursorPos);
}

void MainWindow::UpdatePosition() {
  const WindowState state = form_->State();
  const bool visible = form_->Visible();
  if (state != WindowState::kNormal || s_.Sticky != kTrue || !visible) return;

  const Handle hwnd = form_->hWnd();
  Rect r;
  api_.GetWindowRect(hwnd, &r);
  const std::int32_t w = r.right - r.left;
  const std::int32_t h = r.bottom - r.top;

  std::int32_t x = s_.CursorPos.x + kStickGapX;
  std::int32_t y = s_.CursorPos.y + kStickGapY;
  if (y + h > s_.DeskBottom) {
    if (x + w > s_.DeskRight) {
      y = s_.CursorPos.y - h - kStickGapX;  // above the pointer
    } else {
      y = s_.DeskBottom - h;
    }
  }
  if (x + w > s_.DeskRight) x = s_.DeskRight - w;
  if (s_.SeesItself == kTrue) {
    // Where the screen read shows Vimo's own window, a window over the captured area
    // would show the view in the view: it goes beside the area, right of it where the
    // desktop has room, else left of it.
    const Rect area{s_.SrcX, s_.SrcY, s_.SrcX + s_.SrcWidth, s_.SrcY + s_.SrcHeight};
    if (x < area.right && x + w > area.left && y < area.bottom && y + h > area.top) {
      if (area.right + w <= s_.DeskRight) {
        x = area.right;
      } else if (area.left - w >= s_.DeskLeft) {
        x = area.left - w;
      }
    }
  }
  // Moving the window costs a round of window messages; a resting pointer needs none.
  // The window's own rectangle is the comparison, so a window dragged or moved away
  // comes back at once.
  if (x == r.left && y == r.top) return;
  api_.SetWindowPos(hwnd, win::HWND_TOP, x, y, 0, 0, kMoveFlags);
}

}  // namespace vimo
