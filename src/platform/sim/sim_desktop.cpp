#include "platform/sim/sim_desktop.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "platform/green_pointer.h"
#include "platform/win32_constants.h"

namespace vimo::sim {

// ---------------------------------------------------------------------------------------
// PixelBuffer

PixelBuffer::PixelBuffer(int width, int height, Colour fill) { Resize(width, height, fill); }

Colour PixelBuffer::At(int x, int y) const {
  if (!Contains(x, y)) return 0;
  return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                 static_cast<std::size_t>(x)];
}

void PixelBuffer::Set(int x, int y, Colour colour) {
  if (!Contains(x, y)) return;
  pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
          static_cast<std::size_t>(x)] = colour;
}

Colour* PixelBuffer::Row(int y) { return pixels_.data() + static_cast<std::ptrdiff_t>(y) * width_; }

const Colour* PixelBuffer::Row(int y) const {
  return pixels_.data() + static_cast<std::ptrdiff_t>(y) * width_;
}

void PixelBuffer::Fill(Colour colour) { std::fill(pixels_.begin(), pixels_.end(), colour); }

void PixelBuffer::Resize(int width, int height, Colour fill) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  std::vector<Colour> next(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                           fill);
  const int keepW = std::min(width, width_);
  const int keepH = std::min(height, height_);
  for (int y = 0; y < keepH; ++y) {
    std::copy_n(pixels_.begin() + static_cast<std::ptrdiff_t>(y) * width_, keepW,
                next.begin() + static_cast<std::ptrdiff_t>(y) * width);
  }
  pixels_ = std::move(next);
  width_ = width;
  height_ = height;
}

// ---------------------------------------------------------------------------------------
// Pointer images

Colour CursorImage::XorAt(int x, int y) const {
  if (Monochrome()) return xorMask[Index(x, y)] != 0 ? 0x00FFFFFFU : 0U;
  return colour[Index(x, y)] & 0x00FFFFFFU;
}

namespace {
constexpr int kCursorSize = 32;
constexpr std::size_t kCursorPixels = std::size_t{kCursorSize} * kCursorSize;
}  // namespace

CursorImage MakeArrowCursor(bool monochrome) {
  constexpr int kSize = kCursorSize;
  CursorImage c;
  c.width = kSize;
  c.height = kSize;
  const std::size_t n = kCursorPixels;
  c.andMask.assign(n, 1);
  if (monochrome) {
    c.xorMask.assign(n, 0);
  } else {
    c.colour.assign(n, 0);
  }
  auto put = [&](int x, int y, bool white) {
    const std::size_t i = static_cast<std::size_t>(y) * kSize + static_cast<std::size_t>(x);
    c.andMask[i] = 0;
    if (monochrome) {
      c.xorMask[i] = white ? 1 : 0;
    } else {
      c.colour[i] = white ? 0x00FFFFFFU : 0U;
    }
  };
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x <= y; ++x) put(x, y, !(x == 0 || x == y || y == 15));
  }
  for (int y = 16; y < 21; ++y) {
    put(4, y, false);
    put(5, y, false);
  }
  return c;
}

CursorImage MakeGreenPixelCursor() {
  using namespace green_pointer;
  constexpr std::size_t kPixels = std::size_t{kSize} * kSize;
  constexpr std::size_t kGreen = std::size_t{kHotSpot.y} * kSize + std::size_t{kHotSpot.x};
  CursorImage c;
  c.width = kSize;
  c.height = kSize;
  c.hotSpot = kHotSpot;
  c.andMask.assign(kPixels, 1);
  c.colour.assign(kPixels, 0);
  c.andMask[kGreen] = 0;
  c.colour[kGreen] = kColour;
  return c;
}

Rect SimWindow::ClientRect() const {
  const int left = outer.left + kFrameLeft;
  const int top = outer.top + kFrameTop;
  return {left, top, left + client.Width(), top + client.Height()};
}

// ---------------------------------------------------------------------------------------
// SimDesktop

namespace {

// Appends to a call log that holds up to twice `keep` entries; when full, the older half
// goes. The room is reserved on first use, so steady-state logging never allocates.
template <class T>
void AppendBounded(std::vector<T>& log, const T& entry, std::size_t keep) {
  if (log.capacity() < 2 * keep) log.reserve(2 * keep);
  if (log.size() == 2 * keep)
    log.erase(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(keep));
  log.push_back(entry);
}

}  // namespace

SimDesktop::SimDesktop(std::vector<Rect> monitors) {
  Relayout(std::move(monitors));
  shownWindows_.reserve(16);  // so that reading the screen allocates nothing on the tick
}

SimDesktop::~SimDesktop() = default;

void SimDesktop::Surface::Put(int x, int y, Colour c) const {
  const int bx = x - originX;
  const int by = y - originY;
  if (!buffer->Contains(bx, by)) return;
  if (shown != nullptr &&
      (*shown)[static_cast<std::size_t>(by) * static_cast<std::size_t>(buffer->Width()) +
               static_cast<std::size_t>(bx)] == 0) {
    return;
  }
  buffer->Set(bx, by, c);
}

void SimDesktop::Relayout(std::vector<Rect> monitors) {
  if (monitors.empty()) throw std::invalid_argument("a desktop needs a monitor");
  Rect bounds = monitors.front();
  for (const Rect& m : monitors) {
    if (m.right <= m.left || m.bottom <= m.top) throw std::invalid_argument("empty monitor");
    bounds = Union(bounds, m);
  }
  PixelBuffer next(bounds.right - bounds.left, bounds.bottom - bounds.top, 0);
  std::vector<std::uint8_t> shown(next.Pixels().size(), 0);
  for (const Rect& m : monitors) {
    for (int y = m.top; y < m.bottom; ++y) {
      const auto row =
          static_cast<std::size_t>(y - bounds.top) * static_cast<std::size_t>(next.Width());
      std::fill_n(shown.begin() + static_cast<std::ptrdiff_t>(row) + (m.left - bounds.left),
                  m.right - m.left, std::uint8_t{1});
    }
  }
  // Pixels shown before and after keep their screen position; the rest starts black.
  const Rect keep = Intersection(bounds, virtual_);
  for (int y = keep.top; keep.left < keep.right && y < keep.bottom; ++y) {
    const Colour* from = pixels_.Row(y - virtual_.top) + (keep.left - virtual_.left);
    std::copy(from, from + (keep.right - keep.left),
              next.Row(y - bounds.top) + (keep.left - bounds.left));
  }
  Colour* all = next.Row(0);
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] == 0) all[i] = 0;
  }
  dpis_.assign(monitors.size(), 0);
  monitors_ = std::move(monitors);
  virtual_ = bounds;
  pixels_ = std::move(next);
  shown_ = std::move(shown);
}

void SimDesktop::SetMonitors(std::vector<Rect> monitors) { Relayout(std::move(monitors)); }

Rect SimDesktop::PrimaryMonitor() const {
  for (const Rect& m : monitors_) {
    if (PtInRect(m, {0, 0})) return m;
  }
  return monitors_.front();
}

std::optional<std::size_t> SimDesktop::MonitorHolding(const Rect& window) const {
  std::optional<std::size_t> best;
  long long most = 0;
  for (std::size_t i = 0; i < monitors_.size(); ++i) {
    const Rect common = Intersection(monitors_[i], window);
    const long long area =
        static_cast<long long>(common.right - common.left) * (common.bottom - common.top);
    if (common.right > common.left && common.bottom > common.top && area > most) {
      most = area;
      best = i;
    }
  }
  return best;
}

Rect SimDesktop::WorkAreaFor(const Rect& window) const {
  const Rect primary = PrimaryMonitor();
  const std::optional<std::size_t> holding = MonitorHolding(window);
  Rect best = holding ? monitors_[*holding] : primary;
  if (best == primary) best.bottom -= kTaskbarHeight;
  return best;
}

void SimDesktop::SetMonitorDpi(std::size_t monitor, int dpi) {
  if (monitor >= dpis_.size() || dpi < 0) throw std::invalid_argument("no such monitor or dpi");
  dpis_[monitor] = dpi;
  for (auto& [hwnd, w] : windows_) {
    if (w->alive && !w->minimized) CheckScale(*w);
  }
}

// A window off every monitor keeps its scale.
void SimDesktop::CheckScale(SimWindow& w) {
  const std::optional<std::size_t> holding = MonitorHolding(w.outer);
  if (!holding || dpis_[*holding] == w.dpi) return;
  w.dpi = dpis_[*holding];
  if (w.onDpiChanged) w.onDpiChanged();
}

// ---- Desktop pixels

void SimDesktop::SetPixel(int x, int y, Colour colour) {
  Surface{&pixels_, virtual_.left, virtual_.top, &shown_}.Put(x, y, colour);
}

void SimDesktop::Paint(const std::function<Colour(int x, int y)>& colourAt) {
  for (const Rect& m : monitors_) {
    for (int y = m.top; y < m.bottom; ++y) {
      for (int x = m.left; x < m.right; ++x) SetPixel(x, y, colourAt(x, y));
    }
  }
}

Colour SimDesktop::Pixel(int x, int y) const {
  return pixels_.At(x - virtual_.left, y - virtual_.top);
}

// ---- Metrics and pointer

bool SimDesktop::GetCursorPos(Point* point) {
  ++calls_.getCursorPos;
  if (point == nullptr) return false;
  *point = cursorPos_;
  return true;
}

int SimDesktop::GetSystemMetrics(int index) {
  switch (index) {
    case 0:
      return PrimaryMonitor().right - PrimaryMonitor().left;
    case 1:
      return PrimaryMonitor().bottom - PrimaryMonitor().top;
    case win::SM_XVIRTUALSCREEN:
      return virtual_.left;
    case win::SM_YVIRTUALSCREEN:
      return virtual_.top;
    case win::SM_CXVIRTUALSCREEN:
      return virtual_.right - virtual_.left;
    case win::SM_CYVIRTUALSCREEN:
      return virtual_.bottom - virtual_.top;
    case win::SM_CMONITORS:
      return multiMonitor_ ? static_cast<int>(monitors_.size()) : 0;
    default:
      return 0;
  }
}

Handle SimDesktop::RegisterCursor(const CursorImage& image) {
  const auto n = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
  const bool colourOk = image.Monochrome() ? image.xorMask.size() == n : image.colour.size() == n;
  if (image.width <= 0 || image.height <= 0 || image.andMask.size() != n || !colourOk) {
    throw std::invalid_argument("pointer image sizes do not match");
  }
  cursors_.push_back(image);
  return (static_cast<Handle>(detail::HandleKind::kCursor) << 28) | cursors_.size();
}

Handle SimDesktop::SetCursorImage(const CursorImage& image) {
  currentCursor_ = RegisterCursor(image);
  return currentCursor_;
}

void SimDesktop::SetCurrentCursor(Handle cursor) {
  if (cursor != 0 && Cursor(cursor) == nullptr) throw std::invalid_argument("unknown pointer");
  currentCursor_ = cursor;
}

const CursorImage* SimDesktop::Cursor(Handle cursor) const {
  if ((cursor >> 28) != static_cast<Handle>(detail::HandleKind::kCursor)) return nullptr;
  const Handle index = cursor & 0x0FFFFFFF;
  if (index == 0 || index > cursors_.size()) return nullptr;
  return &cursors_[index - 1];
}

bool SimDesktop::GetCursorInfo(CursorInfo* info) {
  ++calls_.getCursorInfo;
  if (info == nullptr) return false;
  Handle shown = currentCursor_;
  if (shown != 0) {
    // Over a window's client area the window's own pointer shows.
    for (const auto& [hwnd, w] : windows_) {
      if (w->alive && w->visible && w->clientCursor != 0 && PtInRect(w->ClientRect(), cursorPos_)) {
        shown = w->clientCursor;
        break;
      }
    }
  }
  info->hCursor = shown;
  info->flags = shown != 0 ? kCursorShowing : 0;
  info->ptScreenPos = cursorPos_;
  return true;
}

bool SimDesktop::GetIconInfo(Handle icon, IconInfo* info) {
  const CursorImage* image = Cursor(icon);
  if (image == nullptr || info == nullptr) return false;
  info->fIcon = false;
  info->xHotspot = static_cast<std::uint32_t>(image->hotSpot.x);
  info->yHotspot = static_cast<std::uint32_t>(image->hotSpot.y);
  info->hbmMask = bitmaps_.Add({icon, true});
  info->hbmColor = image->Monochrome() ? 0 : bitmaps_.Add({icon, false});
  return true;
}

int SimDesktop::GetObject(Handle bitmap, int size, BitmapInfo* info) {
  const Bitmap* b = bitmaps_.Find(bitmap);
  if (b == nullptr) return 0;
  constexpr int kRecord = static_cast<int>(sizeof(BitmapInfo));
  if (info == nullptr) return kRecord;
  if (size < kRecord) return 0;
  const CursorImage& image = *Cursor(b->cursor);
  BitmapInfo out;
  out.bmWidth = image.width;
  out.bmHeight = (b->mask && image.Monochrome()) ? image.height * 2 : image.height;
  out.bmPlanes = 1;
  out.bmBitsPixel = b->mask ? 1 : 32;
  out.bmWidthBytes = b->mask ? ((image.width + 15) / 16) * 2 : image.width * 4;
  *info = out;
  return kRecord;
}

bool SimDesktop::DeleteObject(Handle object) { return bitmaps_.Remove(object); }

std::intptr_t SimDesktop::ShellExecute(Handle owner, std::string_view verb, std::string_view file,
                                       std::string_view parameters, std::string_view directory,
                                       int show) {
  shellExecuteLog_.push_back({owner, std::string(verb), std::string(file), std::string(parameters),
                              std::string(directory), show});
  return 42;
}

bool SimDesktop::DrawIconEx(Handle hdc, int x, int y, Handle icon, int cx, int cy,
                            std::uint32_t /*step*/, Handle /*brush*/, std::uint32_t flags) {
  Dc* dc = FindDc(hdc);
  const CursorImage* image = Cursor(icon);
  if (dc == nullptr || image == nullptr || flags != win::DI_NORMAL) return false;
  if (cx <= 0) cx = image->width;
  if (cy <= 0) cy = image->height;
  const Surface s = SurfaceOf(*dc);
  const Rect clip = Intersection(s.Bounds(), {x, y, x + cx, y + cy});
  for (int ty = clip.top; ty < clip.bottom; ++ty) {
    const int sy = static_cast<int>(static_cast<long long>(ty - y) * image->height / cy);
    for (int tx = clip.left; tx < clip.right; ++tx) {
      const int sx = static_cast<int>(static_cast<long long>(tx - x) * image->width / cx);
      const Colour keep = image->KeepsScreenAt(sx, sy) ? 0x00FFFFFFU : 0U;
      s.Put(tx, ty, (s.Get(tx, ty) & keep) ^ image->XorAt(sx, sy));
    }
  }
  return true;
}

// ---- Windows

Handle SimDesktop::AddWindow(const Rect& outer, Colour background) {
  auto w = std::make_unique<SimWindow>();
  w->hwnd = nextWindow_++;
  w->background = background;
  w->outer = outer;
  w->restored = outer;
  w->client.Resize(std::max(0, outer.right - outer.left - kFrameLeft - kFrameRight),
                   std::max(0, outer.bottom - outer.top - kFrameTop - kFrameBottom), background);
  BringToTop(*w);
  const Handle hwnd = w->hwnd;
  windows_.emplace(hwnd, std::move(w));
  return hwnd;
}

SimWindow* SimDesktop::Window(Handle hwnd) {
  const auto it = windows_.find(hwnd);
  return it == windows_.end() ? nullptr : it->second.get();
}

const SimWindow* SimDesktop::Window(Handle hwnd) const {
  const auto it = windows_.find(hwnd);
  return it == windows_.end() ? nullptr : it->second.get();
}

bool SimDesktop::PlaceWindow(Handle hwnd, const Rect& outer) {
  SimWindow* w = Window(hwnd);
  if (w == nullptr) return false;
  w->restored = outer;
  if (w->minimized) return false;
  w->outer = outer;
  const int oldW = w->client.Width();
  const int oldH = w->client.Height();
  w->client.Resize(std::max(0, outer.right - outer.left - kFrameLeft - kFrameRight),
                   std::max(0, outer.bottom - outer.top - kFrameTop - kFrameBottom), w->background);
  CheckScale(*w);
  return oldW != w->client.Width() || oldH != w->client.Height();
}

void SimDesktop::SetMinimized(Handle hwnd, bool minimized) {
  SimWindow* w = Window(hwnd);
  if (w == nullptr || w->minimized == minimized) return;
  if (minimized) {
    w->restored = w->outer;
    w->outer = {kMinimizedPos.x, kMinimizedPos.y, kMinimizedPos.x + kMinimizedWidth,
                kMinimizedPos.y + kMinimizedHeight};
    w->client.Resize(0, 0, w->background);
    w->minimized = true;
  } else {
    w->minimized = false;
    PlaceWindow(hwnd, w->restored);
  }
}

void SimDesktop::ShowWindow(Handle hwnd, bool show) {
  SimWindow* w = Window(hwnd);
  if (w == nullptr || !w->alive) return;
  w->visible = show;
  if (show) BringToTop(*w);
}

void SimDesktop::DestroyWindow(Handle hwnd) {
  SimWindow* w = Window(hwnd);
  if (w == nullptr) return;
  w->alive = false;
  w->visible = false;
  w->onResized = nullptr;
  w->onDpiChanged = nullptr;
  if (activeWindow_ == hwnd) activeWindow_ = 0;
}

bool SimDesktop::ScreenToClient(Handle hwnd, Point* point) {
  const SimWindow* w = Window(hwnd);
  if (w == nullptr || !w->alive || point == nullptr) return false;
  const Rect client = w->ClientRect();
  *point = Point{point->x - client.left, point->y - client.top};
  return true;
}

bool SimDesktop::GetWindowRect(Handle hwnd, Rect* rect) {
  const SimWindow* w = Window(hwnd);
  if (w == nullptr || !w->alive || rect == nullptr) return false;
  *rect = w->outer;
  return true;
}

bool SimDesktop::SetWindowPos(Handle hwnd, Handle insertAfter, int x, int y, int cx, int cy,
                              std::uint32_t flags) {
  ++calls_.setWindowPos;
  SimWindow* w = Window(hwnd);
  if (w == nullptr || !w->alive) return false;
  const bool activated = (flags & win::SWP_NOACTIVATE) == 0;

  if ((flags & win::SWP_NOZORDER) == 0) {
    if (insertAfter == win::HWND_TOPMOST) w->topmost = true;
    if (insertAfter == win::HWND_NOTOPMOST) w->topmost = false;
    if (insertAfter == win::HWND_TOP || insertAfter == win::HWND_TOPMOST ||
        insertAfter == win::HWND_NOTOPMOST) {
      BringToTop(*w);
    }
  }
  const Rect current = w->minimized ? w->restored : w->outer;
  Rect next = current;
  if ((flags & win::SWP_NOMOVE) == 0) {
    next = {x, y, x + (current.right - current.left), y + (current.bottom - current.top)};
  }
  if ((flags & win::SWP_NOSIZE) == 0) {
    next.right = next.left + std::max(cx, 0);
    next.bottom = next.top + std::max(cy, 0);
  }
  if ((flags & win::SWP_SHOWWINDOW) != 0) w->visible = true;
  if (activated) {
    activeWindow_ = hwnd;
    BringToTop(*w);
  }
  if (next != current && PlaceWindow(hwnd, next) && w->onResized) w->onResized();
  return true;
}

std::int32_t SimDesktop::GetWindowLong(Handle hwnd, int index) {
  const SimWindow* w = Window(hwnd);
  if (w == nullptr || !w->alive || index != win::GWL_EXSTYLE) return 0;
  return w->exStyle;
}

std::int32_t SimDesktop::SetWindowLong(Handle hwnd, int index, std::int32_t value) {
  SimWindow* w = Window(hwnd);
  if (w == nullptr || !w->alive || index != win::GWL_EXSTYLE) return 0;
  return std::exchange(w->exStyle, value);
}

bool SimDesktop::SetLayeredWindowAttributes(Handle hwnd, Colour /*key*/, std::uint8_t /*alpha*/,
                                            std::uint32_t /*flags*/) {
  SimWindow* w = Window(hwnd);
  if (w == nullptr || !w->alive || (w->exStyle & win::WS_EX_LAYERED) == 0) return false;
  return true;
}

bool SimDesktop::ExcludeFromCapture(Handle hwnd) {
  SimWindow* w = Window(hwnd);
  if (w == nullptr || !w->alive || !captureExclusion_) return false;
  w->excludedFromCapture = true;
  return true;
}

// ---- Mouse speed

bool SimDesktop::GetMouseSpeed(std::int32_t* speed) {
  if (speed == nullptr) return false;
  *speed = mouseSpeed_;
  return true;
}

bool SimDesktop::SetMouseSpeed(std::int32_t speed) {
  if (speed < 1 || speed > 20) return false;  // as Windows refuses them
  mouseSpeed_ = speed;
  AppendBounded(mouseSpeedLog_, speed, kLogKeep);
  return true;
}

// ---- Device contexts

void SimDesktop::CollectShownWindows() {
  shownWindows_.clear();
  for (const auto& [hwnd, w] : windows_) {
    if (w->alive && w->visible && !w->minimized && !w->excludedFromCapture) {
      shownWindows_.push_back(w.get());
    }
  }
  std::sort(shownWindows_.begin(), shownWindows_.end(), [](const SimWindow* a, const SimWindow* b) {
    return a->topmost != b->topmost ? a->topmost : a->z > b->z;
  });
}

bool SimDesktop::WindowPixel(int x, int y, Colour* pixel) const {
  if (shownWindows_.empty() || !PtInRect(virtual_, {x, y})) return false;
  const auto at =
      static_cast<std::size_t>(y - virtual_.top) * static_cast<std::size_t>(pixels_.Width()) +
      static_cast<std::size_t>(x - virtual_.left);
  if (shown_[at] == 0) return false;  // on no monitor: nothing shows there
  for (const SimWindow* w : shownWindows_) {
    if (!PtInRect(w->outer, {x, y})) continue;
    const Rect client = w->ClientRect();
    *pixel =
        PtInRect(client, {x, y}) ? w->client.At(x - client.left, y - client.top) : kFrameColour;
    return true;
  }
  return false;
}

SimDesktop::Surface SimDesktop::SurfaceOf(const Dc& dc) {
  if (dc.desktop) return {&pixels_, virtual_.left, virtual_.top, &shown_};
  return {dc.buffer, 0, 0, nullptr};
}

Handle SimDesktop::GetDC(Handle hwnd) {
  Dc dc;
  dc.owner = hwnd;
  if (hwnd == 0 || hwnd == kDesktopWindow) {
    dc.desktop = true;
    return dcs_.Add(dc);
  }
  SimWindow* w = Window(hwnd);
  if (w == nullptr || !w->alive) return 0;
  switch (std::exchange(failNextFormGetDc_, GetDcFailure::kNone)) {
    case GetDcFailure::kReturnZero:
      return 0;
    case GetDcFailure::kThrow:
      throw ToolkitError("GetDC failed for the window");
    case GetDcFailure::kNone:
      break;
  }
  dc.buffer = &w->client;
  return dcs_.Add(dc);
}

int SimDesktop::ReleaseDC(Handle hwnd, Handle hdc) {
  const Dc* dc = FindDc(hdc);
  if (dc == nullptr || dc->persistent || dc->owner != hwnd) return 0;
  dcs_.Remove(hdc);
  return 1;
}

Handle SimDesktop::CreatePersistentDc(PixelBuffer* buffer, Colour pen) {
  Dc dc;
  dc.persistent = true;
  dc.buffer = buffer;
  dc.penColour = pen;
  return dcs_.Add(dc);
}

void SimDesktop::DestroyPersistentDc(Handle hdc) {
  const Dc* dc = FindDc(hdc);
  if (dc != nullptr && dc->persistent) dcs_.Remove(hdc);
}

void SimDesktop::SetPenColour(Handle hdc, Colour pen) {
  if (Dc* dc = FindDc(hdc)) dc->penColour = pen;
}

int SimDesktop::LiveDcs() const {
  return dcs_.CountLive([](const Dc& dc) { return !dc.persistent; });
}

int SimDesktop::LiveHandles() const { return LiveDcs() + bitmaps_.Live(); }

bool SimDesktop::StretchBlt(Handle dst, int x, int y, int w, int h, Handle src, int sx, int sy,
                            int sw, int sh, std::uint32_t rop) {
  Dc* d = FindDc(dst);
  Dc* s = FindDc(src);
  if (d == nullptr || s == nullptr || rop != win::SRCCOPY) return false;
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return true;
  const Surface to = SurfaceOf(*d);
  Surface from = SurfaceOf(*s);
  PixelBuffer* fromBuffer = from.buffer;
  const bool fromScreen = s->desktop;
  if (fromScreen) CollectShownWindows();
  if (fromBuffer == to.buffer) {
    // Reading and writing one surface: read from a copy taken before the first write.
    scratch_.assign(fromBuffer->Pixels().begin(), fromBuffer->Pixels().end());
  }
  const bool copied = fromBuffer == to.buffer;
  const int fromW = fromBuffer->Width();
  auto read = [&](int px, int py) -> Colour {
    Colour window = 0;
    if (fromScreen && WindowPixel(px, py, &window)) return window;
    if (!copied) return from.Get(px, py);
    const int bx = px - from.originX;
    const int by = py - from.originY;
    if (!fromBuffer->Contains(bx, by)) return 0;
    return scratch_[static_cast<std::size_t>(by) * static_cast<std::size_t>(fromW) +
                    static_cast<std::size_t>(bx)];
  };
  const Rect clip = Intersection(to.Bounds(), {x, y, x + w, y + h});
  for (int ty = clip.top; ty < clip.bottom; ++ty) {
    const int py = sy + static_cast<int>(static_cast<long long>(ty - y) * sh / h);
    for (int tx = clip.left; tx < clip.right; ++tx) {
      const int px = sx + static_cast<int>(static_cast<long long>(tx - x) * sw / w);
      to.Put(tx, ty, read(px, py));
    }
  }
  return true;
}

bool SimDesktop::BitBlt(Handle dst, int x, int y, int w, int h, Handle src, int sx, int sy,
                        std::uint32_t rop) {
  return StretchBlt(dst, x, y, w, h, src, sx, sy, w, h, rop);
}

Colour SimDesktop::GetPixel(Handle hdc, int x, int y) {
  const Dc* dc = FindDc(hdc);
  if (dc == nullptr) return win::CLR_INVALID;
  const Surface from = SurfaceOf(*dc);
  if (!PtInRect(from.Bounds(), {x, y})) return win::CLR_INVALID;
  Colour window = 0;
  if (dc->desktop) {
    CollectShownWindows();
    if (WindowPixel(x, y, &window)) return window;
  }
  return from.Get(x, y);
}

}  // namespace vimo::sim
