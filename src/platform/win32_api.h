// The Win32 operations the logic calls, kept in their Win32 shape so each call can be
// checked against the behaviour it implements. platform/win32 forwards them to the
// system; platform/sim implements them over a simulated desktop.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/types.h"

namespace vimo {

// CURSORINFO: the handle and, while the pointer shows (flags not 0), its position.
struct CursorInfo {
  std::uint32_t cbSize = 0;
  std::uint32_t flags = 0;
  Handle hCursor = 0;
  Point ptScreenPos;
};

// ICONINFO.
struct IconInfo {
  bool fIcon = false;
  std::uint32_t xHotspot = 0;
  std::uint32_t yHotspot = 0;
  Handle hbmMask = 0;
  Handle hbmColor = 0;
};

// BITMAP (the bits address is never used and is left out).
struct BitmapInfo {
  std::int32_t bmType = 0;
  std::int32_t bmWidth = 0;
  std::int32_t bmHeight = 0;
  std::int32_t bmWidthBytes = 0;
  std::uint16_t bmPlanes = 0;
  std::uint16_t bmBitsPixel = 0;
};

class Win32Api {
 public:
  virtual ~Win32Api() = default;

  // user32: pointer, metrics, windows.
  virtual bool GetCursorPos(Point* point) = 0;
  virtual int GetSystemMetrics(int index) = 0;
  virtual bool GetWindowRect(Handle hwnd, Rect* rect) = 0;
  virtual bool SetWindowPos(Handle hwnd, Handle insertAfter, int x, int y, int cx, int cy,
                            std::uint32_t flags) = 0;
  // A screen point in the client coordinates of the window.
  virtual bool ScreenToClient(Handle hwnd, Point* point) = 0;
  virtual std::int32_t GetWindowLong(Handle hwnd, int index) = 0;
  virtual std::int32_t SetWindowLong(Handle hwnd, int index, std::int32_t value) = 0;
  virtual bool SetLayeredWindowAttributes(Handle hwnd, Colour key, std::uint8_t alpha,
                                          std::uint32_t flags) = 0;
  // SetWindowDisplayAffinity(hwnd, WDA_EXCLUDEFROMCAPTURE) where the system offers it.
  virtual bool ExcludeFromCapture(Handle hwnd) = 0;

  // SystemParametersInfo with SPI_GETMOUSESPEED / SPI_SETMOUSESPEED (fWinIni 0).
  virtual bool GetMouseSpeed(std::int32_t* speed) = 0;
  virtual bool SetMouseSpeed(std::int32_t speed) = 0;

  // The settings file. Paths and texts are UTF-8; the backend passes them on as wide
  // strings, so folders whose names are outside the ANSI code page work too.
  // shell32: 0 (S_OK) on success; the item list is released with CoTaskMemFree.
  virtual std::int32_t SHGetSpecialFolderLocation(Handle owner, int folder, Handle* idList) = 0;
  virtual bool SHGetPathFromIDList(Handle idList, std::string* path) = 0;
  virtual void CoTaskMemFree(Handle memory) = 0;
  // Creates every missing folder of the path up to its last backslash.
  virtual bool MakeSureDirectoryPathExists(std::string_view path) = 0;
  // kernel32 profile functions.
  virtual std::uint32_t GetPrivateProfileInt(std::string_view section, std::string_view key,
                                             std::int32_t fallback, std::string_view file) = 0;
  virtual bool WritePrivateProfileString(std::string_view section, std::string_view key,
                                         std::string_view value, std::string_view file) = 0;

  // Device contexts and drawing.
  virtual Handle GetDesktopWindow() = 0;
  virtual Handle GetDC(Handle hwnd) = 0;
  virtual int ReleaseDC(Handle hwnd, Handle hdc) = 0;
  virtual bool StretchBlt(Handle dst, int x, int y, int w, int h, Handle src, int sx, int sy,
                          int sw, int sh, std::uint32_t rop) = 0;
  virtual bool BitBlt(Handle dst, int x, int y, int w, int h, Handle src, int sx, int sy,
                      std::uint32_t rop) = 0;
  // The colour of one pixel of the device context (of the screen: the desktop as shown);
  // CLR_INVALID outside it.
  virtual Colour GetPixel(Handle hdc, int x, int y) = 0;

  // The pointer image.
  virtual bool GetCursorInfo(CursorInfo* info) = 0;
  virtual bool GetIconInfo(Handle icon, IconInfo* info) = 0;
  virtual int GetObject(Handle bitmap, int size, BitmapInfo* info) = 0;
  virtual bool DrawIconEx(Handle hdc, int x, int y, Handle icon, int cx, int cy, std::uint32_t step,
                          Handle brush, std::uint32_t flags) = 0;
  virtual bool DeleteObject(Handle object) = 0;

  // shell32: ShellExecute with UTF-8 texts (ShellExecuteW underneath). Above 32 when the
  // system has started opening the file.
  virtual std::intptr_t ShellExecute(Handle owner, std::string_view verb, std::string_view file,
                                     std::string_view parameters, std::string_view directory,
                                     int show) = 0;
};

// Gives a device context back however the caller's work ends, so a failing call cannot
// leave one taken.
class DcLease {
 public:
  DcLease(Win32Api& api, Handle window) : api_(api), window_(window), dc_(api.GetDC(window)) {}
  ~DcLease() { api_.ReleaseDC(window_, dc_); }
  DcLease(const DcLease&) = delete;
  DcLease& operator=(const DcLease&) = delete;
  Handle dc() const { return dc_; }

 private:
  Win32Api& api_;
  Handle window_;
  Handle dc_;
};

}  // namespace vimo
