// A 32-bit image in client memory that the X server reads from and writes into: a
// MIT-SHM segment where the server offers shared memory, plain memory with XGetImage and
// XPutImage where it does not (a remote display). Made again only when its size changes,
// so a frame allocates nothing.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstddef>
#include <cstdint>

#include "platform/types.h"
#include "platform/x11/x11_frame.h"

namespace vimo::x11 {

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
  // Row 0 at the top, 0x00RRGGBB, for reading and writing: what is planned into this
  // image, or from it into another, is drawn first.
  PixelRows Pixels();

  // Drawing planned (see FramePlan) and done when the image is put or its pixels are
  // asked for: `source` enlarged at (x, y), w x h, as StretchNearest does (`source` keeps
  // its pixels until then: whatever writes into it draws this plan first); the pointer
  // as BlendCursor draws it; straight lines as WriteStraightLines writes them.
  void Stretch(int x, int y, int w, int h, X11Image& source);
  void Cursor(const std::uint32_t* argb, int w, int h, int x, int y, int factor);
  void Lines(const Point* points, std::size_t lines, Colour colour);
  // Draws what is planned into this image now.
  void Flush();

  // The whole image from `from` at (x, y); the area must lie inside `from`.
  bool Read(Drawable from, int x, int y);
  // w x h of the image from (sx, sy) onto `to` at (dx, dy), clipped to the image.
  bool Put(Drawable to, GC gc, int sx, int sy, int dx, int dy, int w, int h);
  // A server pixmap over the image's own shared memory, made on first use, for the
  // server to draw into: what it draws is in Pixels() once it has done it (XSync). None
  // where the image is not shared or the server has no shared pixmaps.
  Pixmap SharedPixmap();

 private:
  void Release();
  PixelRows Rows() const;
  // Before the image's memory is written by other means than its plan: the plans that
  // read it or draw into it are drawn, and the next plan is drawn whole.
  void BeforeWrite();
  void Unlink();

  Display* display_;
  bool wantShared_;
  XImage* image_ = nullptr;
  XShmSegmentInfo shm_{};
  Pixmap pixmap_ = None;
  int width_ = 0;
  int height_ = 0;
  FramePlan plan_;
  X11Image* source_ = nullptr;    // what plan_ enlarges
  X11Image* borrower_ = nullptr;  // the image whose plan enlarges this one
};

// The device-context handle of an image (a picture box's hDC): the image's address.
inline Handle ImageDc(X11Image& image) { return reinterpret_cast<Handle>(&image); }

}  // namespace vimo::x11
