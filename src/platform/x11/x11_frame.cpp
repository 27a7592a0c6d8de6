#include "platform/x11/x11_frame.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/x11/x11_error_trap.h"
#include "platform/x11/x11_pixels.h"

namespace vimo::x11 {
namespace {

Rect Moved(const Rect& r, Point by) {
  return {r.left + by.x, r.top + by.y, r.right + by.x, r.bottom + by.y};
}

unsigned Width(const Rect& r) { return static_cast<unsigned>(r.right - r.left); }
unsigned Height(const Rect& r) { return static_cast<unsigned>(r.bottom - r.top); }

}  // namespace

X11Frame::X11Frame(Display* display, bool damage)
    : display_(display), root_(DefaultRootWindow(display)), capture_(display) {
  XGCValues values{};
  values.graphics_exposures = False;
  values.subwindow_mode = IncludeInferiors;
  copyGc_ = XCreateGC(display_, root_, GCGraphicsExposures | GCSubwindowMode, &values);
  // VIMO_NO_DAMAGE=1 takes the path of a server without the Damage extension (for tests).
  const char* off = std::getenv("VIMO_NO_DAMAGE");
  int events = 0;
  int errors = 0;
  if (damage && (off == nullptr || std::strcmp(off, "1") != 0) &&
      XDamageQueryExtension(display_, &events, &errors) != False) {
    int major = 1;
    int minor = 1;
    XDamageQueryVersion(display_, &major, &minor);
    ErrorTrap trap(display_);
    // An event each time the changed region's bounding box grows, until the frame takes
    // the region and clears it: one or two a tick however busy the screen is.
    damage_ = XDamageCreate(display_, root_, XDamageReportBoundingBox);
    if (trap.Failed(true)) {
      damage_ = 0;
    } else {
      damageEvents_ = events;
    }
  }
}

X11Frame::~X11Frame() {
  if (target_ != nullptr) target_->planner_ = nullptr;
  if (damage_ != 0) XDamageDestroy(display_, damage_);
  if (bounce_ != None) XFreePixmap(display_, bounce_);
  if (copyGc_ != nullptr) XFreeGC(display_, copyGc_);
  XFlush(display_);
}

bool X11Frame::HandleEvent(const XEvent& event) {
  if (damageEvents_ < 0 || event.type != damageEvents_ + XDamageNotify) return false;
  const auto& notify = reinterpret_cast<const XDamageNotifyEvent&>(event);
  if (notify.damage != damage_) return false;
  if (readMode_ == Mode::kStill) return true;  // frozen: the first live read is whole
  // What changes away from the area read last does not matter: an area that moves is
  // read whole.
  const Rect drawn{notify.area.x, notify.area.y, notify.area.x + notify.area.width,
                   notify.area.y + notify.area.height};
  const Rect hit = Intersection(drawn, readArea_);
  if (!IsEmpty(hit)) dirty_ = Union(dirty_, hit);
  return true;
}

// The part of `area` to read: where the last read was of the same area (`steady`), what
// changed since; the whole area otherwise.
//
// The server reports the changed region's box only when it grows. So a box that meets
// the area is cleared from the region before the area is read: what changes after that
// reports itself anew, and what changed before lies in a box already taken. While the
// area moves (read whole every frame) nothing is cleared, and the reports soon stop; the
// first steady frame then reads whole once more, after clearing.
Rect X11Frame::ChangedPart(bool steady, const Rect& area) {
  if (damageEvents_ >= 0 && XEventsQueued(display_, QueuedAlready) > 0) {
    XEvent event;
    while (XCheckTypedEvent(display_, damageEvents_ + XDamageNotify, &event) != False) {
      HandleEvent(event);
    }
  }
  if (damage_ == 0 || !steady) {
    trusted_ = false;
    return area;
  }
  const Rect part = trusted_ ? dirty_ : area;
  if (!trusted_ || !IsEmpty(dirty_)) XDamageSubtract(display_, damage_, None, None);
  trusted_ = true;
  return part;
}

void X11Frame::Begin(X11Image& view, Mode mode) {
  target_ = &view;
  view.planner_ = this;
  mode_ = mode;
}

bool X11Frame::Stretch(X11Image& view, const Rect& to, const Rect& area, const Rect& desktop) {
  if (target_ != nullptr) Finish(*target_);  // a frame never put is drawn before its source goes
  const int w = area.right - area.left;
  const int h = area.bottom - area.top;

  // One to one from inside the screen: the server copies into the view itself.
  if (to.right - to.left == w && to.bottom - to.top == h && Inside(area, desktop) &&
      view.SharedPixmap() != None) {
    const Rect changed =
        ChangedPart(readMode_ == Mode::kDirect && readArea_ == area && readView_ == view.Dc() &&
                        readTo_ == to && readWrites_ == view.writes_,
                    area);
    directTo_ = Intersection(to, Rect{0, 0, view.Width(), view.Height()});
    offset_ = Point{area.left - to.left, area.top - to.top};
    const Rect copy = Intersection(changed, Moved(directTo_, offset_));
    copied_ = IsEmpty(copy) ? Rect{} : Moved(copy, Point{-offset_.x, -offset_.y});
    if (!IsEmpty(copy)) CopyIntoView(view, copy, Point{copied_.left, copied_.top});
    if (renderView_ == view.Dc()) plan_.Forget();  // what the plan drew there is gone
    readMode_ = Mode::kDirect;
    readArea_ = area;
    readView_ = view.Dc();
    readTo_ = to;
    readWrites_ = view.writes_;
    dirty_ = Rect{};
    now_.on = false;
    Begin(view, Mode::kDirect);
    return true;
  }

  const Rect part = ChangedPart(readMode_ == Mode::kPlan && readArea_ == area &&
                                    capture_.Width() == w && capture_.Height() == h,
                                area);
  if (!capture_.Resize(w, h)) {
    readMode_ = Mode::kNone;
    return false;
  }
  if (!IsEmpty(part)) {
    if (!(part == area ? ReadWhole(area, desktop) : ReadPart(Intersection(part, desktop), area))) {
      readMode_ = Mode::kNone;
      return false;
    }
    readSinceRender_ = true;
  }
  Plan(view, to, Mode::kPlan, area);
  return true;
}

void X11Frame::Plan(X11Image& view, const Rect& to, Mode read, const Rect& area) {
  readMode_ = read;
  readArea_ = area;
  dirty_ = Rect{};
  Begin(view, Mode::kPlan);
  plan_.Stretch(to.left, to.top, to.right - to.left, to.bottom - to.top, capture_.Rows());
}

// The held pixels are copied only when they may differ from the capture's: a frame like
// the one before costs what a live one over a still screen costs.
template <typename Copy>
bool X11Frame::StretchHeld(X11Image& view, const Rect& to, const Rect& area, Handle source,
                           std::uint64_t version, const Copy& copy) {
  if (target_ != nullptr) Finish(*target_);
  const int w = area.right - area.left;
  const int h = area.bottom - area.top;
  const bool steady = readMode_ == Mode::kStill && readArea_ == area && readView_ == source &&
                      readWrites_ == version && capture_.Width() == w && capture_.Height() == h;
  if (!steady) {
    if (!capture_.Resize(w, h)) {
      readMode_ = Mode::kNone;
      return false;
    }
    copy(capture_.Rows());
    readSinceRender_ = true;
  }
  Plan(view, to, Mode::kStill, area);
  readView_ = source;
  readWrites_ = version;
  return true;
}

bool X11Frame::Stretch(X11Image& view, const Rect& to, X11Image& still, const Rect& area) {
  return StretchHeld(view, to, area, still.Dc(), still.writes_, [&](const PixelRows& rows) {
    const PixelRows from = still.Rows();
    const int w = rows.width;
    const Rect inside = Intersection(area, Rect{0, 0, still.Width(), still.Height()});
    for (int row = 0; row < rows.height; ++row) {
      std::uint32_t* out = rows.Row(row);
      const int y = area.top + row;
      if (IsEmpty(inside) || y < inside.top || y >= inside.bottom) {
        std::fill_n(out, w, 0U);
        continue;
      }
      std::fill(out, out + (inside.left - area.left), 0U);
      std::memcpy(out + (inside.left - area.left), from.Row(y) + inside.left,
                  Width(inside) * sizeof(std::uint32_t));
      std::fill(out + (inside.right - area.left), out + w, 0U);
    }
  });
}

bool X11Frame::Stretch(X11Image& view, const Rect& to, const wayland::CastScreen& cast,
                       const Rect& area) {
  return StretchHeld(view, to, area, reinterpret_cast<Handle>(&cast), cast.Version(),
                     [&](const PixelRows& rows) { cast.CopyInto(area, rows); });
}

bool X11Frame::SnapshotPlace(X11Image& image, Point at, const Rect& area, Rect& from, Point& to) {
  Finish(image);
  ++image.writes_;
  int sx = area.left;
  int sy = area.top;
  int dx = at.x;
  int dy = at.y;
  int w = area.right - area.left;
  int h = area.bottom - area.top;
  if (!ClipToImage(image.Width(), image.Height(), dx, dy, sx, sy, w, h)) return false;
  from = Rect{sx, sy, sx + w, sy + h};
  to = Point{dx, dy};
  return true;
}

void X11Frame::Snapshot(X11Image& image, Point at, const wayland::CastScreen& cast,
                        const Rect& area) {
  Rect from;
  Point to;
  if (image.image_ == nullptr || !SnapshotPlace(image, at, area, from, to)) return;
  AwaitPut();  // the last put may still be reading the image's memory
  const PixelRows rows = image.Rows();
  cast.CopyInto(from, PixelRows{rows.Row(to.y) + to.x, rows.pitch, from.right - from.left,
                                from.bottom - from.top, rows.rgb});
}

bool X11Frame::Snapshot(X11Image& image, Point at, const Rect& area, const Rect& desktop) {
  if (image.image_ == nullptr) return false;
  Rect from;
  Point place;
  if (!SnapshotPlace(image, at, area, from, place)) return true;
  const int w = from.right - from.left;
  const int h = from.bottom - from.top;
  const Rect inside = Intersection(from, desktop);
  const PixelRows rows = image.Rows();
  AwaitPut();  // Vimo may write into the image's memory below
  if (inside != from) {
    for (int row = place.y; row < place.y + h; ++row) std::fill_n(rows.Row(row) + place.x, w, 0U);
    if (IsEmpty(inside)) return true;
  }
  const Point to{place.x + inside.left - from.left, place.y + inside.top - from.top};
  ErrorTrap trap(display_);
  if (inside == from && w == image.Width() && h == image.Height() && image.Shared()) {
    return image.Read(root_, from.left, from.top) && !trap.Failed();
  }
  if (image.SharedPixmap() != None) {
    XCopyArea(display_, root_, image.SharedPixmap(), copyGc_, inside.left, inside.top,
              Width(inside), Height(inside), to.x, to.y);
    return !trap.Failed(true);
  }
  // Through a pixmap of its own (see Bounce), gone at once: one the desktop's size would
  // be kept for nothing.
  const Pixmap pixmap =
      XCreatePixmap(display_, root_, Width(inside), Height(inside),
                    static_cast<unsigned>(DefaultDepth(display_, DefaultScreen(display_))));
  XCopyArea(display_, root_, pixmap, copyGc_, inside.left, inside.top, Width(inside),
            Height(inside), 0, 0);
  const bool read = GetInto(pixmap, Moved(inside, Point{-inside.left, -inside.top}), rows, to);
  XFreePixmap(display_, pixmap);
  return read && !trap.Failed();
}

// Of the screen's `part`, a copy the server answers a GetImage of in one piece: a pixmap
// (the size of the capture, or larger) holding `part` at `at`. Read straight from the root window,
// an X server that draws the pointer in software takes it off the screen while it answers, and the
// damage that makes reaches Vimo in the middle of the answer (Xvfb does this), which breaks the
// connection. Shared-memory reads answer with no pixels on the wire.
Drawable X11Frame::Bounce(const Rect& part, Point at) {
  const int w = std::max(capture_.Width(), at.x + static_cast<int>(Width(part)));
  const int h = std::max(capture_.Height(), at.y + static_cast<int>(Height(part)));
  if (bounce_ == None || bounceW_ < w || bounceH_ < h) {
    if (bounce_ != None) XFreePixmap(display_, bounce_);
    bounce_ = XCreatePixmap(display_, root_, static_cast<unsigned>(w), static_cast<unsigned>(h),
                            static_cast<unsigned>(DefaultDepth(display_, DefaultScreen(display_))));
    bounceW_ = w;
    bounceH_ = h;
  }
  XCopyArea(display_, root_, bounce_, copyGc_, part.left, part.top, Width(part), Height(part), at.x,
            at.y);
  return bounce_;
}

bool X11Frame::ReadWhole(const Rect& area, const Rect& desktop) {
  const Rect inside = Intersection(area, desktop);
  if (inside == area) {
    if (capture_.Shared()) return capture_.Read(root_, area.left, area.top);
    ErrorTrap trap(display_);
    return capture_.Read(Bounce(area, Point{0, 0}), 0, 0) && !trap.Failed();
  }

  // Partly off the screen: black there, the rest read alone.
  const PixelRows rows = capture_.Rows();
  for (int row = 0; row < rows.height; ++row) std::fill_n(rows.Row(row), rows.width, 0U);
  if (IsEmpty(inside)) return true;
  ErrorTrap trap(display_);
  const Point at{inside.left - area.left, inside.top - area.top};
  const Drawable bounce = Bounce(inside, at);
  return GetInto(bounce, Moved(inside, Point{at.x - inside.left, at.y - inside.top}), rows, at) &&
         !trap.Failed();
}

bool X11Frame::GetInto(Drawable from, const Rect& part, const PixelRows& rows, Point at) {
  XImage* image =
      XGetImage(display_, from, part.left, part.top, Width(part), Height(part), AllPlanes, ZPixmap);
  const bool read = image != nullptr && image->bits_per_pixel == 32;
  if (read) {
    for (int row = 0; row < static_cast<int>(Height(part)); ++row) {
      std::memcpy(rows.Row(at.y + row) + at.x,
                  image->data + static_cast<std::ptrdiff_t>(row) * image->bytes_per_line,
                  Width(part) * sizeof(std::uint32_t));
    }
  }
  if (image != nullptr) XDestroyImage(image);
  return read;
}

// One pixel of the screen (a "c" key press, Pixel info each tick). Inside the area read
// last, where the screen has not changed since (the damage region was cleared before that
// read, and no report has come in of a change there), it is the capture's pixel: no
// request at all. Anywhere else it is read on its own; the capture is left as it is.
std::optional<std::uint32_t> X11Frame::ScreenPixel(Point at) {
  if (readMode_ == Mode::kPlan && trusted_ && PtInRect(readArea_, at)) {
    XEvent event;
    while (XEventsQueued(display_, QueuedAfterReading) > 0 &&
           XCheckTypedEvent(display_, damageEvents_ + XDamageNotify, &event) != False) {
      HandleEvent(event);
    }
    if (!PtInRect(dirty_, at)) {
      return capture_.Rows().Row(at.y - readArea_.top)[at.x - readArea_.left] & 0xFFFFFFU;
    }
  }
  ErrorTrap trap(display_);
  XImage* image = XGetImage(display_, Bounce(Rect{at.x, at.y, at.x + 1, at.y + 1}, Point{0, 0}), 0,
                            0, 1, 1, AllPlanes, ZPixmap);
  std::optional<std::uint32_t> rgb;
  if (image != nullptr && !trap.Failed()) {
    rgb = static_cast<std::uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFFU;
  }
  if (image != nullptr) XDestroyImage(image);
  return rgb;
}

bool X11Frame::ReadPart(const Rect& part, const Rect& area) {
  const Point at{part.left - area.left, part.top - area.top};
  const Pixmap pixmap = capture_.SharedPixmap();
  ErrorTrap trap(display_);
  if (pixmap != None) {
    XCopyArea(display_, root_, pixmap, copyGc_, part.left, part.top, Width(part), Height(part),
              at.x, at.y);
    return !trap.Failed(true);  // the pixels are in the memory once the server has answered
  }
  return XGetSubImage(display_, Bounce(part, at), at.x, at.y, Width(part), Height(part), AllPlanes,
                      ZPixmap, capture_.image_, at.x, at.y) != nullptr &&
         !trap.Failed();
}

void X11Frame::CopyIntoView(X11Image& view, const Rect& part, Point at) {
  XCopyArea(display_, root_, view.SharedPixmap(), copyGc_, part.left, part.top, Width(part),
            Height(part), at.x, at.y);
  XSync(display_, False);
  MarkRows(view, at.y, at.y + static_cast<int>(Height(part)));
}

void X11Frame::Cursor(X11Image& view, const std::uint32_t* argb, int w, int h, int x, int y,
                      int factor) {
  if (argb == nullptr || w <= 0 || h <= 0 || factor <= 0) return;
  if (target_ == &view && mode_ == Mode::kDirect) {
    now_.on = true;
    now_.rect = Rect{x, y, x + w * factor, y + h * factor};
    now_.w = w;
    now_.h = h;
    now_.factor = factor;
    now_.argb.assign(argb, argb + static_cast<std::ptrdiff_t>(w) * h);
    return;
  }
  if (target_ == &view && plan_.Cursor(argb, w, h, x, y, factor)) return;
  // Nothing under way that could take it: drawn at once over what the view holds.
  BlendCursor(view.Pixels(), argb, w, h, x, y, factor);
}

bool X11Frame::Lines(X11Image& view, const Point* points, std::size_t lines, Colour colour) {
  return target_ == &view && mode_ == Mode::kPlan && plan_.Lines(points, lines, colour);
}

void X11Frame::Finish(X11Image& view) {
  if (target_ != &view) return;
  const Mode mode = std::exchange(mode_, Mode::kNone);
  target_ = nullptr;
  view.planner_ = nullptr;
  if (mode == Mode::kDirect) {
    FinishDirect(view);
    return;
  }
  if (mode != Mode::kPlan || !plan_.Pending()) return;
  // Pixels written by others since the plan last drew here are not what it drew.
  if (renderView_ != view.Dc() || renderWrites_ != view.writes_) plan_.Forget();
  AwaitPut();
  plan_.Render(view.Rows(), !readSinceRender_, Changed(view));
  readSinceRender_ = false;
  renderView_ = view.Dc();
  renderWrites_ = view.writes_;
}

// The pointer over what the server copied: where it is again as it was, on pixels not
// copied anew, it is still there; otherwise the pixels under the last one come back from
// the screen and the new one is blended over them.
void X11Frame::FinishDirect(X11Image& view) {
  const Rect shown = now_.on ? Intersection(now_.rect, directTo_) : Rect{};
  const bool kept = now_ == last_ && IsEmpty(Intersection(shown, copied_));
  if (!kept) {
    const Rect under = last_.on ? Intersection(last_.rect, directTo_) : Rect{};
    if (!IsEmpty(under) && !Inside(under, copied_)) {
      CopyIntoView(view, Moved(under, offset_), Point{under.left, under.top});
    }
    if (now_.on) {
      AwaitPut();
      BlendCursor(view.Rows(), now_.argb.data(), now_.w, now_.h, now_.rect.left, now_.rect.top,
                  now_.factor);
      MarkRows(view, now_.rect.top, now_.rect.bottom);
    }
  }
  std::swap(last_, now_);
  now_.on = false;
}

void X11Frame::Forget(X11Image& view) {
  if (target_ == &view) {
    target_ = nullptr;
    mode_ = Mode::kNone;
    view.planner_ = nullptr;
    plan_.Drop();
  }
  if (renderView_ == view.Dc()) plan_.Forget();
  if (readView_ == view.Dc() && readMode_ == Mode::kDirect) readMode_ = Mode::kNone;
  if (changedView_ == view.Dc()) changedView_ = 0;
}

void X11Frame::AwaitPut() {
  if (putRequest_ != 0 && XLastKnownRequestProcessed(display_) < putRequest_) {
    XSync(display_, False);
  }
}

std::uint8_t* X11Frame::Changed(X11Image& view) {
  const auto rows = static_cast<std::size_t>(std::max(0, view.Height()));
  if (changedView_ != view.Dc() || changed_.size() != rows) {
    changed_.assign(rows, 1);
    changedView_ = view.Dc();
  }
  return changed_.data();
}

void X11Frame::MarkRows(X11Image& view, int top, int bottom) {
  std::uint8_t* rows = Changed(view);
  top = std::clamp(top, 0, view.Height());
  bottom = std::clamp(bottom, top, view.Height());
  std::fill(rows + top, rows + bottom, 1);
}

bool X11Frame::Put(X11Image& view, Window window, GC gc, int sx, int sy, int dx, int dy, int w,
                   int h, const Overdrawn& overdrawn, Overdrawn& put) {
  Finish(view);
  if (!ClipToImage(view.Width(), view.Height(), sx, sy, dx, dy, w, h)) return true;

  const Place place{view.Dc(), window, sx, sy, dx, dy, w, h};
  const bool whole =
      overdrawn.all || place != lastPut_ || view.writes_ != putWrites_ || changedView_ != view.Dc();
  const Rect from{sx, sy, sx + w, sy + h};
  bool done = true;
  bool sent = false;
  const auto putRect = [&](const Rect& r) {
    done = view.Put(window, gc, r.left, r.top, dx + r.left - sx, dy + r.top - sy, r.right - r.left,
                    r.bottom - r.top) &&
           done;
    put.Add(Moved(r, Point{dx - sx, dy - sy}));
    sent = true;
  };
  if (whole) {
    putRect(from);
  } else {
    // Runs of changed rows, each one request; then what was drawn over on the window.
    const std::uint8_t* rows = changed_.data();
    const void* first = std::memchr(rows + sy, 1, static_cast<std::size_t>(h));
    for (int y = first == nullptr
                     ? sy + h
                     : static_cast<int>(static_cast<const std::uint8_t*>(first) - rows);
         y < sy + h;) {
      if (rows[y] == 0) {
        ++y;
        continue;
      }
      int end = y + 1;
      while (end < sy + h && rows[end] != 0) ++end;
      putRect(Rect{sx, y, sx + w, end});
      y = end;
    }
    for (int i = 0; i < overdrawn.count; ++i) {
      const Rect over = Intersection(
          Moved(overdrawn.rects[static_cast<std::size_t>(i)], Point{sx - dx, sy - dy}), from);
      if (!IsEmpty(over)) putRect(over);
    }
  }
  std::fill_n(Changed(view), changed_.size(), 0);
  lastPut_ = place;
  putWrites_ = view.writes_;
  if (sent) putRequest_ = XNextRequest(display_) - 1;
  return done;
}

}  // namespace vimo::x11
