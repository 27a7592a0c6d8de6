// The screen cast's pixel work and pointer, without a desktop: monitors over memory of
// the test's own, as the streams' frames would be.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/wayland/cast_screen.h"
#include "platform/wayland/cast_start.h"
#include "platform/wayland/portal.h"

namespace vimo::wayland {
namespace {

// A frame of w x h pixels, each its own colour (x, y and `tag` in its bytes), rows
// `pad` pixels longer than the frame so that a wrong stride shows.
struct Frame {
  Frame(int w, int h, std::uint32_t tag, int pad = 3)
      : tag(tag), stride(w + pad), pixels(static_cast<std::size_t>(stride * h), 0xFFFFFFFFU) {
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) pixels[static_cast<std::size_t>(y * stride + x)] = At(x, y);
    }
  }
  std::uint32_t At(int x, int y) const {
    return 0xAA000000U | tag << 16 | static_cast<std::uint32_t>(y) << 8 |
           static_cast<std::uint32_t>(x);
  }
  CastMonitor Monitor(Point origin, int w, int h) const {
    return {.origin = origin,
            .width = w,
            .height = h,
            .pixels = reinterpret_cast<const std::uint8_t*>(pixels.data()),
            .stride = static_cast<std::ptrdiff_t>(stride) * 4,
            .frameWidth = w,
            .frameHeight = h};
  }
  std::uint32_t tag;
  int stride;
  std::vector<std::uint32_t> pixels;
};

TEST(CastScreen, AreaComesFromTheMonitorsHoldingItAndIsBlackElsewhere) {
  const Frame left(4, 3, 1);
  const Frame right(3, 2, 2);
  CastScreen cast;
  cast.Monitors().push_back(left.Monitor({-4, 0}, 4, 3));
  cast.Monitors().push_back(right.Monitor({0, 1}, 3, 2));
  cast.Monitors().push_back({.origin = {3, 0}, .width = 2, .height = 2});  // no frame yet
  EXPECT_EQ(cast.Desktop(), (Rect{-4, 0, 5, 3}));

  // (-2, 0) to (3, 3), into rows one pixel wider than asked: the spare column is kept.
  std::vector<std::uint32_t> out(static_cast<std::size_t>(6 * 3), 0x12345678U);
  cast.CopyInto(Rect{-2, 0, 3, 3}, PixelRows{out.data(), 6, 5, 3, true});
  for (int y = 0; y < 3; ++y) {
    for (int x = -2; x < 4; ++x) {  // the left monitor, the right one from row 1, black
      const std::uint32_t want = x == 3   ? 0x12345678U
                                 : x < 0  ? left.At(x + 4, y)
                                 : y >= 1 ? right.At(x, y - 1)
                                          : 0U;
      EXPECT_EQ(out[static_cast<std::size_t>(y * 6 + x + 2)], want) << x << "," << y;
    }
  }

  // Inside one monitor: only its pixels, the rows a smaller target has.
  std::vector<std::uint32_t> two(2, 0U);
  cast.CopyInto(Rect{-3, 2, 0, 3}, PixelRows{two.data(), 2, 2, 1, true});
  EXPECT_EQ(two, (std::vector<std::uint32_t>{left.At(1, 2), left.At(2, 2)}));

  EXPECT_EQ(cast.Pixel({-1, 2}), left.At(3, 2) & 0xFFFFFFU);
  EXPECT_EQ(cast.Pixel({2, 2}), right.At(2, 1) & 0xFFFFFFU);
  EXPECT_EQ(cast.Pixel({1, 0}), std::nullopt) << "between the monitors";
  EXPECT_EQ(cast.Pixel({3, 0}), std::nullopt) << "before the monitor's first frame";
  EXPECT_EQ(cast.Pixel({-5, 0}), std::nullopt);

  // A frame smaller than its monitor (a new size on the way) shows as far as it reaches.
  cast.Monitors()[1].frameWidth = 2;
  EXPECT_EQ(cast.Pixel({2, 2}), std::nullopt);
  EXPECT_EQ(cast.Pixel({1, 2}), right.At(1, 1) & 0xFFFFFFU);
  const std::uint64_t version = cast.Version();
  cast.Changed();
  EXPECT_NE(cast.Version(), version);
}

TEST(CastScreen, PointerIsTheHotSpotOnTheDesktopAndItsImagePremultipliedArgb) {
  CastScreen cast;
  cast.Monitors().push_back({.origin = {-1280, 100}, .width = 1280, .height = 1024});
  EXPECT_FALSE(cast.Pointer().known);
  cast.PointerAt(1, {5, 5}, {1, 1});  // no such monitor
  EXPECT_FALSE(cast.Pointer().known);
  cast.PointerAt(0, {10, 20}, {4, 3});
  EXPECT_TRUE(cast.Pointer().known);
  EXPECT_EQ(cast.Pointer().at, (Point{-1270, 120}));
  EXPECT_EQ(cast.Pointer().hotSpot, (Point{4, 3}));

  // Two pixels a row and a spare byte group: opaque red, half-covered white.
  const std::uint8_t rgba[] = {255, 0, 0, 255, 128, 128, 128, 128, 9, 9, 9, 9};
  Handle id = cast.Pointer().id;
  cast.PointerImage(rgba, 2, 1, 12, ImageBytes::kRgba, true);
  EXPECT_NE(cast.Pointer().id, id);
  EXPECT_EQ(cast.Pointer().width, 2);
  EXPECT_EQ(cast.Pointer().argb[0], 0xFFFF0000U);
  EXPECT_EQ(cast.Pointer().argb[1], 0x80808080U);

  // Straight alpha is multiplied in, rounded; each byte order has its own places.
  const std::uint8_t bgra[] = {255, 0, 200, 128, 10, 20, 30, 0};
  cast.PointerImage(bgra, 1, 2, 4, ImageBytes::kBgra, false);
  EXPECT_EQ(cast.Pointer().argb[0], 0x80640080U);  // 200 * 128 / 255 = 100.4, 255 -> 128
  EXPECT_EQ(cast.Pointer().argb[1], 0x00000000U);
  const std::uint8_t argb[] = {255, 1, 2, 3};
  cast.PointerImage(argb, 1, 1, 4, ImageBytes::kArgb, true);
  EXPECT_EQ(cast.Pointer().argb[0], 0xFF010203U);
  cast.PointerImage(argb, 1, 1, 4, ImageBytes::kAbgr, true);
  EXPECT_EQ(cast.Pointer().argb[0], 0xFF030201U);

  id = cast.Pointer().id;
  cast.PointerImage(nullptr, 0, 0, 0, ImageBytes::kRgba, true);  // hidden
  EXPECT_EQ(cast.Pointer().width, 0);
  EXPECT_EQ(cast.Pointer().height, 0);
  EXPECT_NE(cast.Pointer().id, id);
}

// The restore token: kept in the state folder, made as needed; read back only as one
// line of printable characters; a file holding it already is not written again.
TEST(CastStart, TokenIsKeptInTheStateFolderAndReadBackOnlyWhenSound) {
  namespace fs = std::filesystem;
  const fs::path home = fs::temp_directory_path() / ("vimo-token-" + std::to_string(getpid()));
  fs::remove_all(home);
  setenv("XDG_STATE_HOME", (home.string() + "/state/").c_str(), 1);
  const std::string path = TokenPath();
  EXPECT_EQ(path, home.string() + "/state/vimo/screencast-token");
  EXPECT_EQ(ReadToken(path), "");
  ASSERT_TRUE(KeepToken(path, "32588801-bc7d-47f7"));
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "32588801-bc7d-47f7\n");
  EXPECT_EQ(fs::status(home / "state/vimo").permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(ReadToken(path), "32588801-bc7d-47f7");
  const fs::file_time_type yesterday = fs::last_write_time(path) - std::chrono::hours(24);
  fs::last_write_time(path, yesterday);
  ASSERT_TRUE(KeepToken(path, "32588801-bc7d-47f7"));
  EXPECT_EQ(fs::last_write_time(path), yesterday) << "the same token is not written again";
  for (const char* bad : {"two words\n", "caf\xc3\xa9\n", "\n"}) {
    std::ofstream(path, std::ios::binary) << bad;
    EXPECT_EQ(ReadToken(path), "") << bad;
  }
  fs::remove(path);
  fs::create_directory(path);  // a folder where the file should be: nothing to keep it in
  EXPECT_FALSE(KeepToken(path, "abc"));
  unsetenv("XDG_STATE_HOME");
  const std::string user = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
  setenv("HOME", home.c_str(), 1);
  EXPECT_EQ(TokenPath(), home.string() + "/.local/state/vimo/screencast-token");
  setenv("HOME", user.c_str(), 1);
  fs::remove_all(home);
}

}  // namespace
}  // namespace vimo::wayland
