// A form's painting: the background, the shapes and labels drawn over it, the paint
// event, and lines drawn by the logic.
#include "platform/win32/win32_form.h"
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include "platform/win32/win32_support.h"

namespace vimo::win32 {

// The background over the whole client area; the labels and shapes, being controls
// rather than drawings, stay.
void Win32Form::Cls() {
  HWND hwnd = LiveWindow();
  RECT r{};
  GetClientRect(hwnd, &r);
  HDC dc = GetDC(hwnd);
  if (dc == nullptr) throw ToolkitError("cannot draw on the window " + name_);
  FillRect(dc, &r, backBrush_);
  DrawDecorations(dc);
  ReleaseDC(hwnd, dc);
}

void Win32Form::Line(int x1, int y1, int x2, int y2, Colour colour) {
  HWND hwnd = LiveWindow();
  HDC dc = GetDC(hwnd);
  if (dc == nullptr) throw ToolkitError("cannot draw on the window " + name_);
  HPEN pen = CreatePen(PS_SOLID, 1, ResolveColour(colour));
  const HGDIOBJ oldPen = pen != nullptr ? SelectObject(dc, pen) : nullptr;
  SetROP2(dc, drawMode_);
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
  if (oldPen != nullptr) SelectObject(dc, oldPen);
  if (pen != nullptr) DeleteObject(pen);
  ReleaseDC(hwnd, dc);
}

void Win32Form::DrawDecorations(HDC dc) const {
  for (const auto& shape : shapes_) shape->Draw(dc);
  for (const auto& label : labels_) label->Draw(dc);
}

void Win32Form::RedrawArea(const Rect* rects, int count) {
  if (hwnd_ == nullptr || IsWindowVisible(hwnd_) == FALSE || count <= 0) return;
  HRGN area = CreateRectRgn(0, 0, 0, 0);
  if (area == nullptr) return;
  for (int i = 0; i < count; ++i) {
    if (rects[i].right <= rects[i].left || rects[i].bottom <= rects[i].top) continue;
    HRGN part = CreateRectRgn(rects[i].left, rects[i].top, rects[i].right, rects[i].bottom);
    if (part == nullptr) continue;
    CombineRgn(area, area, part, RGN_OR);
    DeleteObject(part);
  }
  if (HDC dc = GetDC(hwnd_)) {
    SelectClipRgn(dc, area);
    FillRgn(dc, area, backBrush_);
    DrawDecorations(dc);
    SelectClipRgn(dc, nullptr);
    ReleaseDC(hwnd_, dc);
  }
  DeleteObject(area);
}

void Win32Form::LabelMoved(const Win32Label& label) {
  if (tooltips_ == nullptr || label.Tooltip().empty()) return;
  for (std::size_t i = 0; i < labels_.size(); ++i) {
    if (labels_[i].get() != &label) continue;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = hwnd_;
    tool.uId = i + 1;
    if (label.Visible()) tool.rect = ToRECT(label.Bounds());
    SendMessageW(tooltips_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void Win32Form::Paint() {
  HWND hwnd = hwnd_;
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd, &ps);
  if (!painting_) {
    painting_ = true;
    Deliver([&] { events_.OnPaint(); });
    painting_ = false;
  }
  if (hwnd_ != nullptr && dc != nullptr) DrawDecorations(dc);
  EndPaint(hwnd, &ps);
}

void Win32Form::EraseBackground(HDC dc) const {
  RECT r{};
  GetClientRect(hwnd_, &r);
  FillRect(dc, &r, backBrush_);
}

}  // namespace vimo::win32
