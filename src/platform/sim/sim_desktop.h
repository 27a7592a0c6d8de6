// A desktop in memory for running Vimo's logic on any host: monitors, desktop pixels, the
// pointer and its image, device contexts, windows and the mouse speed. Tests drive it
// directly (move the pointer, paint the desktop, re-arrange monitors) and read back what
// the logic did (pixels, handles left open, window flags, calls made).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"
#include "platform/win32_api.h"

namespace vimo::sim {

// System colours as the sim resolves them.
inline constexpr Colour kButtonFace = 0x00F0F0F0;
inline constexpr Colour kWindowText = 0x00000000;

// The non-client frame of every sim window, pixels: outer rect = client + frame.
inline constexpr int kFrameLeft = 8;
inline constexpr int kFrameRight = 8;
inline constexpr int kFrameTop = 31;  // caption bar and top border
inline constexpr int kFrameBottom = 8;
// What the screen shows of a window's frame (no pattern pixel has this colour).
inline constexpr Colour kFrameColour = 0x00646464;

// Where and how big Windows reports a minimised window; its client area is then empty.
inline constexpr Point kMinimizedPos{-32000, -32000};
inline constexpr int kMinimizedWidth = 160;
inline constexpr int kMinimizedHeight = 28;

inline constexpr Rect kDefaultMonitor{0, 0, 1024, 768};
inline constexpr int kTaskbarHeight = 40;

// The user's application-data folder as the simulated shell reports it.
inline constexpr const char* kAppDataFolder = "C:\\Users\\Tester\\AppData\\Roaming";

// CURSORINFO flag of a showing pointer.
inline constexpr std::uint32_t kCursorShowing = 1;

// A rectangle of COLORREF pixels, row by row.
class PixelBuffer {
 public:
  PixelBuffer() = default;
  PixelBuffer(int width, int height, Colour fill);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  // 0 outside the buffer.
  Colour At(int x, int y) const;
  // Ignored outside the buffer.
  void Set(int x, int y, Colour colour);
  void Fill(Colour colour);
  // New size; the overlapping top-left part keeps its pixels, the rest gets `fill`.
  void Resize(int width, int height, Colour fill);
  const std::vector<Colour>& Pixels() const { return pixels_; }
  // The first pixel of row y (0 <= y < Height()); rows follow each other without gaps.
  Colour* Row(int y);
  const Colour* Row(int y) const;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<Colour> pixels_;
};

// Calls `plot(x, y)` for each point of the line from (x0, y0) to (x1, y1), the end point
// left out as GDI does. A line from a point to itself plots nothing.
template <class Plot>
void ForEachLinePoint(int x0, int y0, int x1, int y1, Plot&& plot) {
  const long long dx = std::llabs(static_cast<long long>(x1) - x0);
  const long long dy = -std::llabs(static_cast<long long>(y1) - y0);
  const int sx = x0 < x1 ? 1 : -1;
  const int sy = y0 < y1 ? 1 : -1;
  long long err = dx + dy;
  while (x0 != x1 || y0 != y1) {
    plot(x0, y0);
    const long long e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
}

// A pointer image. The AND mask keeps the screen pixel where it is 1; the XOR part is then
// applied: a colour per pixel, or for a monochrome pointer one bit per pixel (1 = white).
struct CursorImage {
  int width = 0;
  int height = 0;
  Point hotSpot;
  std::vector<std::uint8_t> andMask;  // width * height, 0 or 1
  std::vector<Colour> colour;         // width * height; empty for a monochrome pointer
  std::vector<std::uint8_t> xorMask;  // width * height, 0 or 1; monochrome pointers only
  bool Monochrome() const { return colour.empty(); }
  // What the pointer XORs onto the pixel at (x, y).
  Colour XorAt(int x, int y) const;
  bool KeepsScreenAt(int x, int y) const { return andMask[Index(x, y)] != 0; }

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
           static_cast<std::size_t>(x);
  }
};

// A 32x32 arrow with its hot spot at (0, 0): rows 0..15 hold a right triangle whose edges
// (x == 0, x == y, y == 15) are black and whose inside is white; row 16..20 hold a 2 px
// wide black stem at x 4..5; everything else keeps the screen.
CursorImage MakeArrowCursor(bool monochrome);
// Vimo's own pointer, as platform/green_pointer.h describes it.
CursorImage MakeGreenPixelCursor();

// A top-level window as the desktop knows it. Forms of the sim toolkit own one each.
struct SimWindow {
  Handle hwnd = 0;
  bool alive = true;
  bool visible = false;
  bool minimized = false;
  Rect outer;     // screen pixels, as GetWindowRect reports it
  Rect restored;  // the normal-state rect while minimised
  PixelBuffer client;
  Colour background = kButtonFace;
  bool topmost = false;
  std::int32_t exStyle = 0;
  bool excludedFromCapture = false;
  int z = 0;  // stacking order within its band (topmost or not): higher is nearer the top
  Handle clientCursor = 0;             // the pointer over the client area; 0 keeps the desktop's
  std::function<void()> onResized;     // run when SetWindowPos changed the size
  int dpi = 0;                         // its monitor's DPI; 0 for the system's
  std::function<void()> onDpiChanged;  // run when it is on a monitor of another scale

  // The client area in screen pixels.
  Rect ClientRect() const;
};

struct ShellExecuteCall {
  Handle owner = 0;
  std::string verb;
  std::string file;
  std::string parameters;
  std::string directory;
  int show = 0;
  friend bool operator==(const ShellExecuteCall&, const ShellExecuteCall&) = default;
};

// The system clipboard: what was last put on it, and whether another program holds it.
struct SimClipboard {
  bool busy = false;  // set by a test: every attempt to put something on it fails
  Handle owner = 0;   // the window that put the last item
  std::string text;
  std::vector<std::uint32_t> image;  // 0x00RRGGBB, row by row
  int imageWidth = 0;
  int imageHeight = 0;
};

// How many times the logic asked for the pointer and moved windows (the tick's contract:
// one pointer query, no move while the pointer rests). ResetCalls() zeroes them.
struct CallCounts {
  int getCursorPos = 0;
  int getCursorInfo = 0;
  int setWindowPos = 0;
};

enum class GetDcFailure { kNone, kReturnZero, kThrow };

namespace detail {

enum class HandleKind : Handle { kWindow = 1, kDc = 2, kBitmap = 3, kCursor = 4 };

// Fixed slots reused through a free scan, so that taking and giving back a handle in steady
// state allocates nothing. A handle carries its slot and a generation, so a freed handle
// stays unknown after its slot is reused.
template <class T>
class SlotPool {
 public:
  explicit SlotPool(HandleKind kind) : kind_(kind) {}

  Handle Add(const T& value) {
    std::size_t slot = 0;
    while (slot < slots_.size() && slots_[slot].live) ++slot;
    if (slot == slots_.size()) slots_.emplace_back();
    Slot& s = slots_[slot];
    s.live = true;
    s.generation = (s.generation + 1) & kGenerationMask;
    s.value = value;
    ++live_;
    return (static_cast<Handle>(kind_) << 28) | (static_cast<Handle>(s.generation) << 16) |
           static_cast<Handle>(slot);
  }
  T* Find(Handle h) {
    const std::size_t slot = SlotOf(h);
    return slot == kNoSlot ? nullptr : &slots_[slot].value;
  }
  const T* Find(Handle h) const {
    const std::size_t slot = SlotOf(h);
    return slot == kNoSlot ? nullptr : &slots_[slot].value;
  }
  bool Remove(Handle h) {
    const std::size_t slot = SlotOf(h);
    if (slot == kNoSlot) return false;
    slots_[slot].live = false;
    --live_;
    return true;
  }
  int Live() const { return live_; }
  template <class Pred>
  int CountLive(Pred pred) const {
    int n = 0;
    for (const Slot& s : slots_) n += (s.live && pred(s.value)) ? 1 : 0;
    return n;
  }

 private:
  static constexpr Handle kGenerationMask = 0xFFF;
  static constexpr std::size_t kNoSlot = static_cast<std::size_t>(-1);
  std::size_t SlotOf(Handle h) const {
    if ((h >> 28) != static_cast<Handle>(kind_)) return kNoSlot;
    const std::size_t slot = h & 0xFFFF;
    const Handle generation = (h >> 16) & kGenerationMask;
    if (slot >= slots_.size() || !slots_[slot].live || slots_[slot].generation != generation) {
      return kNoSlot;
    }
    return slot;
  }
  struct Slot {
    bool live = false;
    Handle generation = 0;
    T value{};
  };
  HandleKind kind_;
  std::vector<Slot> slots_;
  int live_ = 0;
};

}  // namespace detail

class SimDesktop final : public Win32Api {
 public:
  explicit SimDesktop(std::vector<Rect> monitors = {kDefaultMonitor});
  ~SimDesktop() override;
  SimDesktop(const SimDesktop&) = delete;
  SimDesktop& operator=(const SimDesktop&) = delete;

  // ---- Win32Api ----
  bool GetCursorPos(Point* point) override;
  // 0/1: primary monitor size; 76..79: virtual screen; 80: monitor count; others 0.
  int GetSystemMetrics(int index) override;
  bool GetWindowRect(Handle hwnd, Rect* rect) override;
  bool SetWindowPos(Handle hwnd, Handle insertAfter, int x, int y, int cx, int cy,
                    std::uint32_t flags) override;
  bool ScreenToClient(Handle hwnd, Point* point) override;
  std::int32_t GetWindowLong(Handle hwnd, int index) override;
  std::int32_t SetWindowLong(Handle hwnd, int index, std::int32_t value) override;
  // Fails, as Windows does, for a window without WS_EX_LAYERED.
  bool SetLayeredWindowAttributes(Handle hwnd, Colour key, std::uint8_t alpha,
                                  std::uint32_t flags) override;
  bool ExcludeFromCapture(Handle hwnd) override;
  bool GetMouseSpeed(std::int32_t* speed) override;
  // Accepts 1..20 as Windows does; anything else fails and changes nothing.
  bool SetMouseSpeed(std::int32_t speed) override;
  // Folder 26 (CSIDL_APPDATA) is kAppDataFolder; any other fails with E_INVALIDARG.
  std::int32_t SHGetSpecialFolderLocation(Handle owner, int folder, Handle* idList) override;
  bool SHGetPathFromIDList(Handle idList, std::string* path) override;
  void CoTaskMemFree(Handle memory) override;
  bool MakeSureDirectoryPathExists(std::string_view path) override;
  // The profile functions read and write real files under a host folder (see HostPath)
  // as platform/profile_file.h does.
  std::uint32_t GetPrivateProfileInt(std::string_view section, std::string_view key,
                                     std::int32_t fallback, std::string_view file) override;
  bool WritePrivateProfileString(std::string_view section, std::string_view key,
                                 std::string_view value, std::string_view file) override;
  Handle GetDesktopWindow() override { return kDesktopWindow; }
  // GetDC(0) and GetDC(GetDesktopWindow()) give the screen; a window handle its client area.
  // The screen, read, shows the monitors' pixels with the visible windows over them in
  // their stacking order (topmost ones above the rest), frame and client area, except
  // those excluded from capture and minimised ones.
  Handle GetDC(Handle hwnd) override;
  // 1 when released; 0 for an unknown DC, a persistent one or another window's.
  int ReleaseDC(Handle hwnd, Handle hdc) override;
  // SRCCOPY only. Sizes of zero or less draw nothing and succeed.
  bool StretchBlt(Handle dst, int x, int y, int w, int h, Handle src, int sx, int sy, int sw,
                  int sh, std::uint32_t rop) override;
  bool BitBlt(Handle dst, int x, int y, int w, int h, Handle src, int sx, int sy,
              std::uint32_t rop) override;
  Colour GetPixel(Handle hdc, int x, int y) override;
  bool GetCursorInfo(CursorInfo* info) override;
  bool GetIconInfo(Handle icon, IconInfo* info) override;
  // With info null: the size a BITMAP record needs. Mask bitmaps are 1 bit per pixel,
  // colour bitmaps 32.
  int GetObject(Handle bitmap, int size, BitmapInfo* info) override;
  // DI_NORMAL only. cx or cy of 0 take the pointer's own size.
  bool DrawIconEx(Handle hdc, int x, int y, Handle icon, int cx, int cy, std::uint32_t step,
                  Handle brush, std::uint32_t flags) override;
  bool DeleteObject(Handle object) override;
  // Recorded, not run; reports success (42) as the shell does.
  std::intptr_t ShellExecute(Handle owner, std::string_view verb, std::string_view file,
                             std::string_view parameters, std::string_view directory,
                             int show) override;

  // ---- Monitors ----
  // Replaces the monitors. Desktop pixels keep their screen position where still shown.
  void SetMonitors(std::vector<Rect> monitors);
  // The monitor that holds (0, 0), or the first one.
  Rect PrimaryMonitor() const;
  // The work area of the monitor that holds the most of `window` (the primary one if none
  // does): the monitor less the task bar, kTaskbarHeight pixels at the primary's bottom.
  Rect WorkAreaFor(const Rect& window) const;
  // false makes SM_CMONITORS report 0, as a system without multi-monitor support does.
  void SetMultiMonitorSupport(bool supported) { multiMonitor_ = supported; }
  // The scale of a monitor, by its place in the list: dots per inch, or 0 (as each starts,
  // and after SetMonitors) for the system's. Windows then on it are told, as Windows does.
  void SetMonitorDpi(std::size_t monitor, int dpi);

  // ---- Desktop pixels (screen coordinates; nothing lives outside the monitors) ----
  void SetPixel(int x, int y, Colour colour);
  // Sets every monitor pixel to colourAt(x, y).
  void Paint(const std::function<Colour(int x, int y)>& colourAt);
  // Black outside every monitor.
  Colour Pixel(int x, int y) const;

  // ---- Pointer ----
  void SetCursorPos(Point p) { cursorPos_ = p; }
  Point CursorPos() const { return cursorPos_; }
  // Registers an image and makes it the current pointer; returns its handle. Handles stay
  // valid for the desktop's life, as shared system cursors do.
  Handle SetCursorImage(const CursorImage& image);
  Handle RegisterCursor(const CursorImage& image);
  // Makes a registered pointer current; 0 hides the pointer (GetCursorInfo gives 0).
  void SetCurrentCursor(Handle cursor);
  Handle CurrentCursor() const { return currentCursor_; }
  const CursorImage* Cursor(Handle cursor) const;

  // ---- Windows ----
  Handle AddWindow(const Rect& outer, Colour background);
  // The window of `hwnd` (also after it was destroyed), or null.
  SimWindow* Window(Handle hwnd);
  const SimWindow* Window(Handle hwnd) const;
  // New outer rect (the restored one while minimised); the client area follows. Returns
  // whether the client size changed. Does not run onResized (its caller does, after); runs
  // onDpiChanged where the monitor holding the most of the window has another scale.
  bool PlaceWindow(Handle hwnd, const Rect& outer);
  void SetMinimized(Handle hwnd, bool minimized);
  // Shows or hides the window; shown, it comes to the top of its band.
  void ShowWindow(Handle hwnd, bool show);
  void DestroyWindow(Handle hwnd);
  // The window the last activating SetWindowPos activated (0 once it is gone).
  Handle ActiveWindow() const { return activeWindow_; }

  // ---- Device contexts of the toolkit's picture boxes (not counted as live handles) ----
  Handle CreatePersistentDc(PixelBuffer* buffer, Colour pen);
  void DestroyPersistentDc(Handle hdc);
  void SetPenColour(Handle hdc, Colour pen);

  // ---- Mouse speed ----
  std::int32_t MouseSpeed() const { return mouseSpeed_; }
  // The user's own setting: not logged.
  void SetUserMouseSpeed(std::int32_t speed) { mouseSpeed_ = speed; }
  // Accepted SetMouseSpeed values, oldest first (at least the last kLogKeep).
  const std::vector<std::int32_t>& MouseSpeedLog() const { return mouseSpeedLog_; }

  // ---- Shell ----
  const std::vector<ShellExecuteCall>& ShellExecuteLog() const { return shellExecuteLog_; }
  SimClipboard& Clipboard() { return clipboard_; }
  // ---- Files ----
  // The host file behind a Windows path: "C:\a\b" is <root>/C/a/b, a path from the
  // root of the drive is on C:, a relative one in C:\Windows; "." and ".." are resolved
  // as Windows does, never above the drive. The root is a temporary folder made on first
  // use and removed with the last desktop that uses it.
  std::filesystem::path HostPath(std::string_view windowsPath);
  // This desktop's files become those of `other` (a restart on the same machine).
  void UseFilesOf(SimDesktop& other);
  // Every later write of this key fails, as on a full disk.
  void FailProfileWritesOf(std::string_view key) { failingKey_ = key; }
  // Every profile read throws, as a backend's failing read would.
  void FailProfileReads(bool fails) { readsFail_ = fails; }
  void SetSpecialFolderFails(bool fails) { specialFolderFails_ = fails; }
  int LiveItemLists() const { return static_cast<int>(itemLists_.size()); }

  // ---- Bookkeeping ----
  // DCs taken by GetDC and not released, plus bitmaps made by GetIconInfo and not deleted.
  int LiveHandles() const;
  int LiveDcs() const;
  int LiveBitmaps() const { return bitmaps_.Live(); }
  const CallCounts& Calls() const { return calls_; }
  void ResetCalls() { calls_ = {}; }
  // The next GetDC of a form fails once: returns 0 or throws ToolkitError.
  void FailNextFormGetDc(GetDcFailure failure) { failNextFormGetDc_ = failure; }
  // false makes ExcludeFromCapture fail, as on systems before Windows 10 2004.
  void SetCaptureExclusionSupported(bool supported) { captureExclusion_ = supported; }

  static constexpr Handle kDesktopWindow = (static_cast<Handle>(1) << 28) | 1;
  static constexpr std::size_t kLogKeep = 512;

 private:
  struct Dc {
    bool persistent = false;
    bool desktop = false;
    Handle owner = 0;  // the hwnd GetDC was given
    PixelBuffer* buffer = nullptr;
    Colour penColour = 0;
  };
  struct Bitmap {
    Handle cursor = 0;
    bool mask = false;
  };
  // A DC's pixels as seen in its own coordinates.
  struct Surface {
    PixelBuffer* buffer = nullptr;
    int originX = 0;  // DC coordinate of buffer pixel (0, 0)
    int originY = 0;
    const std::vector<std::uint8_t>* shown = nullptr;  // writable pixels; null = all
    Colour Get(int x, int y) const { return buffer->At(x - originX, y - originY); }
    void Put(int x, int y, Colour c) const;
    Rect Bounds() const {
      return {originX, originY, originX + buffer->Width(), originY + buffer->Height()};
    }
  };

  Surface SurfaceOf(const Dc& dc);
  // The windows a read of the screen shows, nearest the top first.
  void CollectShownWindows();
  // The pixel a shown window puts at the screen point, if one covers it there.
  bool WindowPixel(int x, int y, Colour* pixel) const;
  void BringToTop(SimWindow& w) { w.z = ++topZ_; }
  Dc* FindDc(Handle hdc) { return dcs_.Find(hdc); }
  const Dc* FindDc(Handle hdc) const { return dcs_.Find(hdc); }
  void Relayout(std::vector<Rect> monitors);
  // The monitor that holds the most of `window`; none where none holds any of it.
  std::optional<std::size_t> MonitorHolding(const Rect& window) const;
  void CheckScale(SimWindow& w);

  std::vector<Rect> monitors_;
  std::vector<int> dpis_;
  Rect virtual_;
  PixelBuffer pixels_;               // the virtual screen
  std::vector<std::uint8_t> shown_;  // 1 where a monitor shows the pixel
  bool multiMonitor_ = true;

  Point cursorPos_;
  std::vector<CursorImage> cursors_;
  Handle currentCursor_ = 0;

  std::map<Handle, std::unique_ptr<SimWindow>> windows_;
  Handle nextWindow_ = kDesktopWindow + 1;
  int topZ_ = 0;
  std::vector<const SimWindow*> shownWindows_;
  Handle activeWindow_ = 0;

  detail::SlotPool<Dc> dcs_{detail::HandleKind::kDc};
  detail::SlotPool<Bitmap> bitmaps_{detail::HandleKind::kBitmap};
  std::vector<Colour> scratch_;  // source copy of a blit within one surface

  std::int32_t mouseSpeed_ = 10;
  std::vector<std::int32_t> mouseSpeedLog_;

  std::vector<ShellExecuteCall> shellExecuteLog_;
  SimClipboard clipboard_;
  struct FileRoot;
  std::shared_ptr<FileRoot> files_;
  std::string lastWindowsPath_;  // the last HostPath mapping, reused while files_ stays
  const FileRoot* lastRoot_ = nullptr;
  std::filesystem::path lastHostPath_;
  std::string failingKey_;
  bool readsFail_ = false;
  bool specialFolderFails_ = false;
  std::map<Handle, std::string> itemLists_;
  Handle nextItemList_ = 0x7000;

  CallCounts calls_;
  GetDcFailure failNextFormGetDc_ = GetDcFailure::kNone;
  bool captureExclusion_ = true;
};

}  // namespace vimo::sim
