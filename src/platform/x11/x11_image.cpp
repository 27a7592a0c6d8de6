#include "platform/x11/x11_image.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/straight_lines.h"
#include "platform/x11/x11_error_trap.h"
#include "platform/x11/x11_frame.h"

namespace vimo::x11 {
namespace {

// VIMO_NO_SHM=1 takes the path of a server without shared memory (for tests).
bool SharedMemoryWanted(Display* display) {
  const char* off = std::getenv("VIMO_NO_SHM");
  if (off != nullptr && std::strcmp(off, "1") == 0) return false;
  return XShmQueryExtension(display) == True;
}

// Only a 24-bit true-colour screen holds its pixels as 0x00RRGGBB in 32 bits.
bool RgbVisual(Display* display) {
  const Visual* visual = DefaultVisual(display, DefaultScreen(display));
  const int depth = DefaultDepth(display, DefaultScreen(display));
  return (depth == 24 || depth == 32) && visual->red_mask == 0xFF0000UL &&
         visual->green_mask == 0x00FF00UL && visual->blue_mask == 0x0000FFUL;
}

// The live images, for their device-context handles: an image's handle is a serial
// number of its own, tagged in its low three bits (the screen's and a window's handles
// carry other tags), so a handle outliving its image finds nothing.
std::vector<X11Image*>& LiveImages() {
  static std::vector<X11Image*> images;
  return images;
}
constexpr Handle kImageTag = 4;
Handle NextImageDc() {
  static Handle serial = 0;
  return (++serial << 3) | kImageTag;
}

}  // namespace

X11Image::X11Image(Display* display, bool shared)
    : display_(display), wantShared_(shared && SharedMemoryWanted(display)), dc_(NextImageDc()) {
  LiveImages().push_back(this);
}

X11Image::~X11Image() {
  if (planner_ != nullptr) planner_->Forget(*this);
  Release();
  std::erase(LiveImages(), this);
}

X11Image* X11Image::OfDc(Handle dc) {
  if ((dc & 7) != kImageTag) return nullptr;
  for (X11Image* image : LiveImages()) {
    if (image->dc_ == dc) return image;
  }
  return nullptr;
}

void X11Image::Lines(const Point* points, std::size_t lines, Colour colour) {
  if (planner_ != nullptr && planner_->Lines(*this, points, lines, colour)) return;
  WriteStraightLines(Pixels(), points, lines, colour);
}

void X11Image::Release() {
  if (planner_ != nullptr) planner_->Forget(*this);
  ++writes_;  // new memory: whatever was put or drawn from the old is gone
  if (pixmap_ != None) XFreePixmap(display_, pixmap_);
  pixmap_ = None;
  if (image_ != nullptr && shm_.shmaddr != nullptr) {
    XShmDetach(display_, &shm_);
    image_->data = nullptr;  // the segment is not XDestroyImage's to free
    XDestroyImage(image_);
    shmdt(shm_.shmaddr);
  } else if (image_ != nullptr) {
    XDestroyImage(image_);  // frees the calloc'ed pixels too
  }
  image_ = nullptr;
  shm_ = XShmSegmentInfo{};
  width_ = 0;
  height_ = 0;
}

bool X11Image::Resize(int width, int height) {
  if (width == width_ && height == height_) return true;
  Release();
  if (width <= 0 || height <= 0) return width == 0 && height == 0;
  if (!RgbVisual(display_)) return false;
  const int screen = DefaultScreen(display_);
  Visual* visual = DefaultVisual(display_, screen);
  const auto depth = static_cast<unsigned>(DefaultDepth(display_, screen));
  const auto w = static_cast<unsigned>(width);
  const auto h = static_cast<unsigned>(height);

  if (wantShared_) {
    image_ = XShmCreateImage(display_, visual, depth, ZPixmap, nullptr, &shm_, w, h);
    if (image_ != nullptr && image_->bits_per_pixel == 32) {
      const std::size_t bytes = static_cast<std::size_t>(image_->bytes_per_line) * h;
      shm_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
      // shmat's failure is the address (void*)-1.
      void* const failed = reinterpret_cast<void*>(-1);  // NOLINT(performance-no-int-to-ptr)
      void* address = shm_.shmid >= 0 ? shmat(shm_.shmid, nullptr, 0) : failed;
      if (address != failed) {
        shm_.shmaddr = image_->data = static_cast<char*>(address);
        shm_.readOnly = False;
        std::memset(address, 0, bytes);
        ErrorTrap trap(display_);
        const bool attached = XShmAttach(display_, &shm_) == True && !trap.Failed(true);
        // Gone once both sides detach: a Vimo that is killed leaves no segment behind.
        shmctl(shm_.shmid, IPC_RMID, nullptr);
        if (attached) {
          width_ = width;
          height_ = height;
          return true;
        }
        shmdt(address);
        shm_.shmaddr = nullptr;
      } else if (shm_.shmid >= 0) {
        shmctl(shm_.shmid, IPC_RMID, nullptr);
      }
    }
    if (image_ != nullptr) {
      image_->data = nullptr;
      XDestroyImage(image_);
      image_ = nullptr;
    }
    // A server that cannot reach this memory (a remote display) gets plain images.
    shm_ = XShmSegmentInfo{};
    wantShared_ = false;
  }

  const std::size_t pitch = static_cast<std::size_t>(w) * 4;
  char* data = static_cast<char*>(std::calloc(pitch * h, 1));
  if (data == nullptr) return false;
  image_ =
      XCreateImage(display_, visual, depth, ZPixmap, 0, data, w, h, 32, static_cast<int>(pitch));
  if (image_ == nullptr || image_->bits_per_pixel != 32) {
    if (image_ != nullptr)
      XDestroyImage(image_);
    else
      std::free(data);
    image_ = nullptr;
    return false;
  }
  // The image owns `data` now; XDestroyImage frees it.
  width_ = width;  // NOLINT(clang-analyzer-unix.Malloc)
  height_ = height;
  return true;
}

PixelRows X11Image::Pixels() {
  if (planner_ != nullptr) planner_->Finish(*this);
  ++writes_;
  return Rows();
}

std::optional<std::uint32_t> X11Image::Pixel(int x, int y) {
  if (planner_ != nullptr) planner_->Finish(*this);
  if (image_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return std::nullopt;
  return Rows().Row(y)[x] & 0xFFFFFFU;
}

PixelRows X11Image::Rows() const {
  if (image_ == nullptr) return PixelRows{};
  return PixelRows{reinterpret_cast<std::uint32_t*>(image_->data), image_->bytes_per_line / 4,
                   width_, height_, true};
}

bool X11Image::Read(Drawable from, int x, int y) {
  if (image_ == nullptr) return false;
  ++writes_;
  ErrorTrap trap(display_);
  bool read = false;
  if (Shared()) {
    read = XShmGetImage(display_, from, image_, x, y, AllPlanes) == True;
  } else {
    read =
        XGetSubImage(display_, from, x, y, static_cast<unsigned>(width_),
                     static_cast<unsigned>(height_), AllPlanes, ZPixmap, image_, 0, 0) != nullptr;
  }
  return read && !trap.Failed();
}

Pixmap X11Image::SharedPixmap() {
  if (pixmap_ != None || !Shared() || image_->bytes_per_line != width_ * 4) return pixmap_;
  int major = 0;
  int minor = 0;
  Bool pixmaps = False;
  if (XShmQueryVersion(display_, &major, &minor, &pixmaps) == False || pixmaps == False ||
      XShmPixmapFormat(display_) != ZPixmap) {
    return None;
  }
  ErrorTrap trap(display_);
  pixmap_ = XShmCreatePixmap(display_, DefaultRootWindow(display_), shm_.shmaddr, &shm_,
                             static_cast<unsigned>(width_), static_cast<unsigned>(height_),
                             static_cast<unsigned>(image_->depth));
  if (trap.Failed(true)) pixmap_ = None;
  return pixmap_;
}

bool ClipToImage(int width, int height, int& sx, int& sy, int& dx, int& dy, int& w, int& h) {
  if (sx < 0) {
    dx -= sx;
    w += sx;
    sx = 0;
  }
  if (sy < 0) {
    dy -= sy;
    h += sy;
    sy = 0;
  }
  w = std::min(w, width - sx);
  h = std::min(h, height - sy);
  return w > 0 && h > 0;
}

bool X11Image::Put(Drawable to, GC gc, int sx, int sy, int dx, int dy, int w, int h) {
  if (image_ == nullptr) return false;
  if (!ClipToImage(width_, height_, sx, sy, dx, dy, w, h)) return true;
  const auto cw = static_cast<unsigned>(w);
  const auto ch = static_cast<unsigned>(h);
  if (Shared())
    return XShmPutImage(display_, to, gc, image_, sx, sy, dx, dy, cw, ch, False) == True;
  XPutImage(display_, to, gc, image_, sx, sy, dx, dy, cw, ch);
  return true;
}

}  // namespace vimo::x11
