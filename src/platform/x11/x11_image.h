// A 32-bit image in client memory that the X server reads from and writes into: a
// MIT-SHM segment where the server offers shared memory, plain memory with XGetImage and
// XPutImage where it does not (a remote display). Made again only when its size changes,
// so a frame allocates nothing.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/types.h"

namespace vimo::x11 {

class X11Frame;

// Of w x h from (sx, sy), the part inside a width x height image, (dx, dy) moved with it;
// false where nothing is left.
bool ClipToImage(int width, int height, int& sx, int& sy, int& dx, int& dy, int& w, int& h);

class X11Image {
 public:
  // `shared`: try MIT-SHM (false forces plain memory, as on a remote display).
  X11Image(Display* display, bool shared = true);
  ~X11Image();
  X11Image(const X11Image&) = delete;
  X11Image& operator=(const X11Image&) = delete;

  // Makes the image `width` x `height` (0 x 0 frees it). Nothing happens for the present
  // size; a new size starts black. False when no image can be made (it is then 0 x 0).
  bool Resize(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Shared() const { return shm_.shmaddr != nullptr; }
  // Row 0 at the top, 0x00RRGGBB, for reading and writing by anyone but the frame: what
  // the frame has planned into the image is drawn first, and its next put is whole.
  PixelRows Pixels();
  // The pixel at (x, y) as 0x00RRGGBB, what the frame planned into the image drawn first;
  // none outside the image. Only a read: the image is not taken as changed.
  std::optional<std::uint32_t> Pixel(int x, int y);
  // Straight lines as WriteStraightLines writes them; planned with the frame's drawing
  // where the frame is drawing into the image.
  void Lines(const Point* points, std::size_t lines, Colour colour);

  // The image's device context (a picture box's hDC), and the image a handle stands for:
  // none for a handle that is not a live image's.
  Handle Dc() const { return dc_; }
  static X11Image* OfDc(Handle dc);

  // The whole image from `from` at (x, y); the area must lie inside `from`.
  bool Read(Drawable from, int x, int y);
  // w x h of the image from (sx, sy) onto `to` at (dx, dy), clipped to the image.
  bool Put(Drawable to, GC gc, int sx, int sy, int dx, int dy, int w, int h);
  // A server pixmap over the image's own shared memory, made on first use, for the
  // server to draw into: what it draws is in the pixels once it has done it (XSync). None
  // where the image is not shared or the server has no shared pixmaps.
  Pixmap SharedPixmap();

 private:
  friend class X11Frame;  // draws into the image without making its next put whole

  void Release();
  PixelRows Rows() const;

  Display* display_;
  bool wantShared_;
  XImage* image_ = nullptr;
  XShmSegmentInfo shm_{};
  Pixmap pixmap_ = None;
  int width_ = 0;
  int height_ = 0;
  Handle dc_;
  std::uint64_t writes_ = 0;     // how often Pixels() handed the pixels out
  X11Frame* planner_ = nullptr;  // the frame with drawing planned into this image
};

}  // namespace vimo::x11
