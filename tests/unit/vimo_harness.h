// Vimo started on a simulated desktop: the window, its state and what it shows.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_toolkit.h"

namespace vimo::test {

inline constexpr Rect kFullHd{0, 0, 1920, 1080};

// Every desktop pixel has its own colour near its neighbours: blue 0x80..0xBF, so a
// pattern pixel is never black, the button face or the light grey grid.
inline Colour Pattern(int x, int y) {
  return 0x00800000U | ((static_cast<Colour>(y) & 0x3FFU) << 12) |
         (static_cast<Colour>(x) & 0xFFFU);
}

// "#RRGGBB" of a desktop pixel.
inline std::string Hex(Colour c) {
  char text[8];
  std::snprintf(text, sizeof(text), "#%02X%02X%02X", c & 0xFFU, (c >> 8) & 0xFFU,
                (c >> 16) & 0xFFU);
  return text;
}

class Vimo {
 public:
  explicit Vimo(std::vector<Rect> monitors = {kFullHd}) : desktop(std::move(monitors)) {
    desktop.Paint(Pattern);
    desktop.SetCurrentCursor(0);  // no pointer unless a test sets one
    desktop.SetCursorPos({500, 300});
  }

  // Loads and shows the window, as a start of the program does.
  sim::SimForm& Start() {
    app.Start();
    form = &toolkit.FindForm("frmMain");
    return *form;
  }

  // A small view, for tests that run thousands of ticks.
  void Shrink() { form->SetClientSize(32, 32); }

  // The pointer moves to a client point and the left button goes down and up there.
  void LeftClick(int x, int y) {
    form->MouseMove(x, y);
    form->MouseDown(kLeftButton, x, y);
    form->MouseUp(kLeftButton, x, y);
  }

  void Ticks(int n) {
    for (int i = 0; i < n; ++i) form->Tick();
  }

  MagnifierState& s() { return app.state(); }
  Colour Client(int x, int y) const { return form->ClientPixel(x, y); }
  MenuNode& Menu(std::string_view name) { return form->Menu(name); }
  MenuItem& Mag(std::int16_t i) { return form->MenuArray("Mag").Item(i); }

  sim::SimDesktop desktop;
  sim::SimToolkit toolkit{desktop};
  MainWindow app{desktop, toolkit};
  sim::SimForm* form = nullptr;
};

// Vimo started on the default desktop, nothing set before the start.
struct Running : Vimo {
  Running() { Start(); }
};

// Vimo started with the arrow pointer showing, for what the pointer over the window does.
class Started : public testing::Test {
 protected:
  void SetUp() override {
    form = &v.Start();
    v.desktop.SetCurrentCursor(v.desktop.RegisterCursor(sim::MakeArrowCursor(false)));
    v.Ticks(1);
  }
  void PointAt(int x, int y) {  // a client point
    const Rect client = v.form->Window().ClientRect();
    v.desktop.SetCursorPos({client.left + x, client.top + y});
  }
  Vimo v;
  sim::SimForm* form = nullptr;
  sim::SimClipboard& board = v.desktop.Clipboard();
};

// Checks the view: the desktop from (srcX, srcY) enlarged `factor` times over viewW x viewH
// client pixels from (1, 1), in the black frame at column and row 0 and just past the view.
// With the grid, the frame's far sides lie on the view's last column and row, and the
// columns and rows at multiples of the factor are light grey. `screen` gives the desktop's
// pixels where they are not the simulated desktop's present ones.
inline ::testing::AssertionResult ShowsMagnified(const Vimo& v, int srcX, int srcY, int factor,
                                                 int viewW, int viewH, bool grid = false,
                                                 Colour (*screen)(int, int) = nullptr) {
  const int right = grid ? viewW : viewW + 1, bottom = grid ? viewH : viewH + 1;
  for (int y = 0; y <= bottom; ++y) {
    for (int x = 0; x <= right; ++x) {
      const int sx = srcX + (x - 1) / factor, sy = srcY + (y - 1) / factor;
      Colour want = screen != nullptr ? screen(sx, sy) : v.desktop.Pixel(sx, sy);
      if (x == 0 || y == 0 || x == right || y == bottom) {
        want = 0;
      } else if (grid && (x % factor == 0 || y % factor == 0)) {
        want = 0xC0C0C0;
      }
      const Colour got = v.Client(x, y);
      if (got != want) {
        return ::testing::AssertionFailure() << "client (" << x << ", " << y << ") is 0x"
                                             << std::hex << got << ", expected 0x" << want;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace vimo::test
