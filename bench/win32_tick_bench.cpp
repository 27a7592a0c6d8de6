// vimo_bench.exe: the 15 ms tick of the real Win32 backend. Vimo is put together as
// vimo.exe puts it together, its window comes up, and then MainWindow::Tick() is called
// directly, many times in a row, for a few window configurations. Each configuration
// prints the median and 95th percentile time of one tick, the heap allocations per tick
// and how the process's GDI and USER object counts changed over its ticks.
//
// The window is never left without its message loop for long: the ticks run in batches
// with the pending messages handled (untimed) in between, as Windows marks a window that
// stops answering as hung. Configurations that are compared run their batches in turns
// (the started window with and without pointer, grid and stick; the large view with and
// without grid), so that the machine's changing load does not bend the ratios.
//
// With --calls the logic gets a Win32Api that times each call before passing it on to
// the real one, and every row is followed by where its ticks spent their time. After the
// table come the ratios between rows that show what the pointer overlay, the grid and
// stick mode add to a tick.
//
// With --soak the window instead runs 100,000 ticks (or the given number) with grid,
// stick to mouse and the pointer overlay on, the pointer resting and moving, and the
// process's GDI and USER objects and private bytes are printed before and after.

// The backend's headers bring in the Windows headers; they come first, as in
// main_win32.cpp, so that the Windows macros (GetObject, GetWindowLong, ...) rename the
// interface's members and the backend's alike.
#include "platform/win32/win32_api_impl.h"
#include "platform/win32/win32_toolkit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <psapi.h>

#include "alloc_counter.h"
#include "app/main_window.h"
#include "rows.h"
#include "soak_path.h"

namespace vimo::bench {
namespace {

constexpr int kDefaultTicks = 2000;
constexpr long long kDefaultSoakTicks = 100000;
constexpr int kLargeClient = 1002;
// Left of and above the window wherever it is placed, so the view never shows it.
constexpr POINT kPointer{200, 200};

// Handles the messages waiting for this thread; false once the quit message came. Gives
// up after 100 ms: when a tick takes longer than the timer's period, a timer message is
// always waiting, and the queue never runs dry.
bool Pump() {
  MSG msg{};
  const ULONGLONG end = GetTickCount64() + 100;
  while (GetTickCount64() < end && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
    if (msg.message == WM_QUIT) return false;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

// Runs the message loop for about `ms` milliseconds.
void PumpFor(DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    if (!Pump()) return;
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
  }
}

// Live GDI objects found by asking GetObjectType about every handle-table slot. Wine
// accepts a handle without its generation bits (the 16-bit form), so this counts the
// process's objects there. Used only where GetGuiResources does not count, and only
// once it has been seen to count a brush coming and going.
long ProbedGdiObjects() {
  long n = 0;
  for (std::uintptr_t slot = 1; slot < 0x10000; ++slot) {
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(slot)) != 0) ++n;
  }
  return n;
}

// Whether ProbedGdiObjects sees an object come and go.
bool ProbeCountsGdiObjects() {
  const long before = ProbedGdiObjects();
  HBRUSH probe = CreateSolidBrush(RGB(1, 2, 3));
  if (probe == nullptr) return false;
  const long during = ProbedGdiObjects();
  DeleteObject(probe);
  return before > 0 && during == before + 1 && ProbedGdiObjects() == before;
}

enum class GdiCounting { kNone, kGuiResources, kProbe };
GdiCounting gdiCounting = GdiCounting::kNone;

// GetGuiResources; -1 where the system does not count (Wine reports "not implemented"),
// except GDI objects, which the probe then counts where it can.
long GuiObjects(DWORD which) {
  if (which == GR_GDIOBJECTS && gdiCounting == GdiCounting::kProbe) return ProbedGdiObjects();
  if (which == GR_GDIOBJECTS && gdiCounting == GdiCounting::kNone) return -1;
  SetLastError(ERROR_SUCCESS);
  const DWORD n = GetGuiResources(GetCurrentProcess(), which);
  if (n == 0 && GetLastError() != ERROR_SUCCESS) return -1;
  return static_cast<long>(n);
}

void ChooseGdiCounting() {
  SetLastError(ERROR_SUCCESS);
  const DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (n != 0 || GetLastError() == ERROR_SUCCESS) {
    gdiCounting = GdiCounting::kGuiResources;
  } else if (ProbeCountsGdiObjects()) {
    gdiCounting = GdiCounting::kProbe;
  }
}

const char* GdiCountingName() {
  switch (gdiCounting) {
    case GdiCounting::kGuiResources:
      return "GetGuiResources";
    case GdiCounting::kProbe:
      return "GetObjectType over the handle table (GetGuiResources does not count here)";
    case GdiCounting::kNone:
      break;
  }
  return "not counted (GetGuiResources does not count here)";
}

// The Wine version when running under Wine, otherwise empty.
std::string WineVersion() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return {};
  FARPROC proc = GetProcAddress(ntdll, "wine_get_version");
  if (proc == nullptr) return {};
  using VersionFn = const char* (*)();
  return reinterpret_cast<VersionFn>(reinterpret_cast<void (*)()>(proc))();
}

// The process's private bytes: PrivateUsage, or where that reads 0 (Wine) PagefileUsage,
// which Windows gives the same value and Wine the resident and swapped anonymous memory.
// -1 when the call fails.
long long PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  if (GetProcessMemoryInfo(GetCurrentProcess(),
                           reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof(counters)) == FALSE) {
    return -1;
  }
  const SIZE_T bytes = counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
  return static_cast<long long>(bytes);
}

// Passes every call on to the real backend; while armed, adds up the time and number of
// the calls of each operation the tick makes.
class TimedApi final : public Win32Api {
 public:
  enum Op {
    kGetCursorPos,
    kGetSystemMetrics,
    kGetWindowRect,
    kSetWindowPos,
    kGetDesktopWindow,
    kGetDC,
    kReleaseDC,
    kStretchBlt,
    kBitBlt,
    kGetCursorInfo,
    kGetIconInfo,
    kGetObject,
    kDrawIconEx,
    kDeleteObject,
    kOpCount
  };

  explicit TimedApi(Win32Api& real) : real_(real) {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    microsecondsPerCount_ = 1e6 / static_cast<double>(frequency.QuadPart);
  }

  struct Total {
    long long counts = 0;  // QueryPerformanceCounter units
    long long calls = 0;
  };
  using Totals = std::array<Total, kOpCount>;

  // While armed, the calls add up into `totals`.
  void Arm(Totals* totals) { totals_ = totals; }
  // Microseconds per tick spent in each operation, the most costly first.
  void Print(const Totals& totals, int ticks) const {
    static constexpr const char* kNames[kOpCount] = {
        "GetCursorPos", "GetSystemMetrics", "GetWindowRect", "SetWindowPos", "GetDesktopWindow",
        "GetDC",        "ReleaseDC",        "StretchBlt",    "BitBlt",       "GetCursorInfo",
        "GetIconInfo",  "GetObject",        "DrawIconEx",    "DeleteObject"};
    int order[kOpCount];
    for (int i = 0; i < kOpCount; ++i) order[i] = i;
    std::sort(order, order + kOpCount,
              [&](int a, int b) { return totals[a].counts > totals[b].counts; });
    std::printf("    us per tick:");
    for (const int op : order) {
      const Total& total = totals[op];
      if (total.calls == 0) continue;
      std::printf(" %s %.1f", kNames[op],
                  static_cast<double>(total.counts) * microsecondsPerCount_ / ticks);
      if (total.calls != ticks) std::printf(" (%.3gx)", static_cast<double>(total.calls) / ticks);
      std::printf(",");
    }
    std::printf("\n");
  }

  bool GetCursorPos(Point* point) override {
    return Time(kGetCursorPos, [&] { return real_.GetCursorPos(point); });
  }
  int GetSystemMetrics(int index) override {
    return Time(kGetSystemMetrics, [&] { return real_.GetSystemMetrics(index); });
  }
  bool GetWindowRect(Handle hwnd, Rect* rect) override {
    return Time(kGetWindowRect, [&] { return real_.GetWindowRect(hwnd, rect); });
  }
  bool SetWindowPos(Handle hwnd, Handle insertAfter, int x, int y, int cx, int cy,
                    std::uint32_t flags) override {
    return Time(kSetWindowPos,
                [&] { return real_.SetWindowPos(hwnd, insertAfter, x, y, cx, cy, flags); });
  }
  bool ScreenToClient(Handle hwnd, Point* point) override {
    return real_.ScreenToClient(hwnd, point);
  }
  std::int32_t GetWindowLong(Handle hwnd, int index) override {
    return real_.GetWindowLong(hwnd, index);
  }
  std::int32_t SetWindowLong(Handle hwnd, int index, std::int32_t value) override {
    return real_.SetWindowLong(hwnd, index, value);
  }
  bool SetLayeredWindowAttributes(Handle hwnd, Colour key, std::uint8_t alpha,
                                  std::uint32_t flags) override {
    return real_.SetLayeredWindowAttributes(hwnd, key, alpha, flags);
  }
  bool ExcludeFromCapture(Handle hwnd) override { return real_.ExcludeFromCapture(hwnd); }
  bool GetMouseSpeed(std::int32_t* speed) override { return real_.GetMouseSpeed(speed); }
  bool SetMouseSpeed(std::int32_t speed) override { return real_.SetMouseSpeed(speed); }
  std::int32_t SHGetSpecialFolderLocation(Handle owner, int folder, Handle* idList) override {
    return real_.SHGetSpecialFolderLocation(owner, folder, idList);
  }
  bool SHGetPathFromIDList(Handle idList, std::string* path) override {
    return real_.SHGetPathFromIDList(idList, path);
  }
  void CoTaskMemFree(Handle memory) override { real_.CoTaskMemFree(memory); }
  bool MakeSureDirectoryPathExists(std::string_view path) override {
    return real_.MakeSureDirectoryPathExists(path);
  }
  std::uint32_t GetPrivateProfileInt(std::string_view section, std::string_view key,
                                     std::int32_t fallback, std::string_view file) override {
    return real_.GetPrivateProfileInt(section, key, fallback, file);
  }
  bool WritePrivateProfileString(std::string_view section, std::string_view key,
                                 std::string_view value, std::string_view file) override {
    return real_.WritePrivateProfileString(section, key, value, file);
  }
  Handle GetDesktopWindow() override {
    return Time(kGetDesktopWindow, [&] { return real_.GetDesktopWindow(); });
  }
  Handle GetDC(Handle hwnd) override {
    return Time(kGetDC, [&] { return real_.GetDC(hwnd); });
  }
  int ReleaseDC(Handle hwnd, Handle hdc) override {
    return Time(kReleaseDC, [&] { return real_.ReleaseDC(hwnd, hdc); });
  }
  bool StretchBlt(Handle dst, int x, int y, int w, int h, Handle src, int sx, int sy, int sw,
                  int sh, std::uint32_t rop) override {
    return Time(kStretchBlt,
                [&] { return real_.StretchBlt(dst, x, y, w, h, src, sx, sy, sw, sh, rop); });
  }
  bool BitBlt(Handle dst, int x, int y, int w, int h, Handle src, int sx, int sy,
              std::uint32_t rop) override {
    return Time(kBitBlt, [&] { return real_.BitBlt(dst, x, y, w, h, src, sx, sy, rop); });
  }
  Colour GetPixel(Handle hdc, int x, int y) override { return real_.GetPixel(hdc, x, y); }

  bool GetCursorInfo(CursorInfo* info) override {
    return Time(kGetCursorInfo, [&] { return real_.GetCursorInfo(info); });
  }
  bool GetIconInfo(Handle icon, IconInfo* info) override {
    return Time(kGetIconInfo, [&] { return real_.GetIconInfo(icon, info); });
  }
  int GetObject(Handle bitmap, int size, BitmapInfo* info) override {
    return Time(kGetObject, [&] { return real_.GetObject(bitmap, size, info); });
  }
  bool DrawIconEx(Handle hdc, int x, int y, Handle icon, int cx, int cy, std::uint32_t step,
                  Handle brush, std::uint32_t flags) override {
    return Time(kDrawIconEx,
                [&] { return real_.DrawIconEx(hdc, x, y, icon, cx, cy, step, brush, flags); });
  }
  bool DeleteObject(Handle object) override {
    return Time(kDeleteObject, [&] { return real_.DeleteObject(object); });
  }
  std::intptr_t ShellExecute(Handle owner, std::string_view verb, std::string_view file,
                             std::string_view parameters, std::string_view directory,
                             int show) override {
    return real_.ShellExecute(owner, verb, file, parameters, directory, show);
  }

 private:
  template <class Call>
  auto Time(Op op, Call&& call) -> decltype(call()) {
    if (totals_ == nullptr) return call();
    LARGE_INTEGER t0;
    LARGE_INTEGER t1;
    QueryPerformanceCounter(&t0);
    auto result = call();
    QueryPerformanceCounter(&t1);
    (*totals_)[op].counts += t1.QuadPart - t0.QuadPart;
    (*totals_)[op].calls += 1;
    return result;
  }

  Win32Api& real_;
  double microsecondsPerCount_ = 0;
  Totals* totals_ = nullptr;
};

struct Row {
  std::string name;
  int clientW = 0;
  int clientH = 0;
  int viewW = 0;
  int viewH = 0;
  double median = 0;
  double p95 = 0;
  double mean = 0;
  double allocsPerTick = 0;
  long gdiBefore = 0;
  long gdiAfter = 0;
  long userBefore = 0;
  long userAfter = 0;
  TimedApi::Totals calls{};
  std::string failure;
};

// A window configuration of a row: the commands that switch it on and off again, and what
// is timed in place of the tick.
struct Config {
  const char* name;
  std::function<void()> on;
  std::function<void()> off;
  std::function<void()> frame = nullptr;
};

class Bench {
 public:
  Bench(MainWindow& app, int ticks, TimedApi* timed) : app_(app), ticks_(ticks), timed_(timed) {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    microsecondsPerCount_ = 1e6 / static_cast<double>(frequency.QuadPart);
  }

  // ticks_ direct calls of the tick for each configuration, each call timed on its own.
  // The configurations take turns of kBatch ticks, so that a change in the machine's
  // load falls on all of them alike and the ratios between them hold.
  std::vector<Row> Measure(const std::vector<Config>& configs) {
    std::vector<Row> rows(configs.size());
    std::vector<std::vector<double>> samples(configs.size());
    std::vector<std::uint64_t> allocations(configs.size(), 0);
    for (std::size_t c = 0; c < configs.size(); ++c) {
      rows[c].name = configs[c].name;
      samples[c].reserve(static_cast<std::size_t>(ticks_));
    }
    const long gdiBefore = GuiObjects(GR_GDIOBJECTS);
    const long userBefore = GuiObjects(GR_USEROBJECTS);
    try {
      for (int done = 0; done < ticks_; done += kBatch) {
        const int batch = std::min(kBatch, ticks_ - done);
        for (std::size_t c = 0; c < configs.size(); ++c) {
          if (configs[c].on) configs[c].on();
          for (int i = 0; i < kSettleTicks; ++i) app_.Tick();
          Pump();
          for (int i = 0; i < batch; ++i) {
            const std::uint64_t a0 = AllocationCount();
            LARGE_INTEGER t0;
            LARGE_INTEGER t1;
            if (timed_ != nullptr) timed_->Arm(&rows[c].calls);
            QueryPerformanceCounter(&t0);
            if (configs[c].frame) {
              configs[c].frame();
            } else {
              app_.Tick();
            }
            QueryPerformanceCounter(&t1);
            if (timed_ != nullptr) timed_->Arm(nullptr);
            allocations[c] += AllocationCount() - a0;
            samples[c].push_back(static_cast<double>(t1.QuadPart - t0.QuadPart) *
                                 microsecondsPerCount_);
          }
          Pump();
          rows[c].clientW = static_cast<int>(app_.form().ScaleWidth());
          rows[c].clientH = static_cast<int>(app_.form().ScaleHeight());
          rows[c].viewW = app_.state().ViewWidth;
          rows[c].viewH = app_.state().ViewHeight;
          if (configs[c].off) configs[c].off();
        }
      }
    } catch (const std::exception& failure) {
      if (timed_ != nullptr) timed_->Arm(nullptr);
      for (Row& row : rows) row.failure = failure.what();
      return rows;
    }
    const long gdiAfter = GuiObjects(GR_GDIOBJECTS);
    const long userAfter = GuiObjects(GR_USEROBJECTS);

    for (std::size_t c = 0; c < configs.size(); ++c) {
      Row& row = rows[c];
      const Spread spread = SpreadOf(samples[c]);
      row.median = spread.median;
      row.p95 = spread.p95;
      row.mean = spread.mean;
      row.allocsPerTick = static_cast<double>(allocations[c]) / ticks_;
      row.gdiBefore = gdiBefore;
      row.gdiAfter = gdiAfter;
      row.userBefore = userBefore;
      row.userAfter = userAfter;
    }
    return rows;
  }

 private:
  MainWindow& app_;
  int ticks_;
  TimedApi* timed_;
  double microsecondsPerCount_ = 0;
};

void Print(const Row& row) {
  if (!row.failure.empty()) {
    std::printf("%-24s failed: %s\n", row.name.c_str(), row.failure.c_str());
    return;
  }
  char client[24];
  char view[24];
  std::snprintf(client, sizeof(client), "%dx%d", row.clientW, row.clientH);
  std::snprintf(view, sizeof(view), "%dx%d", row.viewW, row.viewH);
  std::printf("%-24s %-10s %-10s %10.1f %10.1f %10.1f %8.3f  %-12s %-12s\n", row.name.c_str(),
              client, view, row.median, row.p95, row.mean, row.allocsPerTick,
              Delta(row.gdiBefore, row.gdiAfter).c_str(),
              Delta(row.userBefore, row.userAfter).c_str());
}

// A menu command, as a click on the item delivers it.
void Command(MainWindow& app, const char* name, std::int16_t index = 0) {
  app.OnMenuClick(name, index);
  Pump();
}

// New outer size in twips for the wanted client size in pixels.
void SetClientSize(MainWindow& app, Toolkit& toolkit, int width, int height) {
  Form& form = app.form();
  const float tppX = toolkit.GetScreen().TwipsPerPixelX();
  const float tppY = toolkit.GetScreen().TwipsPerPixelY();
  const float frameW = form.Width() / tppX - form.ScaleWidth();
  const float frameH = form.Height() / tppY - form.ScaleHeight();
  form.SetWidth((static_cast<float>(width) + frameW) * tppX);
  form.SetHeight((static_cast<float>(height) + frameH) * tppY);
  Pump();
}

// The pointer's place in tick `tick` of the soak.
POINT SoakPointer(long long tick) {
  const Point offset = vimo::bench::SoakOffset(tick);
  return POINT{kPointer.x + offset.x, kPointer.y + offset.y};
}

int Soak(MainWindow& app, long long ticks) {
  Command(app, "GridMen");
  Command(app, "Stick");
  const auto run = [&](long long n) {
    for (long long i = 0; i < n; ++i) {
      if (i % 8 == 0) {
        const POINT p = SoakPointer(i);
        SetCursorPos(p.x, p.y);
      }
      app.Tick();
      if ((i + 1) % kBatch == 0) Pump();
    }
    Pump();
  };
  run(3200);  // a first round of the square: everything made once is made before counting
  const long gdiBefore = GuiObjects(GR_GDIOBJECTS);
  const long userBefore = GuiObjects(GR_USEROBJECTS);
  const long long privateBefore = PrivateBytes();
  const std::uint64_t allocationsBefore = AllocationCount();
  const ULONGLONG start = GetTickCount64();
  run(ticks);
  const double seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
  const std::uint64_t allocations = AllocationCount() - allocationsBefore;
  std::printf(
      "soak: %lld ticks of the started window (3x, grid, stick, pointer), %.1f s,"
      " %.1f us per tick\n",
      ticks, seconds, seconds * 1e6 / static_cast<double>(ticks));
  std::printf("  GDI objects %s, USER objects %s\n",
              Delta(gdiBefore, GuiObjects(GR_GDIOBJECTS)).c_str(),
              Delta(userBefore, GuiObjects(GR_USEROBJECTS)).c_str());
  std::printf("  private bytes: before %lld, after %lld\n", privateBefore, PrivateBytes());
  std::printf("  heap allocations during the soak: %llu\n",
              static_cast<unsigned long long>(allocations));
  std::fflush(stdout);
  return 0;
}

int Run(MainWindow& app, win32::Win32Toolkit& toolkit, int ticks, TimedApi* timed,
        long long soakTicks) {
  PumpFor(1000);  // the window comes up and paints
  SetCursorPos(kPointer.x, kPointer.y);
  PumpFor(200);

  ChooseGdiCounting();
  const long gdiStart = GuiObjects(GR_GDIOBJECTS);
  const long userStart = GuiObjects(GR_USEROBJECTS);

  // The start-up hint leaves the caption at its 2000th tick; those first ticks are run
  // here, so that the measured ones are the steady state.
  int warmTicks = 0;
  const std::uint64_t warmAllocations0 = AllocationCount();
  while (app.state().HintTicks > 0) {
    app.Tick();
    if (++warmTicks % kBatch == 0) Pump();
  }
  const std::uint64_t warmAllocations = AllocationCount() - warmAllocations0;
  Pump();
  const long gdiWarm = GuiObjects(GR_GDIOBJECTS);
  const long userWarm = GuiObjects(GR_USEROBJECTS);

  CURSORINFO cursor{};
  cursor.cbSize = sizeof(cursor);
  GetCursorInfo(&cursor);
  const bool pointerShown = cursor.hCursor != nullptr && (cursor.flags & CURSOR_SHOWING) != 0;

  const std::string wine = WineVersion();
  const std::string system = wine.empty() ? "Windows" : "Wine " + wine;
  if (soakTicks > 0) {
    std::printf("vimo_bench: soak of MainWindow::Tick, real Win32 backend, %s\n", system.c_str());
  } else {
    std::printf("vimo_bench: %d direct calls of MainWindow::Tick per row, real Win32 backend, %s\n",
                ticks, system.c_str());
  }
  std::printf("screen %dx%d, %.1f twips per pixel, pointer at (%ld, %ld), %s\n",
              GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
              static_cast<double>(toolkit.GetScreen().TwipsPerPixelX()), kPointer.x, kPointer.y,
              pointerShown ? "pointer image showing" : "no pointer image (none is drawn)");
  const RTL_OSVERSIONINFOW version = win32::SystemVersion();
  DWORD affinity = 0;
  GetWindowDisplayAffinity(reinterpret_cast<HWND>(app.form().hWnd()), &affinity);
  std::printf("system version %lu.%lu.%lu (RtlGetVersion), window display affinity 0x%lx\n",
              version.dwMajorVersion, version.dwMinorVersion, version.dwBuildNumber, affinity);
  std::printf("GDI objects: %s\n", GdiCountingName());
  std::printf(
      "start-up hint: %d ticks before the measurements, %llu heap allocations, GDI objects %s,"
      " USER objects %s\n\n",
      warmTicks, static_cast<unsigned long long>(warmAllocations), Delta(gdiStart, gdiWarm).c_str(),
      Delta(userStart, userWarm).c_str());
  if (soakTicks > 0) return Soak(app, soakTicks);
  std::printf("%-24s %-10s %-10s %10s %10s %10s %8s  %-12s %-12s\n", "configuration", "client",
              "view", "median us", "p95 us", "mean us", "allocs", "GDI delta", "USER delta");
  std::fflush(stdout);

  Bench bench(app, ticks, timed);
  std::map<std::string, double> medians;
  const auto measure = [&](const std::vector<Config>& configs) {
    for (const Row& measured : bench.Measure(configs)) {
      if (measured.failure.empty()) medians[measured.name] = measured.median;
      Print(measured);
      if (timed != nullptr && measured.failure.empty()) timed->Print(measured.calls, ticks);
    }
    std::fflush(stdout);
  };
  const auto toggle = [&](const char* command) {
    return [&app, command] { Command(app, command); };
  };
  const auto freeze = [&app] {  // the key: the menu takes the screen some ticks later
    std::int16_t key = 'f';
    app.OnKeyPress(key);
  };

  measure({{"started x3", nullptr, nullptr},
           {"started x3 grid", toggle("GridMen"), toggle("GridMen")},
           {"started x3 stick", toggle("Stick"), toggle("Stick")},
           {"started x3 no pointer", toggle("PointerMen"), toggle("PointerMen")},
           {"started x3 frozen", freeze, freeze}});
  // Locked and measuring, with both points in the view: marker lines and read-out texts.
  measure({{"started x3 lock measure",
            [&] {
              Command(app, "LockMen");
              Command(app, "Meas");
              app.OnMouseMove(0, 0, 31, 62);
              app.OnClick();
              app.OnMouseMove(0, 0, 100, 40);
            },
            [&] {
              Command(app, "Meas");
              Command(app, "LockMen");
            }}});
  PumpFor(100);

  // Top left of the screen, clear of the pointer, and grown to about 1000 x 1000.
  const float tppX = toolkit.GetScreen().TwipsPerPixelX();
  app.form().SetLeft(static_cast<float>(kPointer.x + 400) * tppX);
  app.form().SetTop(0);
  SetClientSize(app, toolkit, kLargeClient, kLargeClient);
  PumpFor(200);
  measure({{"1002 x3", nullptr, nullptr},
           {"1002 x3 grid", toggle("GridMen"), toggle("GridMen")},
           {"1002 x3 grid frozen",
            [&] {
              Command(app, "GridMen");
              freeze();
            },
            [&] {
              freeze();
              Command(app, "GridMen");
            }}});
  measure({{"1002 x1", [&] { Command(app, "Mag", 1); }, nullptr}});

  // A tenth as many: each is a read of the whole screen. The freeze as Vimo makes it: the
  // still picture sized to the screen, the screen into it, the picture let go again.
  {
    const int w = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int h = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    PictureBox& still = app.form().Picture("StillPic");
    HDC screen = GetDC(nullptr);
    HDC whole = CreateCompatibleDC(screen);
    // Into memory, as every read of Vimo's: a DIB section, not a bitmap of the server's.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(whole, bitmap);
    const auto freeze = [&] {
      still.SetWidth(static_cast<float>(w));
      still.SetHeight(static_cast<float>(h));
      BitBlt(reinterpret_cast<HDC>(still.hDC()), 0, 0, w, h, screen, x, y, SRCCOPY);
      still.SetWidth(1.0F);
      still.SetHeight(1.0F);
    };
    const auto read = [&] { BitBlt(whole, 0, 0, w, h, screen, x, y, SRCCOPY); };
    // The same into memory just made, as a freeze's picture is: the first touch of its
    // pages is most of the cost.
    const auto readNew = [&] {
      void* fresh = nullptr;
      HBITMAP made = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &fresh, nullptr, 0);
      const HGDIOBJ kept = SelectObject(whole, made);
      BitBlt(whole, 0, 0, w, h, screen, x, y, SRCCOPY);
      SelectObject(whole, kept);
      DeleteObject(made);
    };
    Bench once(app, std::max(50, ticks / 10), nullptr);
    for (const Row& measured : once.Measure({{"freeze", nullptr, nullptr, freeze},
                                             {"whole-screen read", nullptr, nullptr, read},
                                             {"read, new memory", nullptr, nullptr, readNew}})) {
      if (measured.failure.empty()) medians[measured.name] = measured.median;
      Print(measured);
    }
    SelectObject(whole, old);
    DeleteObject(bitmap);
    DeleteDC(whole);
    ReleaseDC(nullptr, screen);
  }

  std::printf("\nratios of the median time per tick:\n");
  const auto ratio = [&](const char* what, const char* over, const char* under, double goal) {
    if (medians[over] <= 0 || medians[under] <= 0) return;
    std::printf("  %-24s %-18s / %-22s %5.2f  (goal <= %.2f)\n", what, over, under,
                medians[over] / medians[under], goal);
  };
  ratio("pointer overlay", "started x3", "started x3 no pointer", 1.10);
  ratio("grid, large view", "1002 x3 grid", "1002 x3", 1.15);
  ratio("stick, pointer resting", "started x3 stick", "started x3", 1.10);
  ratio("freeze / one screen read", "freeze", "whole-screen read", 1.10);
  ratio("the same, into new memory", "freeze", "read, new memory", 1.10);
  ratio("frozen / live", "started x3 frozen", "started x3", 1.0);
  ratio("the same, 1002 with grid", "1002 x3 grid frozen", "1002 x3 grid", 1.0);

  std::printf("\nwhole run: GDI objects %s, USER objects %s\n",
              Delta(gdiStart, GuiObjects(GR_GDIOBJECTS)).c_str(),
              Delta(userStart, GuiObjects(GR_USEROBJECTS)).c_str());
  std::printf(
      "(allocs: operator new calls per tick; deltas: after the rows measured together minus"
      " before them, the count after in brackets)\n");
  std::fflush(stdout);
  return 0;
}

}  // namespace
}  // namespace vimo::bench

// vimo_bench.exe [--calls] [ticks per row]  |  vimo_bench.exe --soak [ticks]
int main(int argc, char** argv) {
  int ticks = vimo::bench::kDefaultTicks;
  long long given = 0;
  bool calls = false;
  bool soak = false;
  bool usage = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--calls") {
      calls = true;
    } else if (arg == "--soak") {
      soak = true;
    } else if (std::atoll(arg.c_str()) > 0) {
      given = std::atoll(arg.c_str());
    } else {
      usage = true;
    }
  }
  if (usage || (soak && calls)) {
    std::fprintf(stderr,
                 "usage: vimo_bench.exe [--calls] [ticks per row, default %d]\n"
                 "       vimo_bench.exe --soak [ticks, default %lld]\n",
                 vimo::bench::kDefaultTicks, vimo::bench::kDefaultSoakTicks);
    return 2;
  }
  if (given > 0 && !soak) ticks = static_cast<int>(given);
  const long long soakTicks = !soak ? 0 : given > 0 ? given : vimo::bench::kDefaultSoakTicks;

  // As in main_win32.cpp; --calls puts the timing layer between the logic and the backend.
  vimo::win32::Win32ApiImpl real;
  vimo::bench::TimedApi timed(real);
  vimo::Win32Api& api = calls ? static_cast<vimo::Win32Api&>(timed) : real;
  vimo::win32::Win32Toolkit toolkit(GetModuleHandleW(nullptr));
  vimo::MainWindow app(api, toolkit);
  try {
    app.Start();
  } catch (const std::exception&) {
    if (!toolkit.HasLiveForms()) {
      std::fprintf(stderr, "vimo_bench: the main window could not be started\n");
      return 1;
    }
  }

  int result = 1;
  try {
    result = vimo::bench::Run(app, toolkit, ticks, calls ? &timed : nullptr, soakTicks);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "vimo_bench: %s\n", failure.what());
  }

  // Closed as a user closes it: the unload event, then the message loop ends.
  if (toolkit.HasLiveForms()) {
    PostMessageW(reinterpret_cast<HWND>(app.form().hWnd()), WM_CLOSE, 0, 0);
    toolkit.Run();
  }
  return result;
}
