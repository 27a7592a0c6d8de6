#include "platform/x11/x11_api.h"

#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xfixes.h>
#include <errno.h>
#include <pwd.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/profile_file.h"
#include "platform/win32_constants.h"
#include "platform/x11/x11_error_trap.h"

namespace vimo::x11 {
namespace {

// Device-context handles carry a tag in their low three bits: the screen's is 1, a
// window's 2 (above it the X window), an image's 4 (X11Image::Dc).
constexpr Handle kScreenDc = 1;
constexpr Handle kWindowTag = 2;
constexpr Handle kTagBits = 7;

Handle WindowDc(Window window) { return (static_cast<Handle>(window) << 3) | kWindowTag; }
bool IsWindowDc(Handle dc) { return (dc & kTagBits) == kWindowTag; }
Window WindowOf(Handle dc) { return static_cast<Window>(dc >> 3); }

// How old an answer about a resting pointer may be before it is asked again though no
// raw motion came: a warp by another program (xdotool, a remote desktop) moves it
// silently. And how many answers in a row the same make a pointer that rests.
constexpr std::int64_t kPointerWatchMs = 100;
constexpr int kRestingAnswers = 8;

std::int64_t NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

Bool IsRawMotion(Display*, XEvent* event, XPointer opcode) {
  return event->type == GenericEvent &&
                 event->xcookie.extension == *reinterpret_cast<const int*>(opcode) &&
                 event->xcookie.evtype == XI_RawMotion
             ? True
             : False;
}

// GetIconInfo's bitmaps stand for the cached pointer image; nothing is made for them.
constexpr Handle kMaskBitmap = 0x100;
constexpr Handle kColourBitmap = 0x101;

// SHGetSpecialFolderLocation: the one folder there is, and the answer for the others.
constexpr int kAppData = 26;  // CSIDL_APPDATA
constexpr Handle kAppDataList = 0xAD;
constexpr std::int32_t kInvalidArgument = static_cast<std::int32_t>(0x80070057U);

// SM_CXSCREEN, SM_CYSCREEN.
constexpr int kScreenWidth = 0;
constexpr int kScreenHeight = 1;

// ShellExecute: above 32 when started; SE_ERR_FNF otherwise.
constexpr std::intptr_t kStarted = 33;
constexpr std::intptr_t kNotStarted = 2;

// Rounds towards minus infinity, so that carried remainders are never negative.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

void SelectRawMotion(Display* display, Window root, bool on) {
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  if (on) XISetMask(bits, XI_RawMotion);
  XIEventMask mask{XIAllMasterDevices, on ? static_cast<int>(sizeof(bits)) : 0, bits};
  XISelectEvents(display, root, &mask, 1);
  XFlush(display);
}

std::string ConfigFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') {
    std::string path(config);
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
  }
  const char* home = std::getenv("HOME");
  std::string path;
  if (home != nullptr && home[0] == '/') {
    path = home;
  } else if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr) {
    path = user->pw_dir;
  }
  if (path.empty()) return {};
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path + "/.config";
}

}  // namespace

X11Api::X11Api(Display* display, WindowHost& windows, wayland::CastScreen* cast)
    : display_(display),
      windows_(windows),
      cast_(cast),
      root_(DefaultRootWindow(display)),
      monitors_(ReadMonitors(display)),
      frame_(display, cast == nullptr) {
  XGCValues values{};
  values.graphics_exposures = False;
  gc_ = XCreateGC(display_, root_, GCGraphicsExposures, &values);

  int events = 0;
  int errors = 0;
  // Through Xwayland, the server knows the pointer only over its own windows.
  if (cast_ != nullptr) {
    ReadMonitorsAgain();
    return;
  }
  if (XFixesQueryExtension(display_, &events, &errors)) {
    fixesEvents_ = events;
    XFixesSelectCursorInput(display_, root_, XFixesDisplayCursorNotifyMask);
  }

  int opcode = 0;
  if (XQueryExtension(display_, "XInputExtension", &opcode, &events, &errors)) {
    int major = 2;
    int minor = 2;
    // A connection on which the toolkit announced its own version may refuse another
    // one; XInput 2 is there all the same.
    ErrorTrap trap(display_);
    const Status status = XIQueryVersion(display_, &major, &minor);
    if (status == Success || trap.Failed()) inputOpcode_ = opcode;
  }
  XFlush(display_);
}

X11Api::~X11Api() {
  if (motionSelected_) SelectRawMotion(display_, root_, false);
  if (fixesEvents_ >= 0) XFixesSelectCursorInput(display_, root_, 0);
  if (gc_ != nullptr) XFreeGC(display_, gc_);
  XFlush(display_);
}

bool X11Api::HandleEvent(XEvent& event) {
  if (frame_.HandleEvent(event)) return true;
  if (fixesEvents_ >= 0 && event.type == fixesEvents_ + XFixesCursorNotify) {
    pointer_.stale = true;
    return true;
  }
  if (inputOpcode_ >= 0 && event.type == GenericEvent && event.xcookie.extension == inputOpcode_ &&
      event.xcookie.evtype == XI_RawMotion) {
    pointerMoved_ = true;
    if (watching_) {  // moving again: asked every time until it rests
      watching_ = false;
      stillAnswers_ = 0;
      SelectMotion();
    }
    if (slowing_) SlowPointer();
    return true;
  }
  // A key or a button may come just after a program's warp of the pointer, which makes no
  // raw motion: what it does ("c" copies the pixel under the pointer) asks anew.
  if (event.type == KeyPress || event.type == ButtonPress ||
      (inputOpcode_ >= 0 && event.type == GenericEvent && event.xcookie.extension == inputOpcode_ &&
       (event.xcookie.evtype == XI_KeyPress || event.xcookie.evtype == XI_ButtonPress))) {
    pointerMoved_ = true;
  }
  return false;
}

void X11Api::SelectMotion() {
  const bool want = inputOpcode_ >= 0 && (watching_ || slowing_);
  if (want == motionSelected_) return;
  SelectRawMotion(display_, root_, want);
  motionSelected_ = want;
}

void X11Api::TakeRawMotion() {
  // Only what the connection has read already: the socket is the toolkit's to read.
  if (inputOpcode_ < 0 || XEventsQueued(display_, QueuedAlready) == 0) return;
  XEvent event;
  while (XCheckIfEvent(display_, &event, &IsRawMotion, reinterpret_cast<XPointer>(&inputOpcode_)) !=
         False) {
    const bool data = XGetEventData(display_, &event.xcookie) != False;
    HandleEvent(event);
    if (data) XFreeEventData(display_, &event.xcookie);
  }
}

// The pointer moved by hand since it was last put: it goes speed_ / kFullSpeed of that
// way from where it was put, the fractions of a pixel kept for the next move. A warp
// makes no raw motion of its own, so it is never slowed again.
void X11Api::SlowPointer() {
  Point at;
  if (!QueryPointer(&at)) return;
  const int x = at.x;
  const int y = at.y;
  if (x == last_.x && y == last_.y) return;
  const std::int64_t unitsX = static_cast<std::int64_t>(x - last_.x) * speed_ + restX_;
  const std::int64_t unitsY = static_cast<std::int64_t>(y - last_.y) * speed_ + restY_;
  const std::int64_t moveX = FloorDiv(unitsX, kFullSpeed);
  const std::int64_t moveY = FloorDiv(unitsY, kFullSpeed);
  restX_ = unitsX - moveX * kFullSpeed;
  restY_ = unitsY - moveY * kFullSpeed;
  const Rect& desk = monitors_.desktop;
  const Point target{static_cast<std::int32_t>(std::clamp<std::int64_t>(
                         last_.x + moveX, desk.left, std::max(desk.left, desk.right - 1))),
                     static_cast<std::int32_t>(std::clamp<std::int64_t>(
                         last_.y + moveY, desk.top, std::max(desk.top, desk.bottom - 1)))};
  // Relative to wherever the pointer is by now, so that a move made since the query is
  // kept: its own raw motion brings it here again.
  XWarpPointer(display_, None, None, 0, 0, 0, 0, target.x - x, target.y - y);
  XFlush(display_);
  last_ = target;
  pointerAt_ = target;
  pointerMoved_ = false;
  pointerAskedMs_ = NowMs();
}

// The pointer's place, asked of the server only when it may have moved.
bool X11Api::GetCursorPos(Point* point) {
  if (point == nullptr) return false;
  if (cast_ != nullptr) {
    cast_->Refresh();
    if (cast_->Pointer().known) {
      *point = cast_->Pointer().at;
      return true;
    }
    // Before the first cursor metadata (the pointer has not moved since the cast began),
    // the server's answer, right over Vimo's own windows, asked every 100 ms at most.
    const std::int64_t now = NowMs();
    if (now - pointerAskedMs_ >= kPointerWatchMs || pointerAskedMs_ == 0) {
      if (!QueryPointer(&pointerAt_)) return false;
      pointerAskedMs_ = now;
    }
    *point = pointerAt_;
    return true;
  }
  TakeRawMotion();
  const std::int64_t now = NowMs();
  if (!watching_ || pointerMoved_ || now - pointerAskedMs_ >= kPointerWatchMs) {
    Point at;
    if (!QueryPointer(&at)) return false;
    const bool still = at == pointerAt_;
    stillAnswers_ = still ? stillAnswers_ + 1 : 0;
    pointerAt_ = at;
    pointerMoved_ = false;
    pointerAskedMs_ = now;
    if (watching_ != (still && (watching_ || stillAnswers_ >= kRestingAnswers))) {
      watching_ = !watching_;
      SelectMotion();
    }
  }
  *point = pointerAt_;
  return true;
}

bool X11Api::QueryPointer(Point* point) {
  Window root = 0;
  Window child = 0;
  int x = 0;
  int y = 0;
  int wx = 0;
  int wy = 0;
  unsigned mask = 0;
  if (point == nullptr || !XQueryPointer(display_, root_, &root, &child, &x, &y, &wx, &wy, &mask)) {
    return false;
  }
  *point = Point{x, y};
  return true;
}

int X11Api::GetSystemMetrics(int index) {
  const Rect& desk = monitors_.desktop;
  switch (index) {
    case win::SM_CMONITORS:
      ReadMonitorsAgain();
      // The root window is one screen even where XRandR counts no monitors.
      return std::max(1, monitors_.count);
    case win::SM_XVIRTUALSCREEN:
      return desk.left;
    case win::SM_YVIRTUALSCREEN:
      return desk.top;
    case win::SM_CXVIRTUALSCREEN:
      return desk.right - desk.left;
    case win::SM_CYVIRTUALSCREEN:
      return desk.bottom - desk.top;
    case kScreenWidth:
      return monitors_.primary.right - monitors_.primary.left;
    case kScreenHeight:
      return monitors_.primary.bottom - monitors_.primary.top;
    default:
      return 0;
  }
}

bool X11Api::GetWindowRect(Handle hwnd, Rect* rect) {
  return rect != nullptr && windows_.OuterRect(hwnd, rect);
}

bool X11Api::SetWindowPos(Handle hwnd, Handle insertAfter, int x, int y, int cx, int cy,
                          std::uint32_t flags) {
  return windows_.Place(hwnd, insertAfter, x, y, cx, cy, flags);
}

bool X11Api::ScreenToClient(Handle hwnd, Point* point) {
  if (point == nullptr || hwnd == 0) return false;
  ErrorTrap trap(display_);
  int x = 0;
  int y = 0;
  Window child = 0;
  const bool done = XTranslateCoordinates(display_, root_, static_cast<Window>(hwnd), point->x,
                                          point->y, &x, &y, &child) != False;
  if (!done || trap.Failed()) return false;
  *point = Point{x, y};
  return true;
}

std::int32_t X11Api::GetWindowLong(Handle hwnd, int index) {
  const auto found = windowLongs_.find({hwnd, index});
  return found == windowLongs_.end() ? 0 : found->second;
}

std::int32_t X11Api::SetWindowLong(Handle hwnd, int index, std::int32_t value) {
  return std::exchange(windowLongs_[{hwnd, index}], value);
}

// The window is drawn opaque (alpha 255) as it is.
bool X11Api::SetLayeredWindowAttributes(Handle, Colour, std::uint8_t, std::uint32_t) {
  return true;
}

// Every window shows in a screen read on X11.
bool X11Api::ExcludeFromCapture(Handle) { return false; }

// Xwayland can neither move the pointer over Wayland windows nor see it move there: with
// a screen cast the speed is not known, and the logic then leaves the pointer alone.
bool X11Api::GetMouseSpeed(std::int32_t* speed) {
  if (speed == nullptr || cast_ != nullptr) return false;
  *speed = kFullSpeed;
  return true;
}

bool X11Api::SetMouseSpeed(std::int32_t speed) {
  if (cast_ != nullptr) return false;
  if (speed <= 0 || inputOpcode_ < 0) return speed >= kFullSpeed;
  const bool slow = speed < kFullSpeed;
  speed_ = std::min(speed, kFullSpeed);
  if (slow == slowing_) return true;
  slowing_ = slow;
  SelectMotion();
  if (slow) {
    last_ = Point{};
    QueryPointer(&last_);
    restX_ = 0;
    restY_ = 0;
  }
  return true;
}

std::int32_t X11Api::SHGetSpecialFolderLocation(Handle, int folder, Handle* idList) {
  if (idList == nullptr) return kInvalidArgument;
  *idList = folder == kAppData ? kAppDataList : 0;
  return folder == kAppData ? 0 : kInvalidArgument;
}

bool X11Api::SHGetPathFromIDList(Handle idList, std::string* path) {
  if (idList != kAppDataList || path == nullptr) return false;
  std::string folder = ConfigFolder();
  if (folder.empty()) return false;
  *path = std::move(folder);
  return true;
}

void X11Api::CoTaskMemFree(Handle) {}

bool X11Api::MakeSureDirectoryPathExists(std::string_view path) {
  const std::size_t last = path.find_last_of('/');
  if (last == std::string_view::npos || last == 0) return true;
  const std::string folders(path.substr(0, last));
  for (std::size_t at = folders.find('/', 1); at != std::string::npos;
       at = folders.find('/', at + 1)) {
    mkdir(folders.substr(0, at).c_str(), 0755);  // one that exists fails without harm
  }
  mkdir(folders.c_str(), 0755);
  struct stat info {};
  return stat(folders.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::uint32_t X11Api::GetPrivateProfileInt(std::string_view section, std::string_view key,
                                           std::int32_t fallback, std::string_view file) {
  return ReadProfileInt(std::filesystem::path(file), section, key, fallback);
}

bool X11Api::WritePrivateProfileString(std::string_view section, std::string_view key,
                                       std::string_view value, std::string_view file) {
  return WriteProfileString(std::filesystem::path(file), section, key, value, "\n");
}

Handle X11Api::GetDesktopWindow() { return static_cast<Handle>(root_); }

Handle X11Api::GetDC(Handle hwnd) {
  if (hwnd == 0 || hwnd == static_cast<Handle>(root_)) return kScreenDc;
  return WindowDc(static_cast<Window>(hwnd));
}

int X11Api::ReleaseDC(Handle, Handle) { return 1; }

bool X11Api::StretchBlt(Handle dst, int x, int y, int w, int h, Handle src, int sx, int sy, int sw,
                        int sh, std::uint32_t rop) {
  X11Image* to = X11Image::OfDc(dst);
  X11Image* still = X11Image::OfDc(src);  // a frozen screen
  if (to == nullptr || (src != kScreenDc && (still == nullptr || still == to)) ||
      rop != win::SRCCOPY) {
    return false;
  }
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return true;
  const Rect place{x, y, x + w, y + h};
  const Rect area{sx, sy, sx + sw, sy + sh};
  if (still != nullptr) return frame_.Stretch(*to, place, *still, area);
  if (cast_ != nullptr) return frame_.Stretch(*to, place, *cast_, area);
  if (frame_.Stretch(*to, place, area, monitors_.desktop)) return true;
  // The root window changed its size since the last reading: read it anew, once.
  ReadMonitorsAgain();
  return frame_.Stretch(*to, place, area, monitors_.desktop);
}

bool X11Api::Accepts(Window window) {
  if (window == checkedWindow_) return windowAccepts_;
  XWindowAttributes attributes{};
  ErrorTrap trap(display_);
  const bool known = XGetWindowAttributes(display_, window, &attributes) != 0 && !trap.Failed();
  checkedWindow_ = window;
  windowAccepts_ = known && attributes.depth == DefaultDepth(display_, DefaultScreen(display_));
  return windowAccepts_;
}

// Image onto window (the view put), or screen into image (the screen frozen).
bool X11Api::BitBlt(Handle dst, int x, int y, int w, int h, Handle src, int sx, int sy,
                    std::uint32_t rop) {
  if (X11Image* to = X11Image::OfDc(dst); to != nullptr && src == kScreenDc) {
    if (rop != win::SRCCOPY) return false;
    if (w <= 0 || h <= 0) return true;
    const Rect area{sx, sy, sx + w, sy + h};
    if (cast_ != nullptr) {
      frame_.Snapshot(*to, Point{x, y}, *cast_, area);
      return true;
    }
    if (frame_.Snapshot(*to, Point{x, y}, area, monitors_.desktop)) return true;
    ReadMonitorsAgain();  // as in StretchBlt
    return frame_.Snapshot(*to, Point{x, y}, area, monitors_.desktop);
  }
  X11Image* from = X11Image::OfDc(src);
  if (from == nullptr || !IsWindowDc(dst) || rop != win::SRCCOPY) return false;
  if (w <= 0 || h <= 0) {
    frame_.Finish(*from);
    return true;
  }
  const Window window = WindowOf(dst);
  if (!Accepts(window)) return false;
  Overdrawn put;
  const bool done = frame_.Put(*from, window, gc_, sx, sy, x, y, w, h,
                               windows_.TakeOverdrawn(static_cast<Handle>(window)), put);
  if (put.count > 0 || put.all) windows_.PutOver(static_cast<Handle>(window), put);
  return done;
}

// One pixel of the screen, read on its own (a "c" key press, not a frame), or of an
// image from its memory (the frozen screen, each tick).
Colour X11Api::GetPixel(Handle hdc, int x, int y) {
  if (X11Image* image = X11Image::OfDc(hdc); image != nullptr) {
    const std::optional<std::uint32_t> rgb = image->Pixel(x, y);
    return rgb ? SwapRedBlue(*rgb) : win::CLR_INVALID;
  }
  if (hdc != kScreenDc || x < monitors_.desktop.left || y < monitors_.desktop.top ||
      x >= monitors_.desktop.right || y >= monitors_.desktop.bottom) {
    return win::CLR_INVALID;
  }
  const std::optional<std::uint32_t> rgb =
      cast_ != nullptr ? cast_->Pixel(Point{x, y}) : frame_.ScreenPixel(Point{x, y});
  return rgb ? SwapRedBlue(*rgb) : win::CLR_INVALID;
}

bool X11Api::PointerStale() const {
  return pointer_.stale || (cast_ != nullptr && cast_->Pointer().id != pointer_.id);
}

void X11Api::ReadMonitorsAgain() {
  if (cast_ == nullptr) {
    monitors_ = ReadMonitors(display_);
    return;
  }
  // The monitors cast; the primary one is the one at the desktop's origin, else the first.
  const std::vector<wayland::CastMonitor>& cast = cast_->Monitors();
  monitors_.desktop = cast_->Desktop();
  monitors_.count = static_cast<int>(cast.size());
  monitors_.primary = cast.empty() ? monitors_.desktop : cast.front().Place();
  for (const wayland::CastMonitor& m : cast) {
    if (m.origin == Point{}) monitors_.primary = m.Place();
  }
  monitors_.workArea = monitors_.primary;
}

void X11Api::RefreshPointer() {
  pointer_.stale = false;
  if (cast_ != nullptr) {
    const wayland::CastPointer& from = cast_->Pointer();
    const std::size_t count = static_cast<std::size_t>(from.width) * from.height;
    if (pointer_.argb.size() < count) pointer_.argb.resize(count);
    std::copy_n(from.argb.begin(), count, pointer_.argb.begin());
    pointer_.width = from.width;
    pointer_.height = from.height;
    pointer_.hotSpot = from.hotSpot;
    pointer_.id = from.id;
    return;
  }
  XFixesCursorImage* image = fixesEvents_ >= 0 ? XFixesGetCursorImage(display_) : nullptr;
  if (image == nullptr) {
    pointer_.width = 0;
    pointer_.height = 0;
    pointer_.hotSpot = Point{};
    return;
  }
  const std::size_t count = static_cast<std::size_t>(image->width) * image->height;
  if (pointer_.argb.size() < count) pointer_.argb.resize(count);
  // XFixes hands each 32-bit pixel over in an unsigned long.
  for (std::size_t i = 0; i < count; ++i) {
    pointer_.argb[i] = static_cast<std::uint32_t>(image->pixels[i]);
  }
  pointer_.width = image->width;
  pointer_.height = image->height;
  pointer_.hotSpot = Point{image->xhot, image->yhot};
  const auto serial = static_cast<Handle>(image->cursor_serial);
  pointer_.id = serial != 0 ? serial : pointer_.id + 1;
  XFree(image);
}

bool X11Api::GetCursorInfo(CursorInfo* info) {
  if (info == nullptr || !GetCursorPos(&info->ptScreenPos)) return false;
  if (PointerStale()) RefreshPointer();
  info->flags = 1;  // CURSOR_SHOWING
  info->hCursor = pointer_.id;
  return true;
}

bool X11Api::GetIconInfo(Handle icon, IconInfo* info) {
  if (icon == 0 || info == nullptr) return false;
  if (PointerStale()) RefreshPointer();
  info->fIcon = false;
  info->xHotspot = static_cast<std::uint32_t>(pointer_.hotSpot.x);
  info->yHotspot = static_cast<std::uint32_t>(pointer_.hotSpot.y);
  info->hbmMask = kMaskBitmap;
  info->hbmColor = kColourBitmap;
  return true;
}

int X11Api::GetObject(Handle bitmap, int size, BitmapInfo* info) {
  constexpr int kRecord = static_cast<int>(sizeof(BitmapInfo));
  if (bitmap != kMaskBitmap && bitmap != kColourBitmap) return 0;
  if (info == nullptr) return kRecord;
  if (size < kRecord) return 0;
  const bool mask = bitmap == kMaskBitmap;
  BitmapInfo out;
  out.bmWidth = pointer_.width;
  out.bmHeight = pointer_.height;
  out.bmPlanes = 1;
  out.bmBitsPixel = mask ? 1 : 32;
  out.bmWidthBytes = mask ? ((pointer_.width + 15) / 16) * 2 : pointer_.width * 4;
  *info = out;
  return kRecord;
}

bool X11Api::DrawIconEx(Handle hdc, int x, int y, Handle icon, int cx, int, std::uint32_t, Handle,
                        std::uint32_t) {
  X11Image* to = X11Image::OfDc(hdc);
  if (to == nullptr || icon == 0) return false;
  if (pointer_.width <= 0 || pointer_.height <= 0) return true;
  // One factor for both sides, so a pointer that is not square keeps its shape.
  const int factor = cx > 0 ? std::max(1, cx / pointer_.width) : 1;
  frame_.Cursor(*to, pointer_.argb.data(), pointer_.width, pointer_.height, x, y, factor);
  return true;
}

bool X11Api::DeleteObject(Handle object) {
  return object == kMaskBitmap || object == kColourBitmap;
}

std::intptr_t X11Api::ShellExecute(Handle owner, std::string_view verb, std::string_view file,
                                   std::string_view, std::string_view, int) {
  if (!verb.empty() && verb != "open") return kNotStarted;
  return windows_.OpenUri(owner, file) ? kStarted : kNotStarted;
}

}  // namespace vimo::x11
