// vimo_bench (Linux): the 15 ms tick of the native X11 backend. Vimo is put together as
// build/linux/vimo puts it together, its window comes up, and then MainWindow::Tick() is
// called directly, many times in a row, for a few window configurations. Beside the
// ticks run "bare" rows: one XShmGetImage of the captured area's size and one
// XShmPutImage of the view's size onto Vimo's window, nothing else, the least any
// magnifier has to do per frame. The screen stands still, except in the rows "changing",
// where the captured area is filled with a new colour before every frame (tick and bare
// alike). Each row prints the median and 95th percentile time,
// the operator new calls and the mallocs (C, GLib and X libraries included) per tick.
// Last, the freeze command's one read of the whole screen into the still picture (the
// system call the logic makes, BitBlt from the screen) beside one bare read of the whole
// screen into shared memory; the view and captured columns of those rows are the tick's.
//
// On a Wayland desktop (WAYLAND_DISPLAY set, Xwayland on DISPLAY) Vimo reads the screen
// cast as build/linux/vimo does, and only the tick rows run: the bare rows would read
// Xwayland's root window, which is not the screen there. In "changing" the desktop
// composites the new colour and casts it a moment later: the ticks take the frames as
// they come.
//
// Configurations that are compared run their batches in turns, so that the machine's
// changing load falls on all of them alike and the ratios between them hold.
//
// With --soak the window instead runs 100,000 ticks (or the given number) with grid,
// stick to mouse and the pointer overlay on, the pointer resting and moving, and prints
// the process's resident memory, the X resources the server holds for it and the
// allocations inside the ticks, before and after.
#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "alloc_counter.h"
#include "app/main_window.h"
#include "malloc_counter.h"
#include "platform/wayland/cast_start.h"
#include "platform/win32_constants.h"
#include "platform/x11/gtk_form.h"
#include "platform/x11/gtk_toolkit.h"
#include "platform/x11/x11_api.h"
#include "platform/x11/x11_image.h"
#include "rows.h"
#include "soak_path.h"

namespace vimo::bench {
namespace {

constexpr int kDefaultTicks = 2000;
constexpr long long kDefaultSoakTicks = 100000;
constexpr int kLargeClient = 1002;
// Left of and above the window wherever it is placed, so the view never shows it.
constexpr Point kPointer{200, 200};

double NowUs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// Handles the events waiting, for at most 100 ms.
void Pump() {
  const double end = NowUs() + 100000.0;
  while (NowUs() < end && gtk_events_pending() != FALSE) gtk_main_iteration_do(FALSE);
}

// Runs the main loop for about `ms` milliseconds.
void PumpFor(int ms) {
  const double end = NowUs() + ms * 1000.0;
  while (NowUs() < end) {
    if (gtk_events_pending() != FALSE) {
      gtk_main_iteration_do(FALSE);
    } else {
      g_usleep(1000);
    }
  }
}

Display* XDisplay() { return gdk_x11_display_get_xdisplay(gdk_display_get_default()); }

// As a hand moves it (XTest): the X server reports raw motion, which tells Vimo that the
// pointer moved (a warp would go unseen for up to 100 ms).
void MovePointer(Point at) {
  Display* display = XDisplay();
  XTestFakeMotionEvent(display, -1, at.x, at.y, 0);
  XSync(display, False);
}

// The process's resident memory in KiB.
long ResidentKb() {
  long pages = -1;
  long resident = -1;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = -1;
    std::fclose(statm);
  }
  return resident < 0 ? -1 : resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The resources (windows, pixmaps, GCs, shared-memory segments, ...) the X server holds
// for the client that made `own`, all kinds added up; -1 where the server cannot say.
long XResources(Window own) {
  Display* display = XDisplay();
  int events = 0;
  int errors = 0;
  if (XResQueryExtension(display, &events, &errors) == False) return -1;
  int clients = 0;
  XResClient* list = nullptr;
  if (XResQueryClients(display, &clients, &list) == 0) return -1;
  long total = -1;
  for (int i = 0; i < clients; ++i) {
    if ((own & ~list[i].resource_mask) != list[i].resource_base) continue;
    int types = 0;
    XResType* counts = nullptr;
    if (XResQueryClientResources(display, list[i].resource_base, &types, &counts) != 0) {
      total = 0;
      for (int t = 0; t < types; ++t) total += static_cast<long>(counts[t].count);
      XFree(counts);
    }
  }
  XFree(list);
  return total;
}

struct Row {
  std::string name;
  int viewW = 0;
  int viewH = 0;
  int srcW = 0;
  int srcH = 0;
  double median = 0;
  double p95 = 0;
  double mean = 0;
  double newsPerTick = 0;
  double mallocsPerTick = 0;
  std::string failure;
};

// A row: the commands that switch its configuration on and off, and the frame it times
// (the tick unless given).
struct Config {
  const char* name;
  std::function<void()> on;
  std::function<void()> off;
  std::function<void()> frame;
};

class Bench {
 public:
  Bench(MainWindow& app, int ticks) : app_(app), ticks_(ticks) {}

  std::vector<Row> Measure(const std::vector<Config>& configs) {
    std::vector<Row> rows(configs.size());
    std::vector<std::vector<double>> samples(configs.size());
    std::vector<std::uint64_t> news(configs.size(), 0);
    std::vector<std::uint64_t> mallocs(configs.size(), 0);
    for (std::size_t c = 0; c < configs.size(); ++c) {
      rows[c].name = configs[c].name;
      samples[c].reserve(static_cast<std::size_t>(ticks_));
    }
    try {
      for (int done = 0; done < ticks_; done += kBatch) {
        const int batch = std::min(kBatch, ticks_ - done);
        for (std::size_t c = 0; c < configs.size(); ++c) {
          if (configs[c].on) configs[c].on();
          const auto frame = configs[c].frame ? configs[c].frame : [this] { app_.Tick(); };
          for (int i = 0; i < kSettleTicks; ++i) frame();
          Pump();
          for (int i = 0; i < batch; ++i) {
            const std::uint64_t n0 = AllocationCount();
            const std::uint64_t m0 = MallocCount();
            const double t0 = NowUs();
            frame();
            const double t1 = NowUs();
            mallocs[c] += MallocCount() - m0;
            news[c] += AllocationCount() - n0;
            samples[c].push_back(t1 - t0);
          }
          Pump();
          const MagnifierState& s = app_.state();
          rows[c].viewW = s.ViewWidth;
          rows[c].viewH = s.ViewHeight;
          rows[c].srcW = s.SrcWidth;
          rows[c].srcH = s.SrcHeight;
          if (configs[c].off) configs[c].off();
        }
      }
    } catch (const std::exception& failure) {
      for (Row& row : rows) row.failure = failure.what();
      return rows;
    }
    for (std::size_t c = 0; c < configs.size(); ++c) {
      Row& row = rows[c];
      const Spread spread = SpreadOf(samples[c]);
      row.median = spread.median;
      row.p95 = spread.p95;
      row.mean = spread.mean;
      row.newsPerTick = static_cast<double>(news[c]) / ticks_;
      row.mallocsPerTick = static_cast<double>(mallocs[c]) / ticks_;
    }
    return rows;
  }

 private:
  MainWindow& app_;
  int ticks_;
};

void Print(const Row& row) {
  if (!row.failure.empty()) {
    std::printf("%-24s failed: %s\n", row.name.c_str(), row.failure.c_str());
    return;
  }
  char view[24];
  char source[24];
  std::snprintf(view, sizeof(view), "%dx%d", row.viewW, row.viewH);
  std::snprintf(source, sizeof(source), "%dx%d", row.srcW, row.srcH);
  std::printf("%-24s %-10s %-10s %10.1f %10.1f %10.1f %8.3f %8.3f\n", row.name.c_str(), view,
              source, row.median, row.p95, row.mean, row.newsPerTick, row.mallocsPerTick);
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
  PumpFor(200);
}

// The least a frame of this view can cost: the captured area read into shared memory,
// and an image of the view's size put onto Vimo's window; the same sizes and places as
// the tick's, without the enlargement, the pointer, the grid or the window's move.
class BareFrame {
 public:
  explicit BareFrame(MainWindow& app)
      : app_(app), display_(XDisplay()), capture_(display_), view_(display_) {
    window_ = static_cast<Window>(app.form().hWnd());
    gc_ = XCreateGC(display_, window_, 0, nullptr);
  }
  ~BareFrame() { XFreeGC(display_, gc_); }
  BareFrame(const BareFrame&) = delete;
  BareFrame& operator=(const BareFrame&) = delete;

  // The sizes of the view as it is now.
  void Follow() {
    const MagnifierState& s = app_.state();
    capture_.Resize(s.SrcWidth, s.SrcHeight);
    view_.Resize(s.ViewWidth, s.ViewHeight);
  }
  void Frame() {
    const MagnifierState& s = app_.state();
    capture_.Read(DefaultRootWindow(display_), s.SrcX, s.SrcY);
    view_.Put(window_, gc_, 0, 0, 1, 1, view_.Width(), view_.Height());
  }

 private:
  MainWindow& app_;
  Display* display_;
  x11::X11Image capture_;
  x11::X11Image view_;
  Window window_ = 0;
  GC gc_ = nullptr;
};

// The screen under the view changing every frame: the captured area of the root window
// filled with a new colour, so that every row of the view is new. The fill goes before
// the frame, in the same row of tick and bare alike.
class ChangingScreen {
 public:
  explicit ChangingScreen(MainWindow& app) : app_(app), display_(XDisplay()) {
    gc_ = XCreateGC(display_, DefaultRootWindow(display_), 0, nullptr);
  }
  ~ChangingScreen() { XFreeGC(display_, gc_); }
  ChangingScreen(const ChangingScreen&) = delete;
  ChangingScreen& operator=(const ChangingScreen&) = delete;

  void Change() {
    const MagnifierState& s = app_.state();
    colour_ = (colour_ + 0x010305) & 0xFFFFFF;
    XSetForeground(display_, gc_, colour_);
    XFillRectangle(display_, DefaultRootWindow(display_), gc_, s.SrcX, s.SrcY,
                   static_cast<unsigned>(s.SrcWidth), static_cast<unsigned>(s.SrcHeight));
  }

 private:
  MainWindow& app_;
  Display* display_;
  GC gc_ = nullptr;
  unsigned long colour_ = 0x204060;
};

int Soak(MainWindow& app, long long ticks) {
  Command(app, "GridMen");
  Command(app, "Stick");
  std::uint64_t news = 0;
  std::uint64_t mallocs = 0;
  const auto run = [&](long long n) {
    for (long long i = 0; i < n; ++i) {
      if (i % 8 == 0) {
        const Point offset = SoakOffset(i);
        MovePointer({kPointer.x + offset.x, kPointer.y + offset.y});
      }
      const std::uint64_t n0 = AllocationCount();
      const std::uint64_t m0 = MallocCount();
      app.Tick();
      mallocs += MallocCount() - m0;
      news += AllocationCount() - n0;
      if ((i + 1) % kBatch == 0) Pump();
    }
    Pump();
  };
  run(3200);  // a first round of the square: everything made once is made before counting
  news = 0;
  mallocs = 0;
  const Window own = static_cast<Window>(app.form().hWnd());
  const long residentBefore = ResidentKb();
  const long resourcesBefore = XResources(own);
  const double start = NowUs();
  run(ticks);
  const double seconds = (NowUs() - start) / 1e6;
  std::printf(
      "soak: %lld ticks of the started window (3x, grid, stick, pointer), %.1f s,"
      " %.1f us per tick\n",
      ticks, seconds, seconds * 1e6 / static_cast<double>(ticks));
  std::printf("  X resources held for Vimo %s, resident memory KiB %s\n",
              Delta(resourcesBefore, XResources(own)).c_str(),
              Delta(residentBefore, ResidentKb()).c_str());
  std::printf("  inside the ticks: %llu operator new calls, %llu mallocs\n",
              static_cast<unsigned long long>(news), static_cast<unsigned long long>(mallocs));
  std::fflush(stdout);
  return 0;
}

int Run(MainWindow& app, Toolkit& toolkit, x11::X11Api& api, int ticks, long long soakTicks,
        bool cast) {
  PumpFor(1000);  // the window comes up and paints
  MovePointer(kPointer);
  PumpFor(200);

  // The start-up hint leaves the caption at its 2000th tick; those first ticks are run
  // here, so that the measured ones are the steady state.
  int warmTicks = 0;
  while (app.state().HintTicks > 0) {
    app.Tick();
    if (++warmTicks % kBatch == 0) Pump();
  }
  Pump();

  Display* display = XDisplay();
  int major = 0;
  int minor = 0;
  Bool pixmaps = False;
  const bool shm = XShmQueryVersion(display, &major, &minor, &pixmaps) != False;
  std::printf("vimo_bench: %s of MainWindow::Tick, native X11 backend (%s), X server %s %d%s\n",
              soakTicks > 0 ? "soak" : "direct calls", shm ? "MIT-SHM" : "no MIT-SHM",
              ServerVendor(display), VendorRelease(display),
              cast ? ", the screen from the desktop's screen cast (PipeWire)" : "");
  std::printf("screen %dx%d, %.1f twips per pixel, pointer at (%d, %d)\n\n",
              DisplayWidth(display, DefaultScreen(display)),
              DisplayHeight(display, DefaultScreen(display)),
              static_cast<double>(toolkit.GetScreen().TwipsPerPixelX()), kPointer.x, kPointer.y);
  if (soakTicks > 0) return Soak(app, soakTicks);

  std::printf("%d frames per row\n%-24s %-10s %-10s %10s %10s %10s %8s %8s\n", ticks,
              "configuration", "view", "captured", "median us", "p95 us", "mean us", "new",
              "malloc");
  std::fflush(stdout);

  Bench bench(app, ticks);
  std::map<std::string, double> medians;
  const auto measure = [&](std::vector<Config> configs, Bench* with = nullptr) {
    if (cast) {
      std::erase_if(configs, [](const Config& c) {
        const std::string name = c.name;
        return name.starts_with("bare");
      });
    }
    for (const Row& measured : (with != nullptr ? *with : bench).Measure(configs)) {
      if (measured.failure.empty()) medians[measured.name] = measured.median;
      Print(measured);
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
  BareFrame bare(app);
  const auto bareRow = [&](const char* name, std::function<void()> on, std::function<void()> off) {
    return Config{name,
                  [&bare, on] {
                    if (on) on();
                    bare.Follow();
                  },
                  off, [&bare] { bare.Frame(); }};
  };

  measure({{"started x3", nullptr, nullptr, nullptr},
           bareRow("bare started x3", nullptr, nullptr),
           {"started x3 no pointer", toggle("PointerMen"), toggle("PointerMen"), nullptr},
           {"started x3 stick", toggle("Stick"), toggle("Stick"), nullptr},
           {"started x3 frozen", freeze, freeze, nullptr}});

  // Right of the pointer, clear of it, and grown to about 1000 x 1000.
  const float tppX = toolkit.GetScreen().TwipsPerPixelX();
  app.form().SetLeft(static_cast<float>(kPointer.x + 400) * tppX);
  app.form().SetTop(0);
  SetClientSize(app, toolkit, kLargeClient, kLargeClient);
  ChangingScreen changing(app);
  measure({{"1002 x3", nullptr, nullptr, nullptr},
           {"1002 x3 grid", toggle("GridMen"), toggle("GridMen"), nullptr},
           bareRow("bare 1002 x3", nullptr, nullptr),
           {"1002 x3 grid frozen",
            [&] {
              Command(app, "GridMen");
              freeze();
            },
            [&] {
              freeze();
              Command(app, "GridMen");
            },
            nullptr},
           {"1002 x3 grid changing", toggle("GridMen"), toggle("GridMen"),
            [&app, &changing] {
              changing.Change();
              app.Tick();
            }},
           {"bare 1002 x3 changing", [&bare] { bare.Follow(); }, nullptr,
            [&bare, &changing] {
              changing.Change();
              bare.Frame();
            }}});
  Command(app, "Mag", 1);
  measure({{"1002 x1", nullptr, nullptr, nullptr}, bareRow("bare 1002 x1", nullptr, nullptr)});

  // A tenth as many: each is a read of the whole screen.
  const int deskW = api.GetSystemMetrics(win::SM_CXVIRTUALSCREEN);
  const int deskH = api.GetSystemMetrics(win::SM_CYVIRTUALSCREEN);
  // The freeze as Vimo makes it: the still picture sized to the screen, the screen into
  // it, the picture let go again.
  PictureBox& still = app.form().Picture("StillPic");
  x11::X11Image whole(display);
  Bench once(app, std::max(50, ticks / 10));
  if (whole.Resize(deskW, deskH)) {
    const Handle screen = api.GetDC(api.GetDesktopWindow());
    measure({{"freeze", nullptr, nullptr,
              [&] {
                still.SetWidth(static_cast<float>(deskW));
                still.SetHeight(static_cast<float>(deskH));
                api.BitBlt(still.hDC(), 0, 0, deskW, deskH, screen,
                           api.GetSystemMetrics(win::SM_XVIRTUALSCREEN),
                           api.GetSystemMetrics(win::SM_YVIRTUALSCREEN), win::SRCCOPY);
                still.SetWidth(1.0F);
                still.SetHeight(1.0F);
              }},
             {"bare whole-screen read", nullptr, nullptr,
              [&] { whole.Read(DefaultRootWindow(display), 0, 0); }},
             // The same into memory just made, as a freeze's picture is: the first touch
             // of its pages is most of the cost.
             {"bare read, new memory", nullptr, nullptr,
              [&] {
                x11::X11Image fresh(display);
                if (fresh.Resize(deskW, deskH)) fresh.Read(DefaultRootWindow(display), 0, 0);
              }}},
            &once);
  }

  std::printf("\nratios of the median time per frame:\n");
  const auto ratio = [&](const char* what, const char* over, const char* under, double goal) {
    if (medians[over] <= 0 || medians[under] <= 0) return;
    std::printf("  %-28s %-16s / %-18s %5.2f  (goal <= %.2f)\n", what, over, under,
                medians[over] / medians[under], goal);
  };
  ratio("tick / bare, default size", "started x3", "bare started x3", 1.2);
  ratio("tick / bare, 1002 with grid", "1002 x3 grid", "bare 1002 x3", 1.5);
  ratio("tick / bare, 1002 at 1 X", "1002 x1", "bare 1002 x1", 1.5);
  ratio("the same, every pixel new", "1002 x3 grid changing", "bare 1002 x3 changing", 1.5);
  ratio("pointer overlay", "started x3", "started x3 no pointer", 1.10);
  ratio("grid, large view", "1002 x3 grid", "1002 x3", 1.15);
  ratio("stick, pointer resting", "started x3 stick", "started x3", 1.10);
  ratio("freeze / one screen read", "freeze", "bare whole-screen read", 1.10);
  ratio("the same, into new memory", "freeze", "bare read, new memory", 1.10);
  ratio("frozen / live tick", "started x3 frozen", "started x3", 1.0);
  ratio("the same, 1002 with grid", "1002 x3 grid frozen", "1002 x3 grid", 1.0);
  std::printf(
      "(new: operator new calls per frame; malloc: mallocs per frame anywhere in the process,"
      " X and GTK libraries included)\n");
  std::fflush(stdout);
  return 0;
}

}  // namespace
}  // namespace vimo::bench

// vimo_bench [frames per row]  |  vimo_bench --soak [ticks]
int main(int argc, char** argv) {
  int ticks = vimo::bench::kDefaultTicks;
  long long given = 0;
  bool soak = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--soak") {
      soak = true;
    } else if (std::atoll(arg.c_str()) > 0) {
      given = std::atoll(arg.c_str());
    } else {
      std::fprintf(stderr,
                   "usage: vimo_bench [frames per row, default %d]\n"
                   "       vimo_bench --soak [ticks, default %lld]\n",
                   vimo::bench::kDefaultTicks, vimo::bench::kDefaultSoakTicks);
      return 2;
    }
  }
  if (given > 0 && !soak) ticks = static_cast<int>(given);
  const long long soakTicks = !soak ? 0 : given > 0 ? given : vimo::bench::kDefaultSoakTicks;

  // As in main_linux.cpp.
  setenv("GDK_BACKEND", "x11", 1);
  setenv("GDK_SCALE", "1", 1);
  setenv("GDK_DPI_SCALE", "1", 1);
  if (gtk_init_check(&argc, &argv) == FALSE) {
    std::fprintf(stderr, "vimo_bench: cannot open the X display\n");
    return 1;
  }
  int result = 1;
  {
    vimo::wayland::Portal portal;
    std::unique_ptr<vimo::wayland::PipeWireCast> cast;
    if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland != nullptr && *wayland) {
      std::string failure;
      cast = vimo::wayland::StartCast(portal, &failure);
      if (cast == nullptr) {
        std::fprintf(stderr, "vimo_bench: %s\n", failure.c_str());
        return 3;
      }
    }
    vimo::x11::GkToolkit toolkit;
    vimo::x11::X11Api api(toolkit.XDisplay(), toolkit, cast.get());
    gdk_window_add_filter(
        nullptr,
        [](GdkXEvent* xevent, GdkEvent*, gpointer data) {
          auto* system = static_cast<vimo::x11::X11Api*>(data);
          return system->HandleEvent(*static_cast<XEvent*>(xevent)) ? GDK_FILTER_REMOVE
                                                                    : GDK_FILTER_CONTINUE;
        },
        &api);
    {
      vimo::MainWindow app(api, toolkit);
      try {
        app.Start();
        result = vimo::bench::Run(app, toolkit, api, ticks, soakTicks, cast != nullptr);
      } catch (const std::exception& failure) {
        std::fprintf(stderr, "vimo_bench: %s\n", failure.what());
      }
      toolkit.CloseAll();
    }
  }
  return result;
}
