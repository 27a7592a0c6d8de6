// The pixel work and the work area, without an X server.
#include <gtest/gtest.h>
#include <algorithm>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/x11/x11_inverted_lines.h"
#include "platform/x11/x11_monitors.h"
#include "platform/x11/x11_pixels.h"

namespace vimo::x11 {
namespace {

constexpr std::uint32_t kBack = 0x00204060;

// A w x h target inside memory two pixels wider, so writes past a row's end show.
struct Target {
  Target(int w, int h) : memory(static_cast<std::size_t>((w + 2) * h), kBack) {
    rows = PixelRows{memory.data(), w + 2, w, h, true};
  }
  std::vector<std::uint32_t> memory;
  PixelRows rows;
};

// Each row of `expected` as letters looked up in `colours`; the two spare columns keep kBack.
void ExpectRows(const Target& target, const std::vector<std::string>& expected,
                const std::string& letters, const std::vector<std::uint32_t>& colours) {
  ASSERT_EQ(static_cast<int>(expected.size()), target.rows.height);
  for (int y = 0; y < target.rows.height; ++y) {
    const std::string& row = expected[static_cast<std::size_t>(y)];
    ASSERT_EQ(static_cast<int>(row.size()), target.rows.width);
    for (int x = 0; x < target.rows.width + 2; ++x) {
      const std::uint32_t want =
          x < target.rows.width ? colours[letters.find(row[static_cast<std::size_t>(x)])] : kBack;
      EXPECT_EQ(target.rows.Row(y)[x], want) << "at " << x << "," << y;
    }
  }
}

// Premultiplied: opaque red, half white, clear; opaque blue, half green, a quarter of
// (0x40, 0x80, 0xC0).
constexpr std::uint32_t kPointer[] = {0xFFFF0000, 0x80808080, 0x00000000,
                                      0xFF0000FF, 0x80008000, 0x40102030};
// Over kBack: 0x20 * 127 / 255 = 15.94 -> 16, 0x40 -> 32, 0x60 -> 48; at alpha 64 the
// back keeps 191 / 255: 24, 48, 72.
const std::string kLetters = "_RWBGQ";
const std::vector<std::uint32_t> kBlended = {kBack,      0x00FF0000, 0x0090A0B0,
                                             0x000000FF, 0x0010A030, 0x00285078};

TEST(X11Pixels, PointerBlendedAtItsSizeAndEnlargedAndClipped) {
  Target once(5, 4);
  BlendCursor(once.rows, kPointer, 3, 2, 1, 1, 1);
  ExpectRows(once, {"_____", "_RW__", "_BGQ_", "_____"}, kLetters, kBlended);

  // Factor 3 from (-2, -1): the first column and row of blocks are cut short.
  Target thrice(8, 6);
  BlendCursor(thrice.rows, kPointer, 3, 2, -2, -1, 3);
  ExpectRows(thrice, {"RWWW____", "RWWW____", "BGGGQQQ_", "BGGGQQQ_", "BGGGQQQ_", "________"},
             kLetters, kBlended);

  Target outside(4, 4);
  BlendCursor(outside.rows, kPointer, 3, 2, 4, -6, 2);
  ExpectRows(outside, {"____", "____", "____", "____"}, kLetters, kBlended);
}

TEST(X11Pixels, StretchTakesTheNearestSourcePixelAndClips) {
  std::vector<std::uint32_t> source = {1, 2, 3, 4, 5, 6};
  const PixelRows src{source.data(), 3, 3, 2, true};
  // 3 x 2 onto 5 x 3 from (-1, 1): columns 0 0 1 1 2, rows 0 0 1; column -1 is cut off.
  Target target(6, 5);
  StretchNearest(target.rows, -1, 1, 5, 3, src);
  const std::vector<std::uint32_t> colours = {kBack, 1, 2, 3, 4, 5, 6};
  ExpectRows(target, {"______", "1223__", "1223__", "4556__", "______"}, "_123456", colours);

  // Exactly twice: every source pixel a 2 x 2 block.
  Target twice(6, 4);
  StretchNearest(twice.rows, 0, 0, 6, 4, src);
  ExpectRows(twice, {"112233", "112233", "445566", "445566"}, "_123456", colours);

  // Every whole factor Vimo offers, from places that cut blocks short on either side:
  // target (tx, ty) shows source ((tx - x) / f, (ty - y) / f), nothing else is touched.
  std::vector<std::uint32_t> wide(7 * 3);
  for (std::size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<std::uint32_t>(i + 1);
  const PixelRows wideSrc{wide.data(), 7, 7, 3, true};
  for (int f = 1; f <= 10; ++f) {
    for (const int x : {-f - 1, -1, 0, 2, 5}) {
      Target out(7 * f - 3, 3 * f + 1);
      StretchNearest(out.rows, x, 1, 7 * f, 3 * f, wideSrc);
      for (int ty = 0; ty < out.rows.height; ++ty) {
        for (int tx = 0; tx < out.rows.width + 2; ++tx) {  // the spare columns too
          const bool inside =
              tx >= x && tx < std::min(x + 7 * f, out.rows.width) && ty >= 1 && ty < 1 + 3 * f;
          const std::uint32_t want = inside ? wide[((ty - 1) / f) * 7 + (tx - x) / f] : kBack;
          ASSERT_EQ(out.rows.Row(ty)[tx], want)
              << "factor " << f << " from " << x << " at " << tx << ", " << ty;
        }
      }
    }
  }
}

TEST(X11Monitors, WorkAreaIsTheMonitorLessThePanels) {
  const Rect left{0, 0, 1280, 1024};
  const Rect right{1280, 0, 2560, 1024};
  const long panelTop[] = {0, 30, 1280, 994};
  EXPECT_EQ(WorkAreaOf(left, panelTop), (Rect{0, 30, 1280, 1024}));
  const long bothMonitors[] = {0, 24, 2560, 976};
  EXPECT_EQ(WorkAreaOf(right, bothMonitors), (Rect{1280, 24, 2560, 1000}));
  const long overhanging[] = {-100, 0, 300, 2000};
  EXPECT_EQ(WorkAreaOf(left, overhanging), (Rect{0, 0, 200, 1024}));
  const long elsewhere[] = {2000, 0, 100, 100};
  EXPECT_EQ(WorkAreaOf(left, elsewhere), left);
  const long empty[] = {10, 10, 0, 0};
  EXPECT_EQ(WorkAreaOf(left, empty), left);
}

// Marker lines kept on the window: each step, what is inverted for the lines asked for.
TEST(InvertedLines, OnlyWhatWasCoveredOrChangedIsInvertedAndUnaskedLinesArePutAgain) {
  InvertedLines lines;
  std::vector<Rect> inverted;
  const auto settle = [&] {
    inverted.clear();
    lines.Settle([&](const Rect& r) { inverted.push_back(r); });
    return inverted;
  };
  const Rect a{5, 0, 6, 10};  // vertical
  const Rect b{0, 3, 10, 4};  // horizontal, crossing a at (5, 3)
  const Rect c{7, 0, 8, 10};
  ASSERT_TRUE(lines.Ask(a) && lines.Ask(b));
  EXPECT_EQ(settle(), (std::vector<Rect>{a, b}));
  Overdrawn put;
  lines.BeforePut(put);
  EXPECT_EQ(put.count, 0) << "asked for in the last tick: kept";
  put.Add(Rect{0, 2, 10, 5});  // rows 2 to 4 put anew, and a bit of a's foot
  put.Add(Rect{4, 8, 9, 20});
  lines.Erased(put);
  ASSERT_TRUE(lines.Ask(a) && lines.Ask(b));
  EXPECT_EQ(settle(), (std::vector<Rect>{{5, 2, 6, 5}, {5, 8, 6, 10}, b}))
      << "the same lines: only where the put covered them";
  ASSERT_TRUE(lines.Ask(a) && lines.Ask(b));
  EXPECT_TRUE(settle().empty()) << "nothing covered, nothing changed: nothing drawn";

  lines.Erased(Overdrawn{.rects = {Rect{0, 0, 10, 1}}, .count = 1});
  ASSERT_TRUE(lines.Ask(c));
  EXPECT_EQ(settle(), (std::vector<Rect>{{5, 1, 6, 10}, {0, 3, 10, 4}, c}))
      << "other lines: what still shows of the old ones inverted back, the new ones drawn";
  put = Overdrawn{};
  lines.BeforePut(put);
  lines.BeforePut(put);  // a tick that asked for no line
  ASSERT_EQ(put.count, 1);
  EXPECT_EQ(put.rects[0], c) << "put again from the view";
  EXPECT_TRUE(settle().empty());

  EXPECT_FALSE(lines.Ask(Rect{0, 0, 2, 2})) << "not a straight line";
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(lines.Ask(Rect{i, 0, i + 1, 4}));
  EXPECT_FALSE(lines.Ask(a)) << "too many";
  lines.Erased(Overdrawn{.all = true});
  EXPECT_EQ(settle().size(), 8U);
  lines.Forget();
  EXPECT_FALSE(lines.Pending());
  lines.BeforePut(put);
  EXPECT_EQ(put.count, 1) << "nothing shown any more";
}

}  // namespace
}  // namespace vimo::x11
