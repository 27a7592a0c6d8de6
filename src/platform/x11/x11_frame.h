// The view's frame on X11, in one place. Each tick it goes through three steps, in this
// order, each a call of the system side:
//
//   1. Read (StretchBlt): the captured screen area, but only where the screen changed
//      since the last read (XDamage on the root window), unless the area moved, changed
//      its size or the server cannot say; at one to one, from inside the screen, the
//      server copies straight into the view's shared memory instead.
//   2. Plan (StretchBlt, DrawIconEx, the picture box's lines): the enlargement, the
//      pointer and the lines, kept as a FramePlan and drawn band by band into the view
//      when it is put (or its pixels are asked for): bands whose inputs are those of the
//      last frame are not drawn, and only rows that differ are written.
//   3. Put (BitBlt): of a view put at the same place before, only the rows that changed
//      since, and what was drawn over on the window by other means; nothing at all when
//      nothing changed.
//
// A still screen under a resting pointer thus costs the X server nothing.
//
// Frozen, the screen is read once into a still picture (Snapshot, a BitBlt from the
// screen), and the frames read the still picture's memory instead of the screen: step 1
// copies the area's rows into the capture only when the area, its size or the picture
// changed since, and never takes the direct path; steps 2 and 3 are those of a live
// frame. Live again, the first read is whole: what the screen reported while frozen was
// not kept.
//
// On a Wayland desktop the screen is a screen cast's frames in client memory
// (wayland::CastScreen): step 1 copies the area's rows from the newest frames into the
// capture, only when a frame came or the area changed since; there is no damage to watch.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/types.h"
#include "platform/wayland/cast_screen.h"
#include "platform/x11/x11_image.h"
#include "platform/x11/x11_plan.h"
#include "platform/x11/x11_windows.h"

namespace vimo::x11 {

class X11Frame {
 public:
  // `damage`: watch the root window for changes (not for a screen cast, where the root
  // window holds only Xwayland's own windows).
  explicit X11Frame(Display* display, bool damage = true);
  ~X11Frame();
  X11Frame(const X11Frame&) = delete;
  X11Frame& operator=(const X11Frame&) = delete;

  // A Damage event of the connection; true when it was one and is used up.
  bool HandleEvent(const XEvent& event);

  // 1 and 2: the screen's `area` enlarged into `view` at `to`; `desktop` is the screen's
  // extent, outside which the area is black. False when the screen could not be read.
  bool Stretch(X11Image& view, const Rect& to, const Rect& area, const Rect& desktop);
  // The same from a still picture: its `area` (black outside it) enlarged into `view`.
  bool Stretch(X11Image& view, const Rect& to, X11Image& still, const Rect& area);
  // The same from a screen cast's newest frames.
  bool Stretch(X11Image& view, const Rect& to, const wayland::CastScreen& cast, const Rect& area);
  // The screen's `area` into `image` at `at`, clipped to the image, black outside
  // `desktop`: one read of the server. Anything drawn or put from the image before sees
  // it as new. False when the screen could not be read.
  bool Snapshot(X11Image& image, Point at, const Rect& area, const Rect& desktop);
  // The same from a screen cast's newest frames, in client memory.
  void Snapshot(X11Image& image, Point at, const wayland::CastScreen& cast, const Rect& area);
  // The pointer (w x h premultiplied 0xAARRGGBB, each pixel a factor x factor block) at
  // (x, y) of the view, over the enlargement, as BlendCursor draws it.
  void Cursor(X11Image& view, const std::uint32_t* argb, int w, int h, int x, int y, int factor);
  // Lines over both, as WriteStraightLines writes them; false where nothing is being drawn
  // into `view` (the caller then writes them itself).
  bool Lines(X11Image& view, const Point* points, std::size_t lines, Colour colour);
  // What is planned into `view` drawn now.
  void Finish(X11Image& view);
  // `view` is going or made anew: nothing planned is drawn into it.
  void Forget(X11Image& view);

  // The screen's pixel at `at` (0x00RRGGBB) read on its own; none where it cannot be read.
  std::optional<std::uint32_t> ScreenPixel(Point at);

  // 3: w x h of the view from (sx, sy) onto `window` at (dx, dy), as much of it as changed
  // since it was last put there; `overdrawn` (window coordinates) is put again too. What
  // was put goes into `put` (window coordinates).
  bool Put(X11Image& view, Window window, GC gc, int sx, int sy, int dx, int dy, int w, int h,
           const Overdrawn& overdrawn, Overdrawn& put);

 private:
  enum class Mode { kNone, kPlan, kDirect, kStill };  // kStill: a read of a still picture
  struct Pointer {
    bool on = false;
    Rect rect;  // in the view, enlarged
    int w = 0;
    int h = 0;
    int factor = 1;
    std::vector<std::uint32_t> argb;  // grows only
    bool operator==(const Pointer&) const = default;
  };
  struct Place {
    Handle view = 0;
    Window window = 0;
    int sx = 0, sy = 0, dx = 0, dy = 0, w = 0, h = 0;
    bool operator==(const Place&) const = default;
  };

  Rect ChangedPart(bool steady, const Rect& area);
  // A snapshot begun: the image's planned drawing done, its next put whole; the part of
  // `area` that lands in it (`from`) and where (`to`). False where none does.
  bool SnapshotPlace(X11Image& image, Point at, const Rect& area, Rect& from, Point& to);
  // A read from pixels in client memory, kept as `source` at `version`: `copy` fills the
  // capture (the area's size) where either changed since the last read.
  template <typename Copy>
  bool StretchHeld(X11Image& view, const Rect& to, const Rect& area, Handle source,
                   std::uint64_t version, const Copy& copy);
  // The screen's part `part` of `area` into the capture; the whole area (black outside
  // the desktop) or a part inside it.
  bool ReadWhole(const Rect& area, const Rect& desktop);
  bool ReadPart(const Rect& part, const Rect& area);
  Drawable Bounce(const Rect& part, Point at);
  // `part` of `from` into `rows` at `at`, in one GetImage.
  bool GetInto(Drawable from, const Rect& part, const PixelRows& rows, Point at);
  // The plan begun: the capture, read from `area` as `read` says, enlarged into `view`.
  void Plan(X11Image& view, const Rect& to, Mode read, const Rect& area);
  // The server copies the screen's `part` into the view's memory at `at`.
  void CopyIntoView(X11Image& view, const Rect& part, Point at);
  void FinishDirect(X11Image& view);
  // Before Vimo writes into the view's memory: the server has read it for the last put.
  void AwaitPut();
  // The rows of the view written since its last put, one byte a row.
  std::uint8_t* Changed(X11Image& view);
  void MarkRows(X11Image& view, int top, int bottom);
  void Begin(X11Image& view, Mode mode);

  Display* display_;
  Window root_;
  GC copyGc_ = nullptr;  // screen to image, the windows on the root included
  int damageEvents_ = -1;
  Damage damage_ = 0;
  bool trusted_ = false;  // the region was cleared before the last read, of this area

  X11Image capture_;
  Pixmap bounce_ = None;
  int bounceW_ = 0;
  int bounceH_ = 0;
  FramePlan plan_;
  Mode mode_ = Mode::kNone;  // what is under way into target_
  X11Image* target_ = nullptr;

  // The last read: its area and how it was read, and what of it changed on the screen.
  Mode readMode_ = Mode::kNone;
  Rect readArea_;
  // For a direct read: the view, its place and its writes then; for a still read: the
  // picture and its writes.
  Handle readView_ = 0;
  Rect readTo_;
  std::uint64_t readWrites_ = 0;
  Rect dirty_;
  bool readSinceRender_ = false;

  // A direct frame: what the server copied into the view, and the pointers blended.
  Rect copied_;            // in the view
  Rect directTo_;          // the view's part the area goes to
  Point offset_;           // a screen pixel's place less its place in the view
  Handle renderView_ = 0;  // the view the plan drew last, and its writes then
  std::uint64_t renderWrites_ = 0;
  Pointer now_;
  Pointer last_;

  std::vector<std::uint8_t> changed_;
  Handle changedView_ = 0;
  Place lastPut_;
  std::uint64_t putWrites_ = 0;
  unsigned long putRequest_ = 0;  // the last request of the last put
};

}  // namespace vimo::x11
