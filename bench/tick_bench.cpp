// The 15 ms tick on the simulated desktop: time per tick, heap allocations per tick and
// the desktop's live handles around the measured ticks. The sim does its pixel work in
// plain C++, so the figures are the logic plus the sim, not what GDI costs on Windows.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "alloc_counter.h"
#include "app/main_window.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_toolkit.h"

namespace vimo::bench {
namespace {

constexpr Rect kFullHd{0, 0, 1920, 1080};
// Left of and above the window wherever it is placed, so the view never shows it.
constexpr Point kPointer{200, 200};
constexpr int kSettleTicks = 20;

// Every desktop pixel differs from its neighbours, as on a busy real desktop.
Colour Pattern(int x, int y) {
  return 0x00800000U | ((static_cast<Colour>(y) & 0x3FFU) << 12) |
         (static_cast<Colour>(x) & 0xFFFU);
}

struct Case {
  const char* name;
  int client;  // square client size in pixels; 0 keeps the window as it starts
  std::int16_t factor;
  bool grid;
  bool stick;
  bool noPointer;
  bool measure;  // locked and measuring, both points in the view
};

// Vimo started on a 1920 x 1080 simulated desktop with the arrow pointer showing.
struct SimVimo {
  SimVimo() {
    desktop.Paint(Pattern);
    desktop.SetCursorImage(sim::MakeArrowCursor(false));
    desktop.SetCursorPos(kPointer);
    app.Start();
    form = &toolkit.FindForm("frmMain");
  }

  // The start-up hint goes at its 2000th tick and changes the caption once; it is run
  // out here so the measured ticks are the steady state.
  void RunOutHint() {
    while (app.state().HintTicks > 0) app.Tick();
  }

  sim::SimDesktop desktop{{kFullHd}};
  sim::SimToolkit toolkit{desktop};
  MainWindow app{desktop, toolkit};
  sim::SimForm* form = nullptr;
};

// Brings a fresh Vimo into the case's configuration; an empty result names what failed.
std::string Prepare(SimVimo& vimo, const Case& c) {
  vimo.RunOutHint();
  if (c.client > 0) vimo.form->SetClientSize(c.client, c.client);
  if (vimo.app.state().Factor != c.factor && !vimo.form->ClickMenu("Mag", c.factor)) {
    return "the factor cannot be chosen";
  }
  if (c.grid && !vimo.form->ClickMenu("GridMen")) return "the grid cannot be switched on";
  if (c.stick && !vimo.form->ClickMenu("Stick")) return "stick to mouse cannot be switched on";
  if (c.noPointer && !vimo.form->ClickMenu("PointerMen")) return "the pointer cannot be hidden";
  if (c.measure) {
    if (!vimo.form->KeyPress(' ') || !vimo.form->ClickMenu("Meas")) return "cannot measure";
    vimo.form->MouseMove(31, 62);
    vimo.form->MouseDown(kLeftButton, 31, 62);
    vimo.form->MouseUp(kLeftButton, 31, 62);  // the click fixes the point
    vimo.form->MouseMove(100, 40);
  }
  for (int i = 0; i < kSettleTicks; ++i) vimo.app.Tick();
  return {};
}

void Tick(benchmark::State& state, const Case& c) {
  // One Vimo per case, kept over the library's repeated runs of the case: starting one
  // and running out its hint costs more than many measured ticks.
  static std::map<const Case*, std::unique_ptr<SimVimo>> started;
  std::unique_ptr<SimVimo>& vimo = started[&c];
  if (!vimo) {
    vimo = std::make_unique<SimVimo>();
    const std::string failure = Prepare(*vimo, c);
    if (!failure.empty()) {
      vimo.reset();
      state.SkipWithError(failure.c_str());
      return;
    }
  }

  MainWindow& app = vimo->app;
  const int handlesBefore = vimo->desktop.LiveHandles();
  std::uint64_t allocations = 0;
  std::uint64_t bytes = 0;
  for ([[maybe_unused]] auto _ : state) {
    const std::uint64_t a0 = AllocationCount();
    const std::uint64_t b0 = AllocatedBytes();
    app.Tick();
    allocations += AllocationCount() - a0;
    bytes += AllocatedBytes() - b0;
  }
  const int handlesAfter = vimo->desktop.LiveHandles();

  const MagnifierState& s = app.state();
  const auto ticks = static_cast<double>(state.iterations());
  state.counters["allocs_per_tick"] = static_cast<double>(allocations) / ticks;
  state.counters["alloc_bytes_per_tick"] = static_cast<double>(bytes) / ticks;
  state.counters["handles_before"] = handlesBefore;
  state.counters["handles_after"] = handlesAfter;
  state.counters["client_w"] = vimo->form->ClientWidth();
  state.counters["client_h"] = vimo->form->ClientHeight();
  state.counters["view_w"] = s.ViewWidth;
  state.counters["view_h"] = s.ViewHeight;
  state.counters["failures"] = static_cast<double>(vimo->form->Failures().size());
  state.SetItemsProcessed(state.iterations() * s.ViewWidth * s.ViewHeight);
}

// clang-format off
const Case kCases[] = {
    // name                              client factor grid   stick  noPointer measure
    {"Tick/started/x3",                  0,     3,     false, false, false,    false},
    {"Tick/started/x3/grid",             0,     3,     true,  false, false,    false},
    {"Tick/started/x3/stick",            0,     3,     false, true,  false,    false},
    {"Tick/started/x3/no_pointer",       0,     3,     false, false, true,     false},
    {"Tick/started/x3/lock_measure",     0,     3,     false, false, false,    true},
    {"Tick/1002x1002/x3",                1002,  3,     false, false, false,    false},
    {"Tick/1002x1002/x3/grid",           1002,  3,     true,  false, false,    false},
    {"Tick/1002x1002/x1",                1002,  1,     false, false, false,    false},
};
// clang-format on

}  // namespace
}  // namespace vimo::bench

int main(int argc, char** argv) {
  // A sanitizer runtime or a shared C++ library may bring its own operator new; then
  // the counts would read 0 whatever the tick does.
  const std::uint64_t before = vimo::bench::AllocationCount();
  benchmark::DoNotOptimize(std::make_unique<int>(1));
  if (vimo::bench::AllocationCount() == before) {
    std::fprintf(stderr, "tick_bench: operator new is not the counting one\n");
    return 1;
  }
  for (const vimo::bench::Case& c : vimo::bench::kCases) {
    benchmark::RegisterBenchmark(c.name, [&c](benchmark::State& state) {
      vimo::bench::Tick(state, c);
    })->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
