// Freeze: the whole desktop taken once into StillPic, which every screen read then reads
// instead of the screen, until the picture is let go again.
#include <algorithm>
#include <cstring>
#include <exception>

#include "app/main_window.h"
#include "platform/win32_constants.h"

namespace vimo {
namespace {

constexpr const char* kCannotFreeze = "cannot freeze";
// Chosen in the menu, the screen is taken some 200 ms later: by then the windows the menu
// covered have drawn themselves again.
constexpr std::int32_t kMenuFreezeTicks = 13;

}  // namespace

void MainWindow::FreezeMenuClick() {
  if (s_.Frozen == kFalse && s_.FreezeTicks == 0) {
    s_.FreezeTicks = kMenuFreezeTicks;
  } else {
    FreezeClick();
  }
}

void MainWindow::FreezeClick() {
  if (s_.Frozen == kTrue || s_.FreezeTicks > 0) {
    LetGo();
  } else {
    TakeStill();
  }
  UpdateCaption();
  RenderFrame();
}

void MainWindow::LetGo() {
  s_.FreezeTicks = 0;
  s_.Frozen = kFalse;
  s_.FrozenArea = Rect{};
  stillPic_->SetWidth(1.0F);  // the picture's memory goes
  stillPic_->SetHeight(1.0F);
  freezeItem_->SetChecked(false);
}

void MainWindow::TakeStill() {
  s_.FreezeTicks = 0;
  const Rect desk{s_.DeskLeft, s_.DeskTop, s_.DeskRight, s_.DeskBottom};
  const int w = desk.right - desk.left;
  const int h = desk.bottom - desk.top;
  bool taken = false;
  try {
    stillPic_->SetWidth(static_cast<float>(w));
    stillPic_->SetHeight(static_cast<float>(h));
    const DcLease screen(api_, api_.GetDesktopWindow());
    taken =
        w > 0 && h > 0 &&
        api_.BitBlt(stillPic_->hDC(), 0, 0, w, h, screen.dc(), desk.left, desk.top, win::SRCCOPY);
  } catch (const std::exception&) {
    // No memory for the picture, say: nothing is frozen, and the caption says so.
  }
  if (!taken) {
    LetGo();
    ShowNotice(kCannotFreeze);
    return;
  }
  s_.Frozen = kTrue;
  s_.FrozenArea = desk;
  freezeItem_->SetChecked(true);
}

// Of the captured area, the part inside the picture is enlarged from it; the rest, if the
// desktop has grown since, is black.
void MainWindow::StretchFrozen(Handle buffer, bool grid) {
  const Rect area{s_.SrcX, s_.SrcY, s_.SrcX + s_.SrcWidth, s_.SrcY + s_.SrcHeight};
  const Rect inside = Intersection(area, s_.FrozenArea);
  const std::int32_t f = s_.Factor;
  const int left = grid ? 0 : 1;
  if (inside != area) {
    const PixelRows rows = buffPic_->Pixels();
    const int right = std::min(rows.width, left + s_.ViewWidth);
    const int bottom = std::min(rows.height, 1 + s_.ViewHeight);
    for (int y = 1; y < bottom; ++y) {
      if (right > left) std::fill(rows.Row(y) + left, rows.Row(y) + right, 0U);
    }
  }
  if (IsEmpty(inside)) return;
  api_.StretchBlt(buffer, left + (inside.left - area.left) * f, 1 + (inside.top - area.top) * f,
                  (inside.right - inside.left) * f, (inside.bottom - inside.top) * f,
                  stillPic_->hDC(), inside.left - s_.FrozenArea.left,
                  inside.top - s_.FrozenArea.top, inside.right - inside.left,
                  inside.bottom - inside.top, win::SRCCOPY);
}

std::optional<Colour> MainWindow::ColourAt(Point pixel) {
  Colour colour = win::CLR_INVALID;
  if (s_.Frozen == kTrue) {
    if (!PtInRect(s_.FrozenArea, pixel)) return std::nullopt;
    colour =
        api_.GetPixel(stillPic_->hDC(), pixel.x - s_.FrozenArea.left, pixel.y - s_.FrozenArea.top);
  } else {
    const DcLease screen(api_, api_.GetDesktopWindow());
    colour = api_.GetPixel(screen.dc(), pixel.x, pixel.y);
  }
  if (colour == win::CLR_INVALID) return std::nullopt;
  return colour;
}

}  // namespace vimo
