// The mouse pointer, enlarged into the off-screen surface where it lies on the screen.
#include <utility>

#include "app/main_window.h"
#include "platform/win32_constants.h"

namespace vimo {

void MainWindow::DrawPointer() {
  if (s_.PointerOn != kTrue) return;

  // The tick's frame draws the pointer its GetCursorInfo found; any other frame asks.
  Handle pointer = 0;
  if (tickCursor_) {
    pointer = *std::exchange(tickCursor_, std::nullopt);
  } else {
    CursorInfo cursor;
    api_.GetCursorInfo(&cursor);
    pointer = cursor.hCursor;
  }

  // Cleared on every call, so nothing of an earlier pointer is reused.
  IconInfo icon;
  BitmapInfo mask;
  api_.GetIconInfo(pointer, &icon);
  api_.GetObject(icon.hbmMask, static_cast<int>(sizeof(BitmapInfo)), &mask);

  const std::int32_t f = s_.Factor;
  const std::int32_t left =
      f * (s_.CursorPos.x - s_.SrcX - static_cast<std::int32_t>(icon.xHotspot));
  const std::int32_t top =
      f * (s_.CursorPos.y - s_.SrcY - static_cast<std::int32_t>(icon.yHotspot));
  const std::int32_t size = f * mask.bmWidth;  // the mask's width serves for both sides
  api_.DrawIconEx(buffPic_->hDC(), left, top, pointer, size, size, 0, 0, win::DI_NORMAL);

  // GetIconInfo made both bitmaps for this call alone.
  api_.DeleteObject(icon.hbmColor);
  api_.DeleteObject(icon.hbmMask);
}

}  // namespace vimo
