// The simulated desktop itself: the machinery the logic's tests stand on.
#include "platform/sim/sim_desktop.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/toolkit.h"
#include "platform/win32_constants.h"

namespace vimo::sim {
namespace {

constexpr Colour kFill = 0x00ABCDEF;

// A left monitor above-left of the primary one: x -80..-1, y -10..49. Screen points with
// x >= 0 and y < 0, or x < 0 and y >= 50, lie on no monitor.
const std::vector<Rect> kTwoMonitors{{-80, -10, 0, 50}, {0, 0, 128, 96}};

// A colour unique to each screen point of the two monitors.
Colour Code(int x, int y) {
  return static_cast<Colour>((x + 1000) & 0xFFF) | (static_cast<Colour>((y + 1000) & 0xFFF) << 12);
}

class SimDesktopTest : public ::testing::Test {
 protected:
  SimDesktopTest() : desk(kTwoMonitors) { desk.Paint(Code); }
  SimDesktop desk;
};

TEST_F(SimDesktopTest, MetricsDescribeTheVirtualScreenAndAreCounted) {
  EXPECT_EQ(desk.GetSystemMetrics(win::SM_XVIRTUALSCREEN), -80);
  EXPECT_EQ(desk.GetSystemMetrics(win::SM_YVIRTUALSCREEN), -10);
  EXPECT_EQ(desk.GetSystemMetrics(win::SM_CXVIRTUALSCREEN), 208);
  EXPECT_EQ(desk.GetSystemMetrics(win::SM_CYVIRTUALSCREEN), 106);
  EXPECT_EQ(desk.GetSystemMetrics(win::SM_CMONITORS), 2);
  desk.SetMultiMonitorSupport(false);
  EXPECT_EQ(desk.GetSystemMetrics(win::SM_CMONITORS), 0);
  EXPECT_EQ(desk.GetSystemMetrics(win::SM_XVIRTUALSCREEN), -80);
  EXPECT_EQ(desk.Calls().getSystemMetrics, 7);
  desk.ResetCalls();
  EXPECT_EQ(desk.Calls().getSystemMetrics, 0);
}

TEST_F(SimDesktopTest, PixelsOffEveryMonitorStayBlack) {
  EXPECT_EQ(desk.Pixel(-80, -10), Code(-80, -10));
  EXPECT_EQ(desk.Pixel(127, 95), Code(127, 95));
  desk.SetPixel(5, -1, kFill);
  desk.FillRect({-3, 48, 2, 52}, kFill);
  EXPECT_EQ(desk.Pixel(5, -1), 0U);
  EXPECT_EQ(desk.Pixel(-1, 50), 0U);
  EXPECT_EQ(desk.Pixel(1, 50), kFill);
  EXPECT_EQ(desk.Pixel(-1, 49), kFill);
  EXPECT_EQ(desk.Pixel(500, 5), 0U);
}

TEST_F(SimDesktopTest, RearrangedMonitorsKeepPixelsWhereStillShown) {
  // The primary monitor narrows to x 0..63; a new one sits top right.
  desk.SetMonitors({{64, -20, 178, 10}, {0, 0, 64, 96}});
  EXPECT_EQ(desk.GetSystemMetrics(win::SM_XVIRTUALSCREEN), 0);
  EXPECT_EQ(desk.GetSystemMetrics(win::SM_YVIRTUALSCREEN), -20);
  EXPECT_EQ(desk.GetSystemMetrics(win::SM_CXVIRTUALSCREEN), 178);
  EXPECT_EQ(desk.GetSystemMetrics(win::SM_CYVIRTUALSCREEN), 116);
  EXPECT_EQ(desk.GetSystemMetrics(win::SM_CMONITORS), 2);
  EXPECT_EQ(desk.Pixel(7, 9), Code(7, 9));
  EXPECT_EQ(desk.Pixel(100, 5), Code(100, 5));  // shown before and after
  EXPECT_EQ(desk.Pixel(100, 50), 0U);           // shown before, now on no monitor
  EXPECT_EQ(desk.Pixel(140, -5), 0U);           // new: nothing drawn there yet
  EXPECT_EQ(desk.Pixel(-5, 5), 0U);             // the left monitor is gone
  desk.SetPixel(100, 50, kFill);
  EXPECT_EQ(desk.Pixel(100, 50), 0U);
  EXPECT_EQ(desk.PrimaryMonitor(), (Rect{0, 0, 64, 96}));
}

// ---- Blits

class BlitTest : public SimDesktopTest {
 protected:
  BlitTest() : image(10, 8, kFill) { dc = desk.CreatePersistentDc(&image, 0); }
  PixelBuffer image;
  Handle dc = 0;
};

TEST_F(BlitTest, StretchBltDoublesFromNegativeScreenCoordinates) {
  const Handle screen = desk.GetDC(desk.GetDesktopWindow());
  // Source x -2..0, y -1..0 at 2x: (0, -1) lies on no monitor and reads black.
  ASSERT_TRUE(desk.StretchBlt(dc, 1, 1, 6, 4, screen, -2, -1, 3, 2, win::SRCCOPY));
  const std::vector<std::vector<Colour>> expected{
      {Code(-2, -1), Code(-2, -1), Code(-1, -1), Code(-1, -1), 0, 0},
      {Code(-2, -1), Code(-2, -1), Code(-1, -1), Code(-1, -1), 0, 0},
      {Code(-2, 0), Code(-2, 0), Code(-1, 0), Code(-1, 0), Code(0, 0), Code(0, 0)},
      {Code(-2, 0), Code(-2, 0), Code(-1, 0), Code(-1, 0), Code(0, 0), Code(0, 0)},
  };
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      const bool inside = x >= 1 && x < 7 && y >= 1 && y < 5;
      const Colour want = inside ? expected[y - 1][x - 1] : kFill;
      EXPECT_EQ(image.At(x, y), want) << "at " << x << "," << y;
    }
  }
  EXPECT_EQ(desk.ReleaseDC(desk.GetDesktopWindow(), screen), 1);
}

TEST_F(BlitTest, StretchBltShrinksByFloorClipsAndReadsBlackOffTheSource) {
  PixelBuffer row(7, 1, 0);
  for (int x = 0; x < 7; ++x) row.Set(x, 0, 10U + static_cast<Colour>(x));
  const Handle src = desk.CreatePersistentDc(&row, 0);

  // 7 -> 4 columns starting at x -1: column i reads floor(i * 7 / 4); column 0 is clipped.
  ASSERT_TRUE(desk.StretchBlt(dc, -1, 0, 4, 1, src, 0, 0, 7, 1, win::SRCCOPY));
  EXPECT_EQ(image.At(0, 0), 11U);
  EXPECT_EQ(image.At(1, 0), 13U);
  EXPECT_EQ(image.At(2, 0), 15U);
  EXPECT_EQ(image.At(3, 0), kFill);

  ASSERT_TRUE(desk.StretchBlt(dc, 0, 1, 2, 1, src, 6, 0, 2, 1, win::SRCCOPY));
  EXPECT_EQ(image.At(0, 1), 16U);
  EXPECT_EQ(image.At(1, 1), 0U);

  // Nothing for empty or negative sizes, another raster operation or an unknown DC.
  EXPECT_TRUE(desk.StretchBlt(dc, 0, 2, 0, 1, src, 0, 0, 7, 1, win::SRCCOPY));
  EXPECT_TRUE(desk.StretchBlt(dc, 0, 2, 3, 1, src, 0, 0, -7, 1, win::SRCCOPY));
  EXPECT_FALSE(desk.StretchBlt(dc, 0, 2, 3, 1, src, 0, 0, 7, 1, 0x00EE0086));
  EXPECT_FALSE(desk.StretchBlt(dc, 0, 2, 3, 1, Handle{12345}, 0, 0, 7, 1, win::SRCCOPY));
  for (int x = 0; x < 10; ++x) EXPECT_EQ(image.At(x, 2), kFill);
}

TEST_F(BlitTest, BitBltWithinOneImageReadsTheImageAsItWasBefore) {
  for (int x = 0; x < 4; ++x) image.Set(x, 0, 1U + static_cast<Colour>(x));
  ASSERT_TRUE(desk.BitBlt(dc, 1, 0, 3, 1, dc, 0, 0, win::SRCCOPY));
  EXPECT_EQ(image.At(0, 0), 1U);
  EXPECT_EQ(image.At(1, 0), 1U);
  EXPECT_EQ(image.At(2, 0), 2U);
  EXPECT_EQ(image.At(3, 0), 3U);
  EXPECT_EQ(desk.Calls().bitBlt, 1);
  EXPECT_EQ(desk.Calls().stretchBlt, 0);
}

TEST_F(BlitTest, BlitIntoTheScreenSkipsPointsOffTheMonitors) {
  image.Fill(kFill);
  const Handle screen = desk.GetDC(0);
  ASSERT_TRUE(desk.BitBlt(screen, -2, 48, 2, 4, dc, 0, 0, win::SRCCOPY));
  EXPECT_EQ(desk.Pixel(-2, 49), kFill);
  EXPECT_EQ(desk.Pixel(-1, 48), kFill);
  EXPECT_EQ(desk.Pixel(-2, 50), 0U);
  EXPECT_EQ(desk.Pixel(-1, 51), 0U);
  EXPECT_EQ(desk.ReleaseDC(0, screen), 1);
}

// ---- Lines

TEST_F(BlitTest, PolyPolylineLeavesOutEachEndPointAndClips) {
  image.Fill(0);
  desk.SetPenColour(dc, 0x00C0C0C0);
  // A slanted line; a bent one that runs off the right edge; a line of no length.
  const Point points[] = {{0, 0}, {5, 2}, {7, 0}, {7, 3}, {12, 3}, {2, 6}, {2, 6}};
  const std::uint32_t counts[] = {2, 3, 2};
  ASSERT_TRUE(desk.PolyPolyline(dc, points, counts, 3));
  const std::vector<Point> drawn{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {7, 0},
                                 {7, 1}, {7, 2}, {7, 3}, {8, 3}, {9, 3}};
  int lit = 0;
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) lit += image.At(x, y) != 0 ? 1 : 0;
  }
  EXPECT_EQ(lit, static_cast<int>(drawn.size()));
  for (const Point p : drawn) EXPECT_EQ(image.At(p.x, p.y), 0x00C0C0C0U) << p.x << "," << p.y;
  const std::uint32_t onePoint[] = {2, 1};
  EXPECT_FALSE(desk.PolyPolyline(dc, points, onePoint, 2));
  EXPECT_FALSE(desk.PolyPolyline(0, points, counts, 1));
  EXPECT_EQ(desk.Calls().polyPolyline, 3);
}

// ---- Pointer images

// 2x2: (0,0) keeps the screen, (1,0) is red, (0,1) inverts, (1,1) is black.
CursorImage SmallCursor(bool monochrome) {
  CursorImage c;
  c.width = 2;
  c.height = 2;
  c.hotSpot = {1, 0};
  c.andMask = {1, 0, 1, 0};
  if (monochrome) {
    c.xorMask = {0, 1, 1, 0};  // (1,0) white instead of red
  } else {
    c.colour = {0, 0x000000FF, 0x00FFFFFF, 0};
  }
  return c;
}

TEST_F(BlitTest, DrawIconExAppliesMaskThenColourAtDoubleSize) {
  image.Fill(0x00123456);
  const Handle cursor = desk.SetCursorImage(SmallCursor(false));
  ASSERT_TRUE(desk.DrawIconEx(dc, 1, 1, cursor, 4, 4, 0, 0, win::DI_NORMAL));
  const Colour inverted = 0x00123456 ^ 0x00FFFFFF;
  const std::vector<std::vector<Colour>> expected{
      {0x00123456, 0x00123456, 0x000000FF, 0x000000FF},
      {0x00123456, 0x00123456, 0x000000FF, 0x000000FF},
      {inverted, inverted, 0, 0},
      {inverted, inverted, 0, 0},
  };
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(image.At(x + 1, y + 1), expected[y][x]) << x << "," << y;
  }
  EXPECT_EQ(image.At(0, 1), 0x00123456U);
  EXPECT_EQ(image.At(5, 1), 0x00123456U);
  EXPECT_EQ(image.At(1, 5), 0x00123456U);
}

TEST_F(BlitTest, DrawIconExMonochromeAtThreeHalvesClipsAtTheLeft) {
  image.Fill(0x00123456);
  const Handle cursor = desk.SetCursorImage(SmallCursor(true));
  // 2 -> 3 pixels: target columns read source 0, 0, 1; target x -1 is clipped.
  ASSERT_TRUE(desk.DrawIconEx(dc, -1, 0, cursor, 3, 3, 0, 0, win::DI_NORMAL));
  const Colour inverted = 0x00123456 ^ 0x00FFFFFF;
  EXPECT_EQ(image.At(0, 0), 0x00123456U);  // source (0,0): keeps the screen
  EXPECT_EQ(image.At(1, 0), 0x00FFFFFFU);  // source (1,0): white
  EXPECT_EQ(image.At(0, 1), 0x00123456U);  // source row 0 again
  EXPECT_EQ(image.At(0, 2), inverted);     // source (0,1)
  EXPECT_EQ(image.At(1, 2), 0U);           // source (1,1): black
  EXPECT_EQ(image.At(2, 0), 0x00123456U);  // right of the pointer
  EXPECT_EQ(image.At(0, 3), 0x00123456U);  // below it

  image.Fill(0x00123456);
  EXPECT_FALSE(desk.DrawIconEx(dc, 0, 0, 0, 3, 3, 0, 0, win::DI_NORMAL));
  EXPECT_FALSE(desk.DrawIconEx(dc, 0, 0, cursor + 7, 3, 3, 0, 0, win::DI_NORMAL));
  EXPECT_EQ(image.At(1, 0), 0x00123456U);
}

TEST_F(SimDesktopTest, CursorInfoGivesTheCurrentPointerOrNone) {
  desk.SetCursorPos({-5, 7});
  const Handle arrow = desk.SetCursorImage(MakeArrowCursor(false));
  CursorInfo info;
  ASSERT_TRUE(desk.GetCursorInfo(&info));
  EXPECT_EQ(info.hCursor, arrow);
  EXPECT_EQ(info.flags, kCursorShowing);
  EXPECT_EQ(info.ptScreenPos, (Point{-5, 7}));

  // Over the client area of a window with its own pointer, that pointer shows.
  const Handle green = desk.RegisterCursor(MakeGreenPixelCursor());
  const Handle hwnd = desk.AddWindow({100, 100, 300, 300}, kButtonFace);
  desk.Window(hwnd)->clientCursor = green;
  desk.Window(hwnd)->visible = true;
  desk.SetCursorPos({100 + kFrameLeft, 100 + kFrameTop});
  ASSERT_TRUE(desk.GetCursorInfo(&info));
  EXPECT_EQ(info.hCursor, green);
  desk.SetCursorPos({100 + kFrameLeft - 1, 100 + kFrameTop});  // on the frame
  ASSERT_TRUE(desk.GetCursorInfo(&info));
  EXPECT_EQ(info.hCursor, arrow);

  desk.SetCurrentCursor(0);
  ASSERT_TRUE(desk.GetCursorInfo(&info));
  EXPECT_EQ(info.hCursor, 0U);
  EXPECT_EQ(info.flags, 0U);
}

// ---- Handles

TEST_F(SimDesktopTest, IconInfoBitmapsAreLiveUntilDeleted) {
  const Handle colour = desk.SetCursorImage(MakeArrowCursor(false));
  const Handle mono = desk.RegisterCursor(MakeArrowCursor(true));

  IconInfo info;
  info.hbmMask = 77;
  EXPECT_FALSE(desk.GetIconInfo(0, &info));
  EXPECT_FALSE(desk.GetIconInfo(colour + 100, &info));
  EXPECT_EQ(info.hbmMask, 77U);
  EXPECT_EQ(desk.LiveHandles(), 0);

  ASSERT_TRUE(desk.GetIconInfo(colour, &info));
  EXPECT_NE(info.hbmMask, 0U);
  EXPECT_NE(info.hbmColor, 0U);
  EXPECT_EQ(desk.LiveHandles(), 2);
  BitmapInfo bmp;
  EXPECT_EQ(desk.GetObject(info.hbmMask, sizeof(BitmapInfo), &bmp),
            static_cast<int>(sizeof(BitmapInfo)));
  EXPECT_EQ(bmp.bmWidth, 32);
  EXPECT_EQ(bmp.bmHeight, 32);
  EXPECT_EQ(bmp.bmBitsPixel, 1);
  ASSERT_GT(desk.GetObject(info.hbmColor, sizeof(BitmapInfo), &bmp), 0);
  EXPECT_EQ(bmp.bmHeight, 32);
  EXPECT_EQ(bmp.bmBitsPixel, 32);
  EXPECT_TRUE(desk.DeleteObject(info.hbmColor));
  EXPECT_TRUE(desk.DeleteObject(info.hbmMask));
  EXPECT_FALSE(desk.DeleteObject(info.hbmMask));
  EXPECT_EQ(desk.GetObject(info.hbmMask, sizeof(BitmapInfo), &bmp), 0);
  EXPECT_EQ(desk.LiveHandles(), 0);

  // Monochrome: no colour bitmap, the mask holds AND above XOR.
  const Handle freedMask = info.hbmMask;
  ASSERT_TRUE(desk.GetIconInfo(mono, &info));
  EXPECT_EQ(info.hbmColor, 0U);
  EXPECT_NE(info.hbmMask, freedMask);  // same slot, new handle
  ASSERT_GT(desk.GetObject(info.hbmMask, sizeof(BitmapInfo), &bmp), 0);
  EXPECT_EQ(bmp.bmWidth, 32);
  EXPECT_EQ(bmp.bmHeight, 64);
  EXPECT_EQ(desk.LiveHandles(), 1);
  EXPECT_FALSE(desk.DeleteObject(freedMask));
  EXPECT_FALSE(desk.DeleteObject(0));
  EXPECT_TRUE(desk.DeleteObject(info.hbmMask));
  EXPECT_EQ(desk.LiveHandles(), 0);
}

TEST_F(SimDesktopTest, DeviceContextsAreLiveUntilReleasedToTheirWindow) {
  PixelBuffer image(4, 4, 0);
  const Handle persistent = desk.CreatePersistentDc(&image, 0);
  const Handle hwnd = desk.AddWindow({0, 0, 100, 100}, kButtonFace);
  const Handle screen = desk.GetDC(desk.GetDesktopWindow());
  const Handle client = desk.GetDC(hwnd);
  EXPECT_NE(screen, 0U);
  EXPECT_NE(client, 0U);
  EXPECT_EQ(desk.LiveHandles(), 2);
  EXPECT_EQ(desk.GetDC(hwnd + 50), 0U);
  EXPECT_EQ(desk.ReleaseDC(desk.GetDesktopWindow(), client), 0);  // not the desktop's
  EXPECT_EQ(desk.ReleaseDC(0, persistent), 0);
  EXPECT_EQ(desk.ReleaseDC(hwnd, client), 1);
  EXPECT_EQ(desk.ReleaseDC(hwnd, client), 0);
  EXPECT_EQ(desk.ReleaseDC(desk.GetDesktopWindow(), screen), 1);
  EXPECT_EQ(desk.LiveHandles(), 0);
  // A released handle stays dead even after its slot is taken again.
  const Handle again = desk.GetDC(0);
  EXPECT_NE(again, screen);
  EXPECT_FALSE(desk.BitBlt(screen, 0, 0, 1, 1, again, 0, 0, win::SRCCOPY));
  EXPECT_EQ(desk.ReleaseDC(0, again), 1);

  desk.FailNextFormGetDc(GetDcFailure::kThrow);
  EXPECT_THROW(desk.GetDC(hwnd), ToolkitError);
  EXPECT_NE(desk.GetDC(hwnd), 0U);  // once only
  desk.FailNextFormGetDc(GetDcFailure::kReturnZero);
  EXPECT_EQ(desk.GetDC(hwnd), 0U);
  EXPECT_EQ(desk.LiveHandles(), 1);
}

// ---- Windows

TEST_F(SimDesktopTest, SetWindowPosHonoursItsFlags) {
  const Handle hwnd = desk.AddWindow({10, 20, 110, 220}, kButtonFace);
  SimWindow& w = *desk.Window(hwnd);
  int resized = 0;
  w.onResized = [&] { ++resized; };
  constexpr std::uint32_t kKeep = win::SWP_NOMOVE | win::SWP_NOSIZE;

  ASSERT_TRUE(desk.SetWindowPos(hwnd, win::HWND_TOPMOST, 0, 0, 0, 0, kKeep | win::SWP_NOACTIVATE));
  EXPECT_TRUE(w.topmost);
  EXPECT_EQ(w.outer, (Rect{10, 20, 110, 220}));
  EXPECT_EQ(w.activations, 0);
  ASSERT_TRUE(desk.SetWindowPos(hwnd, win::HWND_NOTOPMOST, 5, 5, 5, 5, kKeep | win::SWP_NOZORDER));
  EXPECT_TRUE(w.topmost);
  EXPECT_EQ(w.activations, 1);
  EXPECT_EQ(desk.ActiveWindow(), hwnd);
  ASSERT_TRUE(desk.SetWindowPos(hwnd, win::HWND_NOTOPMOST, 0, 0, 0, 0, kKeep));
  EXPECT_FALSE(w.topmost);

  // Moving keeps the size and raises no resize; sizing changes the client area.
  ASSERT_TRUE(desk.SetWindowPos(hwnd, win::HWND_TOP, -40, -30, 1, 1,
                                win::SWP_NOSIZE | win::SWP_NOZORDER | win::SWP_SHOWWINDOW));
  EXPECT_EQ(w.outer, (Rect{-40, -30, 60, 170}));
  EXPECT_TRUE(w.visible);
  EXPECT_EQ(resized, 0);
  ASSERT_TRUE(desk.SetWindowPos(hwnd, 0, 999, 999, 50, 60, win::SWP_NOMOVE | win::SWP_NOZORDER));
  EXPECT_EQ(w.outer, (Rect{-40, -30, 10, 30}));
  EXPECT_EQ(w.client.Width(), 50 - kFrameLeft - kFrameRight);
  EXPECT_EQ(w.client.Height(), 60 - kFrameTop - kFrameBottom);
  EXPECT_EQ(resized, 1);

  Rect r;
  ASSERT_TRUE(desk.GetWindowRect(hwnd, &r));
  EXPECT_EQ(r, (Rect{-40, -30, 10, 30}));
  EXPECT_FALSE(desk.SetWindowPos(hwnd + 1, 0, 0, 0, 0, 0, 0));
  ASSERT_EQ(desk.SetWindowPosLog().size(), 5U);
  EXPECT_EQ(desk.SetWindowPosLog()[0], (SetWindowPosCall{hwnd, win::HWND_TOPMOST, 0, 0, 0, 0,
                                                         kKeep | win::SWP_NOACTIVATE, false}));
  EXPECT_TRUE(desk.SetWindowPosLog()[4].activated);

  desk.DestroyWindow(hwnd);
  EXPECT_FALSE(desk.GetWindowRect(hwnd, &r));
  EXPECT_EQ(desk.GetDC(hwnd), 0U);
}

TEST_F(SimDesktopTest, SetWindowPosLogDropsItsOlderHalfWithoutGrowing) {
  const Handle hwnd = desk.AddWindow({0, 0, 50, 50}, kButtonFace);
  constexpr int kCalls = static_cast<int>(2 * SimDesktop::kLogKeep) + 6;
  for (int i = 0; i < kCalls; ++i) {
    desk.SetWindowPos(hwnd, 0, i, 0, 0, 0, win::SWP_NOSIZE | win::SWP_NOZORDER);
  }
  const auto& log = desk.SetWindowPosLog();
  EXPECT_EQ(log.size(), SimDesktop::kLogKeep + 6);
  EXPECT_EQ(log.front().x, static_cast<int>(SimDesktop::kLogKeep));
  EXPECT_EQ(log.back().x, kCalls - 1);
  EXPECT_EQ(log.capacity(), 2 * SimDesktop::kLogKeep);
  EXPECT_EQ(desk.Calls().setWindowPos, kCalls);
}

TEST_F(SimDesktopTest, LayeredAttributesNeedTheLayeredStyle) {
  const Handle hwnd = desk.AddWindow({0, 0, 50, 50}, kButtonFace);
  EXPECT_FALSE(desk.SetLayeredWindowAttributes(hwnd, 0, 255, win::LWA_ALPHA));
  EXPECT_EQ(desk.SetWindowLong(hwnd, win::GWL_EXSTYLE, win::WS_EX_LAYERED | 8), 0);
  EXPECT_EQ(desk.GetWindowLong(hwnd, win::GWL_EXSTYLE), win::WS_EX_LAYERED | 8);
  EXPECT_EQ(desk.GetWindowLong(hwnd, -16), 0);
  ASSERT_TRUE(desk.SetLayeredWindowAttributes(hwnd, 0x00010203, 200, win::LWA_ALPHA));
  const SimWindow& w = *desk.Window(hwnd);
  EXPECT_TRUE(w.layeredSet);
  EXPECT_EQ(w.layeredKey, 0x00010203U);
  EXPECT_EQ(w.layeredAlpha, 200);
  EXPECT_EQ(w.layeredFlags, win::LWA_ALPHA);

  desk.SetCaptureExclusionSupported(false);
  EXPECT_FALSE(desk.ExcludeFromCapture(hwnd));
  EXPECT_FALSE(w.excludedFromCapture);
  desk.SetCaptureExclusionSupported(true);
  EXPECT_TRUE(desk.ExcludeFromCapture(hwnd));
  EXPECT_TRUE(w.excludedFromCapture);
}

TEST_F(SimDesktopTest, MouseSpeedSetsAreLogged) {
  std::int32_t speed = 0;
  ASSERT_TRUE(desk.GetMouseSpeed(&speed));
  EXPECT_EQ(speed, 10);
  EXPECT_TRUE(desk.SetMouseSpeed(3));
  EXPECT_FALSE(desk.SetMouseSpeed(0));
  EXPECT_FALSE(desk.SetMouseSpeed(21));
  EXPECT_TRUE(desk.SetMouseSpeed(10));
  EXPECT_EQ(desk.MouseSpeedLog(), (std::vector<std::int32_t>{3, 10}));
  EXPECT_EQ(desk.RejectedMouseSpeedSets(), 2);
  EXPECT_EQ(desk.MouseSpeed(), 10);
}

TEST(RoundHalfEvenTest, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(216.5), 216);
  EXPECT_EQ(RoundHalfEven(217.5), 218);
  EXPECT_EQ(RoundHalfEven(278.75), 279);
  EXPECT_EQ(RoundHalfEven(-0.5), 0);
  EXPECT_EQ(RoundHalfEven(-1.5), -2);
  EXPECT_EQ(RoundHalfEven(-1.25), -1);
}

}  // namespace
}  // namespace vimo::sim
