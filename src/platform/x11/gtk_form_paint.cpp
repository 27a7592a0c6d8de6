// A form's painting: the background, the paint event, the shapes and labels drawn over
// it, and lines drawn by the logic. Everything goes to the X window on the toolkit's
// connection, in order: Xlib requests and cairo's are sent in the order they are made.
#include <cairo-xlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "platform/x11/gtk_form.h"

namespace vimo::x11 {
namespace {

// One channel of a 0x00BBGGRR colour placed by a visual's mask.
unsigned long Channel(unsigned int value, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1UL) == 0) ++shift;
  int bits = 0;
  while (((mask >> (shift + bits)) & 1UL) != 0) ++bits;
  const unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8)
                                         : static_cast<unsigned long>(value) >> (8 - bits);
  return (scaled << shift) & mask;
}

}  // namespace

unsigned long GkForm::PixelOf(Colour colour) const {
  const Colour c = ResolveColour(colour);
  const unsigned int r = c & 0xFFU;
  const unsigned int g = (c >> 8) & 0xFFU;
  const unsigned int b = (c >> 16) & 0xFFU;
  if (visual_ == nullptr) return (r << 16) | (g << 8) | b;
  return Channel(r, visual_->red_mask) | Channel(g, visual_->green_mask) |
         Channel(b, visual_->blue_mask);
}

bool GkForm::Drawable() const {
  return window_ != nullptr && gc_ != nullptr && gtk_widget_get_mapped(window_) != FALSE &&
         !iconified_;
}

void GkForm::ClientResized() {
  if (surface_ != nullptr) cairo_xlib_surface_set_size(surface_, clientWidth_, clientHeight_);
}

void GkForm::FillBackground() {
  XSetFunction(display_, gc_, GXcopy);
  XSetForeground(display_, gc_, PixelOf(backColour_));
  XFillRectangle(display_, static_cast<::Window>(xid_), gc_, 0, 0,
                 static_cast<unsigned int>(clientWidth_), static_cast<unsigned int>(clientHeight_));
}

void GkForm::DrawDecorations() const {
  for (const auto& shape : shapes_) shape->Draw();
  for (const auto& label : labels_) label->Draw(cairo_);
  cairo_surface_flush(surface_);
}

// The background over the whole client area; the labels and shapes, being controls
// rather than drawings, stay.
void GkForm::Cls() {
  LiveWindow();
  if (!Drawable()) return;
  overdrawn_.all = true;
  lines_.Erased(Overdrawn{.all = true});
  FillBackground();
  DrawDecorations();
  XFlush(display_);
}

// The paint event runs only while the window shows and is not minimised.
void GkForm::Refresh() {
  LiveWindow();
  Paint();
  if (fixed_ != nullptr) gtk_widget_queue_draw(fixed_);  // the buttons come back over it
}

void GkForm::Paint() {
  if (!Drawable()) return;
  overdrawn_.all = true;
  lines_.Erased(Overdrawn{.all = true});
  FillBackground();
  if (!painting_) {
    painting_ = true;
    Deliver([&] { events_.OnPaint(); });
    painting_ = false;
  }
  if (!Drawable()) return;  // the paint handler unloaded the form
  DrawDecorations();
  XFlush(display_);
}

void GkForm::RedrawArea(const Rect* rects, int count) {
  if (!Drawable() || count <= 0) return;
  std::array<XRectangle, 8> clip{};
  int n = 0;
  for (int i = 0; i < count && n < static_cast<int>(clip.size()); ++i) {
    const Rect& r = rects[i];
    if (r.right <= r.left || r.bottom <= r.top) continue;
    clip[n++] = XRectangle{static_cast<short>(r.left), static_cast<short>(r.top),
                           static_cast<unsigned short>(r.right - r.left),
                           static_cast<unsigned short>(r.bottom - r.top)};
  }
  if (n == 0) return;
  Overdrawn painted;
  for (int i = 0; i < n; ++i) {
    painted.Add(Rect{clip[i].x, clip[i].y, clip[i].x + clip[i].width, clip[i].y + clip[i].height});
    overdrawn_.Add(painted.rects[static_cast<std::size_t>(i)]);
  }
  lines_.Erased(painted);
  XSetClipRectangles(display_, gc_, 0, 0, clip.data(), n, Unsorted);
  cairo_save(cairo_);
  for (int i = 0; i < n; ++i) {
    cairo_rectangle(cairo_, clip[i].x, clip[i].y, clip[i].width, clip[i].height);
  }
  cairo_clip(cairo_);
  FillBackground();
  DrawDecorations();
  cairo_restore(cairo_);
  XSetClipMask(display_, gc_, None);
  XFlush(display_);
}

Overdrawn GkForm::TakeOverdrawn() {
  if (lines_.Pending()) SettleLines();
  lines_.BeforePut(overdrawn_);
  return std::exchange(overdrawn_, Overdrawn{});
}

void GkForm::SettleLines() {
  if (!Drawable()) {
    lines_.Forget();
    return;
  }
  XSetFunction(display_, gc_, GXinvert);
  XSetPlaneMask(display_, gc_, PixelOf(0x00FFFFFF));
  lines_.Settle([&](const Rect& r) {
    XFillRectangle(display_, static_cast<::Window>(xid_), gc_, r.left, r.top,
                   static_cast<unsigned int>(r.right - r.left),
                   static_cast<unsigned int>(r.bottom - r.top));
  });
  XSetFunction(display_, gc_, GXcopy);
  XSetPlaneMask(display_, gc_, AllPlanes);
  XFlush(display_);
}

// From (x1, y1) to (x2, y2), the end point left out, as GDI's LineTo draws it; in draw
// mode 6 each pixel on the way is inverted, in 13 it takes the colour.
void GkForm::Line(int x1, int y1, int x2, int y2, Colour colour) {
  LiveWindow();
  if (!Drawable()) return;
  const auto drawable = static_cast<::Window>(xid_);
  if (drawMode_ == 6) {
    XSetFunction(display_, gc_, GXinvert);
    XSetPlaneMask(display_, gc_, PixelOf(0x00FFFFFF));
  } else {
    XSetFunction(display_, gc_, GXcopy);
    XSetForeground(display_, gc_, PixelOf(colour));
  }
  if (x1 == x2 || y1 == y2) {
    // Straight lines are one rectangle.
    const int left = x1 == x2 ? x1 : (x2 > x1 ? x1 : x2 + 1);
    const int right = x1 == x2 ? x1 + 1 : (x2 > x1 ? x2 : x1 + 1);
    const int top = y1 == y2 ? y1 : (y2 > y1 ? y1 : y2 + 1);
    const int bottom = y1 == y2 ? y1 + 1 : (y2 > y1 ? y2 : y1 + 1);
    // An inverted line is kept on the window from tick to tick (InvertedLines).
    if (drawMode_ == 6 && !(x1 == x2 && y1 == y2) && lines_.Ask(Rect{left, top, right, bottom})) {
      if (settle_ == 0) {
        settle_ = g_idle_add(
            [](gpointer form) -> gboolean {
              static_cast<GkForm*>(form)->settle_ = 0;
              static_cast<GkForm*>(form)->SettleLines();
              return G_SOURCE_REMOVE;
            },
            this);
      }
      XSetFunction(display_, gc_, GXcopy);
      XSetPlaneMask(display_, gc_, AllPlanes);
      return;
    }
    overdrawn_.Add(Rect{left, top, right, bottom});
    if (!(x1 == x2 && y1 == y2) && right > left && bottom > top) {
      XFillRectangle(display_, drawable, gc_, left, top, static_cast<unsigned int>(right - left),
                     static_cast<unsigned int>(bottom - top));
    }
  } else {
    // Any other slope: Bresenham's points, sent in batches.
    overdrawn_.Add(
        Rect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2) + 1, std::max(y1, y2) + 1});
    std::array<XPoint, 256> points{};
    int n = 0;
    const int dx = std::abs(x2 - x1);
    const int dy = -std::abs(y2 - y1);
    const int sx = x1 < x2 ? 1 : -1;
    const int sy = y1 < y2 ? 1 : -1;
    int error = dx + dy;
    int x = x1;
    int y = y1;
    while (x != x2 || y != y2) {
      points[n++] = XPoint{static_cast<short>(x), static_cast<short>(y)};
      if (n == static_cast<int>(points.size())) {
        XDrawPoints(display_, drawable, gc_, points.data(), n, CoordModeOrigin);
        n = 0;
      }
      const int twice = 2 * error;
      if (twice >= dy) {
        error += dy;
        x += sx;
      }
      if (twice <= dx) {
        error += dx;
        y += sy;
      }
    }
    if (n > 0) XDrawPoints(display_, drawable, gc_, points.data(), n, CoordModeOrigin);
  }
  XSetFunction(display_, gc_, GXcopy);
  XSetPlaneMask(display_, gc_, AllPlanes);
  XFlush(display_);
}

}  // namespace vimo::x11
