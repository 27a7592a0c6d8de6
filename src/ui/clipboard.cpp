// The clipboard: Ctrl+C copies the view as it stands, "c" the colour of the screen pixel
// under the pointer as "#RRGGBB", which the caption shows for a while.
#include <array>
#include <vector>

#include "app/main_window.h"
#include "platform/win32_constants.h"

namespace vimo {
namespace {

constexpr std::int32_t kNoticeTicks = 133;  // about two seconds of 15 ms ticks
constexpr const char* kBusy = "clipboard busy";

}  // namespace

void MainWindow::ShowNotice(std::string text) {
  s_.NoticeText = std::move(text);
  s_.NoticeTicks = kNoticeTicks;
  UpdateCaption();
}

// The pixels the last frame copied onto the window, with the marker lines inverted as the
// window's pen inverts them; the frame and the read-out band are left out.
void MainWindow::CopyView() {
  const Rect shown = ShownView();
  const PixelRows from = buffPic_->Pixels();
  const int w = std::min(shown.right, from.width) - shown.left;
  const int h = std::min(shown.bottom, from.height) - shown.top;
  if (w <= 0 || h <= 0) return;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  const auto at = [&](int x, int y) -> std::uint32_t& {
    return pixels[static_cast<std::size_t>(y - shown.top) * static_cast<std::size_t>(w) +
                  static_cast<std::size_t>(x - shown.left)];
  };
  for (int y = shown.top; y < shown.top + h; ++y) {
    const std::uint32_t* row = from.Row(y);
    for (int x = shown.left; x < shown.left + w; ++x) {
      at(x, y) = from.Rgb(row[x]);
    }
  }
  std::array<Segment, 4> lines;
  const std::size_t n = MarkerLines(lines);
  for (std::size_t i = 0; i < n; ++i) {
    const Segment& line = lines[i];
    const int dx = line.to.x > line.from.x ? 1 : (line.to.x < line.from.x ? -1 : 0);
    const int dy = line.to.y > line.from.y ? 1 : (line.to.y < line.from.y ? -1 : 0);
    for (Point p = line.from; p.x != line.to.x || p.y != line.to.y; p.x += dx, p.y += dy) {
      if (p.x >= shown.left && p.x < shown.left + w && p.y >= shown.top && p.y < shown.top + h) {
        at(p.x, p.y) ^= 0xFFFFFFU;
      }
    }
  }
  const PixelRows image{pixels.data(), w, w, h, true};
  if (!form_->SetClipboardImage(image)) ShowNotice(kBusy);
}

void MainWindow::CopyText(std::string_view text) {
  if (!form_->SetClipboardText(text)) ShowNotice(kBusy);
}

// Over Vimo's own window only the view has a colour to give: the screen pixel its block
// under the pointer shows, as the measuring points map it.
std::optional<Point> MainWindow::PixelUnder(Point pointer) {
  const Handle hwnd = form_->hWnd();
  Rect window;
  if (!api_.GetWindowRect(hwnd, &window) || !PtInRect(window, pointer)) return pointer;
  Point client = pointer;
  if (!api_.ScreenToClient(hwnd, &client) || !PtInRect(ShownView(), client)) return std::nullopt;
  const std::int32_t column = (client.x - 1) / s_.Factor;
  const std::int32_t row = (client.y - 1) / s_.Factor;
  if (column >= s_.SrcWidth || row >= s_.SrcHeight) return std::nullopt;
  return Point{s_.SrcX + column, s_.SrcY + row};
}

// Over the frame, the margin or the band nothing is copied and nothing said.
void MainWindow::CopyColour() {
  Point pointer;
  if (!api_.GetCursorPos(&pointer)) return;
  const std::optional<Point> pixel = PixelUnder(pointer);
  if (!pixel) return;
  const std::optional<Colour> colour = ColourAt(*pixel);
  if (!colour) return;
  const std::array<char, 8> text = HexColour(*colour);
  ShowNotice(form_->SetClipboardText(text.data()) ? text.data() : kBusy);
}

}  // namespace vimo
