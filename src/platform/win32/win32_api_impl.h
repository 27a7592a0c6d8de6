// The Win32 operations of the logic, forwarded to user32, gdi32, shell32 and kernel32.
// Nothing the tick calls allocates.
#pragma once

#include <windows.h>
// shellapi.h names ShellExecute as a macro; the interface's member keeps its own name.
#include <shellapi.h>
#undef ShellExecute

#include "platform/win32_api.h"

namespace vimo::win32 {

// The system's own version (RtlGetVersion, looked up at run time); zeros where ntdll does
// not have it.
RTL_OSVERSIONINFOW SystemVersion();

class Win32ApiImpl final : public Win32Api {
 public:
  Win32ApiImpl();

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
  // Only on Windows 10 2004 (build 19041) or later: before it, the value acts as
  // WDA_MONITOR and blacks the window out of every capture.
  bool ExcludeFromCapture(Handle hwnd) override;

  bool GetMouseSpeed(std::int32_t* speed) override;
  bool SetMouseSpeed(std::int32_t speed) override;

  std::int32_t SHGetSpecialFolderLocation(Handle owner, int folder, Handle* idList) override;
  bool SHGetPathFromIDList(Handle idList, std::string* path) override;
  void CoTaskMemFree(Handle memory) override;
  // CreateDirectoryW for each folder of the path, so any user name works.
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
  using SetDisplayAffinityFn = BOOL(WINAPI*)(HWND, DWORD);
  // SetWindowDisplayAffinity, where user32 has it and the system knows
  // WDA_EXCLUDEFROMCAPTURE; looked up once.
  SetDisplayAffinityFn setDisplayAffinity_ = nullptr;
};

}  // namespace vimo::win32
