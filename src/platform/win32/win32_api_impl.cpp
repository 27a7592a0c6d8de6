#include "platform/win32/win32_api_impl.h"

#include <objbase.h>
#include <shlobj.h>
// The interface's own name, not shlobj's A/W macro (the header never sees shlobj).
#undef SHGetPathFromIDList

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/win32/win32_support.h"

namespace vimo::win32 {
namespace {

// Leaves the window out of screen copies (Windows 10 2004 and later).
constexpr DWORD kExcludeFromCapture = 0x11;

// Whether the system takes kExcludeFromCapture as such: Windows 10 2004 is build 19041.
// Earlier systems take it as WDA_MONITOR and black the window out of every capture.
constexpr bool KnowsExcludeFromCapture(DWORD major, DWORD build) {
  return major > 10 || (major == 10 && build >= 19041);
}
static_assert(!KnowsExcludeFromCapture(6, 9600));    // Windows 8.1
static_assert(!KnowsExcludeFromCapture(10, 18363));  // Windows 10 1909
static_assert(KnowsExcludeFromCapture(10, 19041));   // Windows 10 2004
static_assert(KnowsExcludeFromCapture(10, 22631));   // Windows 11 23H2

template <typename H>
H As(Handle handle) {
  return reinterpret_cast<H>(handle);
}
HWND Wnd(Handle handle) { return reinterpret_cast<HWND>(handle); }

HDC Dc(Handle handle) { return reinterpret_cast<HDC>(handle); }
Handle ToHandle(const void* pointer) { return reinterpret_cast<Handle>(pointer); }

}  // namespace

// RtlGetVersion, unlike GetVersionEx, does not depend on the manifest's compatibility list.
RTL_OSVERSIONINFOW SystemVersion() {
  RTL_OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  using RtlGetVersionFn = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
  if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
    if (FARPROC proc = GetProcAddress(ntdll, "RtlGetVersion")) {
      const auto get = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void (*)()>(proc));
      if (get(&version) != 0) version = RTL_OSVERSIONINFOW{};
    }
  }
  return version;
}

Win32ApiImpl::Win32ApiImpl() {
  const RTL_OSVERSIONINFOW version = SystemVersion();
  if (!KnowsExcludeFromCapture(version.dwMajorVersion, version.dwBuildNumber)) return;
  if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
    if (FARPROC proc = GetProcAddress(user32, "SetWindowDisplayAffinity")) {
      // Through void(*)() so the compiler accepts the change of function type.
      setDisplayAffinity_ =
          reinterpret_cast<SetDisplayAffinityFn>(reinterpret_cast<void (*)()>(proc));
    }
  }
}

bool Win32ApiImpl::GetCursorPos(Point* point) {
  POINT p{};
  if (::GetCursorPos(&p) == FALSE) return false;
  point->x = p.x;
  point->y = p.y;
  return true;
}

int Win32ApiImpl::GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

bool Win32ApiImpl::GetWindowRect(Handle hwnd, Rect* rect) {
  RECT r{};
  if (::GetWindowRect(Wnd(hwnd), &r) == FALSE) return false;
  *rect = Rect{r.left, r.top, r.right, r.bottom};
  return true;
}

bool Win32ApiImpl::SetWindowPos(Handle hwnd, Handle insertAfter, int x, int y, int cx, int cy,
                                std::uint32_t flags) {
  return ::SetWindowPos(Wnd(hwnd), Wnd(insertAfter), x, y, cx, cy, flags) != FALSE;
}

bool Win32ApiImpl::ScreenToClient(Handle hwnd, Point* point) {
  if (point == nullptr) return false;
  POINT p{point->x, point->y};
  if (::ScreenToClient(Wnd(hwnd), &p) == FALSE) return false;
  *point = Point{p.x, p.y};
  return true;
}

std::int32_t Win32ApiImpl::GetWindowLong(Handle hwnd, int index) {
  return static_cast<std::int32_t>(::GetWindowLongW(Wnd(hwnd), index));
}

std::int32_t Win32ApiImpl::SetWindowLong(Handle hwnd, int index, std::int32_t value) {
  return static_cast<std::int32_t>(::SetWindowLongW(Wnd(hwnd), index, value));
}

bool Win32ApiImpl::SetLayeredWindowAttributes(Handle hwnd, Colour key, std::uint8_t alpha,
                                              std::uint32_t flags) {
  return ::SetLayeredWindowAttributes(Wnd(hwnd), key, alpha, flags) != FALSE;
}

bool Win32ApiImpl::ExcludeFromCapture(Handle hwnd) {
  if (setDisplayAffinity_ == nullptr) return false;
  return setDisplayAffinity_(Wnd(hwnd), kExcludeFromCapture) != FALSE;
}

bool Win32ApiImpl::GetMouseSpeed(std::int32_t* speed) {
  int value = 0;
  if (::SystemParametersInfoW(SPI_GETMOUSESPEED, 0, &value, 0) == FALSE) return false;
  *speed = value;
  return true;
}

bool Win32ApiImpl::SetMouseSpeed(std::int32_t speed) {
  // The new speed travels as the pointer argument itself.
  void* value = reinterpret_cast<void*>(static_cast<std::intptr_t>(speed));
  return ::SystemParametersInfoW(SPI_SETMOUSESPEED, 0, value, 0) != FALSE;
}

std::int32_t Win32ApiImpl::SHGetSpecialFolderLocation(Handle owner, int folder, Handle* idList) {
  PIDLIST_ABSOLUTE list = nullptr;
  const HRESULT result = ::SHGetSpecialFolderLocation(Wnd(owner), folder, &list);
  *idList = ToHandle(list);
  return static_cast<std::int32_t>(result);
}

bool Win32ApiImpl::SHGetPathFromIDList(Handle idList, std::string* path) {
  wchar_t buffer[MAX_PATH] = {};
  if (::SHGetPathFromIDListW(As<PCIDLIST_ABSOLUTE>(idList), buffer) == FALSE) return false;
  *path = Narrow(buffer);
  return true;
}

void Win32ApiImpl::CoTaskMemFree(Handle memory) { ::CoTaskMemFree(As<void*>(memory)); }

bool Win32ApiImpl::MakeSureDirectoryPathExists(std::string_view path) {
  const std::wstring wide = Widen(path);
  const std::size_t last = wide.find_last_of(L'\\');
  if (last == std::wstring::npos || last == 0) return true;
  // Each folder on the way, the drive ("C:") and a share's server included: creating
  // one of those, or a folder that exists, fails without harm.
  for (std::size_t at = wide.find(L'\\', 1); at != std::wstring::npos && at <= last;
       at = wide.find(L'\\', at + 1)) {
    CreateDirectoryW(wide.substr(0, at).c_str(), nullptr);
  }
  const DWORD attributes = GetFileAttributesW(wide.substr(0, last).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::uint32_t Win32ApiImpl::GetPrivateProfileInt(std::string_view section, std::string_view key,
                                                 std::int32_t fallback, std::string_view file) {
  return ::GetPrivateProfileIntW(Widen(section).c_str(), Widen(key).c_str(), fallback,
                                 Widen(file).c_str());
}

bool Win32ApiImpl::WritePrivateProfileString(std::string_view section, std::string_view key,
                                             std::string_view value, std::string_view file) {
  return ::WritePrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(),
                                      Widen(value).c_str(), Widen(file).c_str()) != FALSE;
}

Handle Win32ApiImpl::GetDesktopWindow() { return ToHandle(::GetDesktopWindow()); }

Handle Win32ApiImpl::GetDC(Handle hwnd) { return ToHandle(::GetDC(Wnd(hwnd))); }

int Win32ApiImpl::ReleaseDC(Handle hwnd, Handle hdc) { return ::ReleaseDC(Wnd(hwnd), Dc(hdc)); }

bool Win32ApiImpl::StretchBlt(Handle dst, int x, int y, int w, int h, Handle src, int sx, int sy,
                              int sw, int sh, std::uint32_t rop) {
  return ::StretchBlt(Dc(dst), x, y, w, h, Dc(src), sx, sy, sw, sh, rop) != FALSE;
}

bool Win32ApiImpl::BitBlt(Handle dst, int x, int y, int w, int h, Handle src, int sx, int sy,
                          std::uint32_t rop) {
  return ::BitBlt(Dc(dst), x, y, w, h, Dc(src), sx, sy, rop) != FALSE;
}

Colour Win32ApiImpl::GetPixel(Handle hdc, int x, int y) {
  return static_cast<Colour>(::GetPixel(Dc(hdc), x, y));
}

bool Win32ApiImpl::GetCursorInfo(CursorInfo* info) {
  CURSORINFO ci{};
  ci.cbSize = sizeof(ci);
  if (::GetCursorInfo(&ci) == FALSE) return false;
  info->flags = ci.flags;
  info->hCursor = ToHandle(ci.hCursor);
  info->ptScreenPos = Point{ci.ptScreenPos.x, ci.ptScreenPos.y};
  return true;
}

bool Win32ApiImpl::GetIconInfo(Handle icon, IconInfo* info) {
  ICONINFO ii{};
  if (::GetIconInfo(As<HICON>(icon), &ii) == FALSE) return false;
  info->fIcon = ii.fIcon != FALSE;
  info->xHotspot = ii.xHotspot;
  info->yHotspot = ii.yHotspot;
  info->hbmMask = ToHandle(ii.hbmMask);
  info->hbmColor = ToHandle(ii.hbmColor);
  return true;
}

// Like GetObject: without a buffer, the size of the record; with one too small, 0.
int Win32ApiImpl::GetObject(Handle bitmap, int size, BitmapInfo* info) {
  constexpr int kRecord = static_cast<int>(sizeof(BitmapInfo));
  BITMAP bm{};
  if (::GetObjectW(reinterpret_cast<HGDIOBJ>(bitmap), sizeof(bm), &bm) == 0) return 0;
  if (info == nullptr) return kRecord;
  if (size < kRecord) return 0;
  info->bmType = bm.bmType;
  info->bmWidth = bm.bmWidth;
  info->bmHeight = bm.bmHeight;
  info->bmWidthBytes = bm.bmWidthBytes;
  info->bmPlanes = bm.bmPlanes;
  info->bmBitsPixel = bm.bmBitsPixel;
  return kRecord;
}

bool Win32ApiImpl::DrawIconEx(Handle hdc, int x, int y, Handle icon, int cx, int cy,
                              std::uint32_t step, Handle brush, std::uint32_t flags) {
  return ::DrawIconEx(Dc(hdc), x, y, As<HICON>(icon), cx, cy, step, As<HBRUSH>(brush), flags) !=
         FALSE;
}

bool Win32ApiImpl::DeleteObject(Handle object) {
  return ::DeleteObject(reinterpret_cast<HGDIOBJ>(object)) != FALSE;
}

std::intptr_t Win32ApiImpl::ShellExecute(Handle owner, std::string_view verb, std::string_view file,
                                         std::string_view parameters, std::string_view directory,
                                         int show) {
  const std::wstring wideVerb = Widen(verb);
  const std::wstring wideFile = Widen(file);
  const std::wstring wideParameters = Widen(parameters);
  const std::wstring wideDirectory = Widen(directory);
  HINSTANCE result = ::ShellExecuteW(Wnd(owner), wideVerb.c_str(), wideFile.c_str(),
                                     wideParameters.c_str(), wideDirectory.c_str(), show);
  return reinterpret_cast<std::intptr_t>(result);
}

}  // namespace vimo::win32
