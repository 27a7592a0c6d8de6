// The system operations the logic calls (platform/win32_api.h), over Xlib, MIT-SHM,
// XDamage, XFixes, XRandR and XInput 2: the view's frame (x11_frame.h), the pointer and
// its image, the monitors, the slowed pointer, the settings file and the browser.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/wayland/cast_screen.h"
#include "platform/win32_api.h"
#include "platform/x11/x11_frame.h"
#include "platform/x11/x11_image.h"
#include "platform/x11/x11_monitors.h"
#include "platform/x11/x11_windows.h"

namespace vimo::x11 {

class X11Api final : public Win32Api {
 public:
  // The mouse speed GetMouseSpeed reports, full speed. SetMouseSpeed(s) with s below it
  // moves the pointer s / kFullSpeed as far as the hand moves it; 2520 is divisible by
  // every factor from 1 to 10, so speed / factor is exactly 1 / factor of it.
  static constexpr std::int32_t kFullSpeed = 2520;

  // `display` is the toolkit's connection: the events this class selects (screen damage,
  // pointer image changes, raw pointer motion) reach it through HandleEvent. With `cast`
  // (a Wayland desktop, the windows on Xwayland), the screen, the pointer and the monitors
  // come from the screen cast instead, and the pointer cannot be slowed.
  X11Api(Display* display, WindowHost& windows, wayland::CastScreen* cast = nullptr);
  ~X11Api() override;
  X11Api(const X11Api&) = delete;
  X11Api& operator=(const X11Api&) = delete;

  // An event of the connection; true when it was one of this class's and is used up.
  bool HandleEvent(XEvent& event);

  bool GetCursorPos(Point* point) override;
  int GetSystemMetrics(int index) override;
  bool GetWindowRect(Handle hwnd, Rect* rect) override;
  bool SetWindowPos(Handle hwnd, Handle insertAfter, int x, int y, int cx, int cy,
                    std::uint32_t flags) override;
  bool ScreenToClient(Handle hwnd, Point* point) override;
  std::int32_t GetWindowLong(Handle hwnd, int index) override;
  std::int32_t SetWindowLong(Handle hwnd, int index, std::int32_t value) override;
  bool SetLayeredWindowAttributes(Handle hwnd, Colour key, std::uint8_t alpha,
                                  std::uint32_t flags) override;
  bool ExcludeFromCapture(Handle hwnd) override;
  bool GetMouseSpeed(std::int32_t* speed) override;
  bool SetMouseSpeed(std::int32_t speed) override;
  std::int32_t SHGetSpecialFolderLocation(Handle owner, int folder, Handle* idList) override;
  bool SHGetPathFromIDList(Handle idList, std::string* path) override;
  void CoTaskMemFree(Handle memory) override;
  bool MakeSureDirectoryPathExists(std::string_view path) override;
  std::uint32_t GetPrivateProfileInt(std::string_view section, std::string_view key,
                                     std::int32_t fallback, std::string_view file) override;
  bool WritePrivateProfileString(std::string_view section, std::string_view key,
                                 std::string_view value, std::string_view file) override;
  Handle GetDesktopWindow() override;
  Handle GetDC(Handle hwnd) override;
  int ReleaseDC(Handle hwnd, Handle hdc) override;
  bool StretchBlt(Handle dst, int x, int y, int w, int h, Handle src, int sx, int sy, int sw,
                  int sh, std::uint32_t rop) override;
  bool BitBlt(Handle dst, int x, int y, int w, int h, Handle src, int sx, int sy,
              std::uint32_t rop) override;
  Colour GetPixel(Handle hdc, int x, int y) override;
  bool GetCursorInfo(CursorInfo* info) override;
  bool GetIconInfo(Handle icon, IconInfo* info) override;
  int GetObject(Handle bitmap, int size, BitmapInfo* info) override;
  bool DrawIconEx(Handle hdc, int x, int y, Handle icon, int cx, int cy, std::uint32_t step,
                  Handle brush, std::uint32_t flags) override;
  bool DeleteObject(Handle object) override;
  std::intptr_t ShellExecute(Handle owner, std::string_view verb, std::string_view file,
                             std::string_view parameters, std::string_view directory,
                             int show) override;

 private:
  // The pointer image as XFixes last gave it, premultiplied 0xAARRGGBB row by row.
  struct Pointer {
    std::vector<std::uint32_t> argb;  // grows only
    int width = 0;
    int height = 0;
    Point hotSpot;
    Handle id = 1;      // changes with the image
    bool stale = true;  // XFixes told of a new image, or none was read yet
  };

  void RefreshPointer();
  bool PointerStale() const;
  // The monitors read anew, from the server or the screen cast.
  void ReadMonitorsAgain();
  // Whether `window` can take this connection's images (same depth as the screen).
  bool Accepts(Window window);
  void SlowPointer();
  // Raw motion the connection has read but the toolkit not yet handed over.
  void TakeRawMotion();
  // Raw motion is selected while the pointer rests (to learn that it moves) or is slowed.
  void SelectMotion();
  bool QueryPointer(Point* point);

  Display* display_;
  WindowHost& windows_;
  wayland::CastScreen* cast_;
  Window root_;
  Monitors monitors_;
  X11Frame frame_;
  GC gc_ = nullptr;
  Window checkedWindow_ = 0;
  bool windowAccepts_ = false;

  int fixesEvents_ = -1;  // XFixes' first event code; -1 without XFixes
  Pointer pointer_;

  int inputOpcode_ = -1;  // XInput 2's major opcode; -1 without it
  // The pointer's place as last asked. While it moves it is asked each time; once it
  // rests, only after raw motion says it moved (a program's warp makes none, so an
  // answer older than kPointerWatchMs is asked again all the same).
  Point pointerAt_;
  bool pointerMoved_ = true;
  std::int64_t pointerAskedMs_ = 0;
  int stillAnswers_ = 0;
  bool watching_ = false;  // resting: asked only after raw motion
  bool motionSelected_ = false;
  std::int32_t speed_ = kFullSpeed;
  bool slowing_ = false;
  Point last_;              // where the pointer was put last while slowing
  std::int64_t restX_ = 0;  // movement not yet made, in 1 / kFullSpeed pixels
  std::int64_t restY_ = 0;

  std::map<std::pair<Handle, int>, std::int32_t> windowLongs_;
};

}  // namespace vimo::x11
