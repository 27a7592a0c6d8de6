// The system side against a real X server (Xvfb, 1280 x 1024 x 24; ctest starts one).
// gtest first: Xlib's None macro would clash with gtest's own.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/win32_constants.h"
#include "platform/x11/x11_api.h"
#include "platform/x11/x11_image.h"
#include "platform/x11/x11_monitors.h"

namespace vimo::x11 {
namespace {

class FakeHost final : public WindowHost {
 public:
  bool OuterRect(Handle hwnd, Rect* rect) override {
    *rect = Rect{10, 20, 310, 220};
    return hwnd == 7;
  }
  bool Place(Handle hwnd, Handle insertAfter, int x, int y, int, int, std::uint32_t) override {
    placed = {hwnd, insertAfter, static_cast<Handle>(x), static_cast<Handle>(y)};
    return true;
  }
  bool OpenUri(Handle, std::string_view uri) override {
    opened = std::string(uri);
    return browser;
  }
  Overdrawn TakeOverdrawn(Handle) override { return std::exchange(overdrawn, Overdrawn{}); }
  Overdrawn overdrawn;
  std::vector<Handle> placed;
  std::string opened;
  bool browser = true;
};

int errors = 0;  // that reached the connection's handler

// A pattern that differs in every pixel of a small window.
std::uint32_t Pattern(int x, int y) {
  return static_cast<std::uint32_t>((x * 40 + 15) << 16 | (y * 50 + 5) << 8 | (x + y) * 10);
}

// Every pixel of `rows`, as 0x00RRGGBB, against want(x, y).
template <typename Want>
void ExpectPixels(const PixelRows& rows, const Want& want) {
  for (int y = 0; y < rows.height; ++y) {
    for (int x = 0; x < rows.width; ++x)
      ASSERT_EQ(rows.Row(y)[x] & 0xFFFFFFU, want(x, y)) << x << "," << y;
  }
}

class X11Server : public testing::Test {
 protected:
  void SetUp() override {
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr) << "no X server: run through ctest (xvfb-run)";
    XSetErrorHandler([](Display*, XErrorEvent*) {
      ++errors;
      return 0;
    });
    errors = 0;
    root_ = DefaultRootWindow(display_);
  }
  void TearDown() override {
    if (display_ == nullptr) return;
    XSync(display_, False);
    EXPECT_EQ(errors, 0) << "X errors reached the connection's handler";
    unsetenv("VIMO_NO_SHM");
    unsetenv("VIMO_NO_DAMAGE");
    XCloseDisplay(display_);
  }

  // A window without frame at (x, y) showing Pattern, or black where `pattern` is false.
  Window ShowWindow(int x, int y, int w, int h, bool pattern = true) {
    XSetWindowAttributes a{};
    a.override_redirect = True;  // and a black background
    const Window window = XCreateWindow(display_, root_, x, y, static_cast<unsigned>(w),
                                        static_cast<unsigned>(h), 0, CopyFromParent, InputOutput,
                                        CopyFromParent, CWOverrideRedirect | CWBackPixel, &a);
    XMapRaised(display_, window);
    if (pattern) {
      XImage* image = XGetImage(display_, window, 0, 0, static_cast<unsigned>(w),
                                static_cast<unsigned>(h), AllPlanes, ZPixmap);
      for (int i = 0; i < w * h; ++i) XPutPixel(image, i % w, i / w, Pattern(i % w, i / w));
      XPutImage(display_, window, DefaultGC(display_, DefaultScreen(display_)), image, 0, 0, 0, 0,
                static_cast<unsigned>(w), static_cast<unsigned>(h));
      XDestroyImage(image);
    }
    XSync(display_, False);
    return window;
  }

  // The 6 x 4 pixels at the window's top left in one colour.
  void Fill(Window window, unsigned long colour) {
    XSetForeground(display_, DefaultGC(display_, DefaultScreen(display_)), colour);
    XFillRectangle(display_, window, DefaultGC(display_, DefaultScreen(display_)), 0, 0, 6, 4);
    XSync(display_, False);
  }

  // Gives every waiting event to the API, as the toolkit's filter does; how many it took.
  int Pump(X11Api& api) {
    XSync(display_, False);
    int taken = 0;
    while (XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      const bool data = XGetEventData(display_, &event.xcookie);
      taken += api.HandleEvent(event) ? 1 : 0;
      if (data) XFreeEventData(display_, &event.xcookie);
    }
    return taken;
  }

  // What the server shows of a window: w x h from (x, y), row after row.
  std::vector<std::uint32_t> Shown(Window window, int x, int y, int w, int h) {
    XImage* image = XGetImage(display_, window, x, y, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w * h));
    for (int i = 0; i < w * h; ++i)
      pixels[i] = static_cast<std::uint32_t>(XGetPixel(image, i % w, i / w));
    XDestroyImage(image);
    return pixels;
  }

  Point Pointer() {
    Window windows[2] = {};  // the root, the child under the pointer
    int at[4] = {};          // on the root, in the child
    unsigned buttons = 0;
    XQueryPointer(display_, root_, &windows[0], &windows[1], &at[0], &at[1], &at[2], &at[3],
                  &buttons);
    return Point{at[0], at[1]};
  }

  Display* display_ = nullptr;
  Window root_ = 0;
  FakeHost host_;
};

// Sysv segments this process made that are still there, and how many of them are not yet
// marked for removal.
std::pair<int, int> OurSegments() {
  std::ifstream table("/proc/sysvipc/shm");
  std::string line;
  std::getline(table, line);
  int all = 0;
  int kept = 0;
  while (std::getline(table, line)) {
    unsigned mode = 0;
    long creator = 0;  // after the key, the id, the mode and the size
    if (std::sscanf(line.c_str(), "%*d %*d %o %*u %ld", &mode, &creator) != 2) continue;
    if (creator != getpid()) continue;
    ++all;
    if ((mode & 01000) == 0) ++kept;  // SHM_DEST
  }
  return {all, kept};
}

TEST_F(X11Server, ImageIsMadeAgainOnlyForANewSizeAndLeavesNoSegment) {
  int alive = 0;
  {
    X11Image image(display_);
    ASSERT_TRUE(image.Resize(20, 14));
    // Segments of earlier tests' closed connections may linger a moment, all removed.
    int kept = 0;
    std::tie(alive, kept) = OurSegments();
    EXPECT_EQ(kept, 0) << "the segment would outlive a killed Vimo";
    const PixelRows first = image.Pixels();
    EXPECT_EQ(first.pitch, 20);
    first.Row(13)[19] = 0x00123456;
    ASSERT_TRUE(image.Resize(20, 14));
    EXPECT_EQ(image.Pixels().bits, first.bits);
    EXPECT_EQ(image.Pixels().Row(13)[19], 0x00123456U);
    ASSERT_TRUE(image.Resize(21, 14));
    const PixelRows second = image.Pixels();
    EXPECT_EQ(second.width, 21);
    for (int y = 0; y < second.height; ++y) {
      for (int x = 0; x < second.width; ++x) ASSERT_EQ(second.Row(y)[x], 0U) << x << "," << y;
    }
    ASSERT_TRUE(image.Resize(0, 0));
    EXPECT_EQ(image.Pixels().bits, nullptr);
    EXPECT_FALSE(image.Resize(-1, 5));
    ASSERT_TRUE(image.Resize(3, 3));
  }
  XSync(display_, False);
  EXPECT_LT(OurSegments().first, alive);
}

// The screen area enlarged three times into the view, then the view onto a window; an
// area partly off the screen, black there; a view drawn into but not yet put drawn once
// its pixels are asked for, or before the next frame reads the screen again; with shared
// memory and without.
class X11ScreenRead : public X11Server, public testing::WithParamInterface<bool> {};

TEST_P(X11ScreenRead, AreaEnlargedExactlyShownInAWindowBlackOffTheScreenAndDrawnWhenAsked) {
  if (!GetParam()) setenv("VIMO_NO_SHM", "1", 1);
  const Window area = ShowWindow(100, 200, 6, 4);
  ShowWindow(0, 0, 4, 4);
  ShowWindow(1276, 1020, 4, 4);
  const Window target = ShowWindow(300, 300, 20, 14, false);
  X11Api api(display_, host_);
  X11Image view(display_);
  ASSERT_TRUE(view.Resize(20, 14));
  EXPECT_EQ(view.Shared(), GetParam());
  const PixelRows rows = view.Pixels();
  EXPECT_EQ(rows.Row(13)[19], 0U) << "a new image starts black";
  for (int y = 0; y < 14; ++y) std::fill_n(rows.Row(y), 20, 0x00ABCDEFU);
  // The window's pixels three times as large from (1, 1) to (19, 13), `around` them.
  const auto enlarged = [](int x, int y, std::uint32_t around) {
    const bool inside = x >= 1 && x < 19 && y >= 1 && y < 13;
    return inside ? Pattern((x - 1) / 3, (y - 1) / 3) : around;
  };

  const Handle screen = api.GetDC(api.GetDesktopWindow());
  ASSERT_TRUE(api.StretchBlt(view.Dc(), 1, 1, 18, 12, screen, 100, 200, 6, 4, win::SRCCOPY));
  // Drawn when the pixels are asked for.
  ExpectPixels(view.Pixels(), [&](int x, int y) { return enlarged(x, y, 0xABCDEFU); });

  const Handle window = api.GetDC(static_cast<Handle>(target));
  EXPECT_NE(window, screen);
  ASSERT_TRUE(api.BitBlt(window, 1, 1, 18, 12, view.Dc(), 1, 1, win::SRCCOPY));
  std::vector<std::uint32_t> shown = Shown(target, 0, 0, 20, 14);
  ExpectPixels(PixelRows{shown.data(), 20, 20, 14},
               [&](int x, int y) { return enlarged(x, y, 0U); });

  // One to one (1 X), cut off by the image's right and bottom edges: with shared memory
  // the server writes straight into the image.
  for (int y = 0; y < 14; ++y) std::fill_n(view.Pixels().Row(y), 20, 0x00ABCDEFU);
  ASSERT_TRUE(api.StretchBlt(view.Dc(), 16, 11, 6, 4, screen, 100, 200, 6, 4, win::SRCCOPY));
  ExpectPixels(view.Pixels(), [](int x, int y) {
    return x >= 16 && y >= 11 ? Pattern(x - 16, y - 11) : 0xABCDEFU;
  });
  // Only the screen goes into an image and only an image onto a window.
  EXPECT_FALSE(api.BitBlt(view.Dc(), 0, 0, 2, 2, view.Dc(), 0, 0, win::SRCCOPY));
  EXPECT_FALSE(api.StretchBlt(window, 0, 0, 2, 2, screen, 0, 0, 2, 2, win::SRCCOPY));

  // Partly off the screen at the top left and at the bottom right.
  ASSERT_TRUE(view.Resize(4, 4));
  struct Case {
    int x, y;    // the area read
    int dx, dy;  // where the window's pixel (0, 0) lands in the view
    int from;    // its first pixel inside the view is Pattern(from, from)
  };
  // Live; frozen (read into the still picture at (-1, -1)); frozen, from outside the picture.
  X11Image still(display_);
  ASSERT_TRUE(still.Resize(4, 4));
  for (const Case c : {Case{-2, -2, 2, 2, 0}, Case{1278, 1022, 0, 0, 2}}) {
    ASSERT_TRUE(api.BitBlt(still.Dc(), -1, -1, 6, 6, screen, c.x - 1, c.y - 1, win::SRCCOPY));
    for (int i = 0; i < 3; ++i) {
      const int s = i == 2 ? 1 : 0;
      ASSERT_TRUE(api.StretchBlt(view.Dc(), 0, 0, 4, 4, i == 0 ? screen : still.Dc(),
                                 i == 0 ? c.x : -s, i == 0 ? c.y : -s, 4, 4, win::SRCCOPY));
      SCOPED_TRACE(testing::Message() << "area at " << c.x << ", read " << i);
      ExpectPixels(view.Pixels(), [&](int x, int y) {  // (x - s, y - s) of the area
        const bool shown = x >= c.dx + s && y >= c.dy + s && x < c.dx + s + 2 && y < c.dy + s + 2;
        return shown ? Pattern(x - s - c.dx + c.from, y - s - c.dy + c.from) : 0U;
      });
    }
  }
  ASSERT_TRUE(api.StretchBlt(view.Dc(), 0, 0, 4, 4, screen, 5000, -300, 4, 4, win::SRCCOPY));
  const PixelRows off = view.Pixels();
  for (int y = 0; y < 4; ++y) EXPECT_EQ(off.Row(y)[0] | off.Row(y)[3], 0U);

  // Planned, then drawn when asked or before the next read: the area's window in one colour.
  X11Image other(display_);
  ASSERT_TRUE(view.Resize(12, 8) && other.Resize(12, 8));
  const auto plan = [&](X11Image& into, unsigned long colour) {
    Fill(area, colour);
    ASSERT_TRUE(api.StretchBlt(into.Dc(), 0, 0, 12, 8, api.GetDC(0), 100, 200, 6, 4, win::SRCCOPY));
  };
  plan(view, 0x102030);
  EXPECT_EQ(view.Pixels().Row(7)[11] & 0xFFFFFFU, 0x102030U);
  plan(view, 0x405060);
  plan(other, 0x708090);  // reads the screen again
  EXPECT_EQ(view.Pixels().Row(7)[11] & 0xFFFFFFU, 0x405060U);
  EXPECT_EQ(other.Pixels().Row(0)[0] & 0xFFFFFFU, 0x708090U);
  {
    X11Image passing(display_);
    ASSERT_TRUE(passing.Resize(12, 8));
    plan(passing, 0xA0B0C0);
  }  // gone before it was drawn: nothing is drawn into it later
  plan(view, 0xC0D0E0);
  EXPECT_EQ(view.Pixels().Row(7)[11] & 0xFFFFFFU, 0xC0D0E0U);

  // One to one and back, the screen unchanged: the enlargement is drawn again.
  const auto frame = [&](int w, int h) {
    EXPECT_TRUE(api.StretchBlt(view.Dc(), 0, 0, 12, 8, api.GetDC(0), 100, 200, w, h, win::SRCCOPY));
    EXPECT_TRUE(api.BitBlt(api.GetDC(static_cast<Handle>(target)), 0, 0, 12, 8, view.Dc(), 0, 0,
                           win::SRCCOPY));
    return Shown(target, 11, 7, 1, 1)[0];  // the window's at 2 X, the root's at 1 X
  };
  EXPECT_EQ(frame(6, 4), 0xC0D0E0U);
  EXPECT_EQ(frame(12, 8), 0x0U);
  EXPECT_EQ(frame(6, 4), 0xC0D0E0U);
  const Handle gone = [&] {
    X11Image short_lived(display_);
    return short_lived.Dc();
  }();
  EXPECT_EQ(X11Image::OfDc(gone), nullptr);
}

// Frame after frame, the view shown in a window is what a view drawn afresh shows (a
// second Vimo on its own connection, made anew for each frame: every pixel read, drawn
// and put), while the screen under the area, the pointer and the window's own drawings
// change one at a time, and while the screen is frozen; at 3 X and at 1 X, with XDamage
// and without it, with shared memory and without.
class X11Frames : public X11Server,
                  public testing::WithParamInterface<std::tuple<int, bool, bool>> {};

TEST_P(X11Frames, ViewIsTheViewDrawnAfreshWhateverChanges) {
  const auto [factor, damage, shared] = GetParam();
  if (!damage) setenv("VIMO_NO_DAMAGE", "1", 1);
  if (!shared) setenv("VIMO_NO_SHM", "1", 1);
  const Window pattern = ShowWindow(100, 200, 8, 6);
  const int w = 8 * factor + 2;
  const int h = 6 * factor + 2;
  const Window shown[] = {ShowWindow(300, 300, w, h, false), ShowWindow(600, 300, w, h, false)};
  Display* fresh = XOpenDisplay(nullptr);
  ASSERT_NE(fresh, nullptr);
  X11Api api(display_, host_);
  X11Image view(display_);
  ASSERT_TRUE(view.Resize(w, h));
  int frames = 0;
  Point at;
  X11Image still(display_);  // the frozen screen, which both read while `frozen`
  bool frozen = false;
  const auto frame = [&](X11Api& a, X11Image& v, Window window) {
    CursorInfo cursor;
    ASSERT_TRUE(a.GetCursorInfo(&cursor));
    const Handle screen = frozen ? still.Dc() : a.GetDC(0);
    ASSERT_TRUE(
        a.StretchBlt(v.Dc(), 1, 1, 8 * factor, 6 * factor, screen, 100, 200, 8, 6, win::SRCCOPY));
    IconInfo icon;
    ASSERT_TRUE(a.GetIconInfo(cursor.hCursor, &icon));
    BitmapInfo mask;
    a.GetObject(icon.hbmMask, sizeof(mask), &mask);
    const Point p = cursor.ptScreenPos;
    a.DrawIconEx(v.Dc(), factor * (p.x - 100 - static_cast<int>(icon.xHotspot)) + 1,
                 factor * (p.y - 200 - static_cast<int>(icon.yHotspot)) + 1, cursor.hCursor,
                 factor * mask.bmWidth, factor * mask.bmWidth, 0, 0, win::DI_NORMAL);
    ASSERT_TRUE(a.BitBlt(a.GetDC(window), 1, 1, w - 2, h - 2, v.Dc(), 1, 1, win::SRCCOPY));
  };
  const auto check = [&](const char* what) {
    frame(api, view, shown[0]);
    {
      FakeHost host;
      X11Api afresh(fresh, host);
      X11Image v(fresh);
      ASSERT_TRUE(v.Resize(w, h));
      frame(afresh, v, shown[1]);
      XSync(fresh, False);
    }
    SCOPED_TRACE(testing::Message() << what << " (frame " << frames++ << ")");
    std::vector<std::uint32_t> got = Shown(shown[0], 1, 1, w - 2, h - 2);
    const std::vector<std::uint32_t> want = Shown(shown[1], 1, 1, w - 2, h - 2);
    ExpectPixels(PixelRows{got.data(), w - 2, w - 2, h - 2},
                 [&](int x, int y) { return want[static_cast<std::size_t>(y * (w - 2) + x)]; });
  };
  const auto move = [&](int x, int y) {  // as a hand moves it: raw motion follows
    XTestFakeMotionEvent(display_, -1, x, y, 0);
    XSync(display_, False);
  };
  move(20, 20);
  check("first");
  check("nothing changed");
  Fill(pattern, 0x204060);
  check("a window under the area drew");
  check("nothing changed");
  for (int i = 0; i < 10; ++i) api.GetCursorPos(&at);  // at rest: asked after raw motion only
  move(103, 202);
  check("the pointer came into the area");
  move(104, 203);
  check("only the pointer moved");
  Fill(pattern, 0x608040);
  check("the window drew under the resting pointer");
  XMoveWindow(display_, pattern, 97, 201);
  XSync(display_, False);
  check("the window moved under the pointer");
  host_.overdrawn.Add(Rect{5, 1, 6, h - 1});  // a marker line inverted on the window
  XFillRectangle(display_, shown[0], DefaultGC(display_, DefaultScreen(display_)), 5, 1, 1, h - 2);
  check("the window was drawn over");
  move(20, 20);
  check("the pointer left");
  Fill(pattern, 0x406080);
  ASSERT_TRUE(still.Resize(1280, 1024));
  ASSERT_TRUE(api.BitBlt(still.Dc(), 0, 0, 1280, 1024, api.GetDC(0), 0, 0, win::SRCCOPY));
  frozen = true;
  check("frozen after the window drew");
  Fill(pattern, 0x80A0C0);
  check("frozen, the window drew");
  // Both show the picture, not the screen (screen pixel (101, 203) is the window's).
  const auto shows = [&](std::uint32_t rgb) {
    return (view.Pixels().Row(1 + 3 * factor)[1 + factor] & 0xFFFFFFU) == rgb;
  };
  EXPECT_TRUE(shows(0x406080));
  EXPECT_EQ(api.GetPixel(still.Dc(), 101, 203), 0x806040U);
  EXPECT_EQ(api.GetPixel(api.GetDC(0), 101, 203), 0xC0A080U);
  EXPECT_EQ(api.GetPixel(still.Dc(), 1280, 0) & api.GetPixel(still.Dc(), 0, -1), win::CLR_INVALID);
  move(101, 204);
  check("frozen, the pointer came");
  check("frozen, nothing changed");
  move(20, 20);
  Pump(api);  // what the screen reports while frozen reaches the frame
  check("frozen, the pointer left");
  ASSERT_TRUE(api.BitBlt(still.Dc(), 0, 0, 1280, 1024, api.GetDC(0), 0, 0, win::SRCCOPY));
  check("frozen anew");
  EXPECT_TRUE(shows(0x80A0C0));
  frozen = false;
  Fill(pattern, 0x102030);
  check("live again");
  EXPECT_TRUE(shows(0x102030));
  check("live, nothing changed");
  const unsigned long requests = XNextRequest(display_);
  EXPECT_EQ(api.GetPixel(api.GetDC(0), 101, 203), 0x302010U);
  // A still screen's pixel read as the frame read it, but at 1 X into the view itself.
  EXPECT_TRUE(XNextRequest(display_) == requests || !damage || (factor == 1 && shared));
  Fill(pattern, 0x405060);
  EXPECT_EQ(api.GetPixel(api.GetDC(0), 101, 203), 0x605040U) << "changed since the frame";
  XUnmapWindow(display_, pattern);
  XSync(display_, False);
  check("the window went");
  XCloseDisplay(fresh);
}

INSTANTIATE_TEST_SUITE_P(FactorsWithAndWithoutDamage, X11Frames,
                         testing::Combine(testing::Values(3, 1), testing::Values(true, false),
                                          testing::Values(true, false)));

INSTANTIATE_TEST_SUITE_P(SharedAndPlain, X11ScreenRead, testing::Values(true, false));

TEST_F(X11Server, PointerImageFollowsTheServerAndIsDrawnEnlarged) {
  X11Api api(display_, host_);
  XWarpPointer(display_, None, root_, 0, 0, 0, 0, 50, 60);
  XSync(display_, False);
  CursorInfo before;
  ASSERT_TRUE(api.GetCursorInfo(&before));
  EXPECT_EQ(before.flags, 1U);
  EXPECT_EQ(before.ptScreenPos, (Point{50, 60}));
  EXPECT_NE(before.hCursor, 0U);
  Pump(api);
  // At rest, a program's warp (no raw motion) is seen at once when a key comes with it.
  Point at;
  for (int i = 0; i < 10; ++i) api.GetCursorPos(&at);
  XWarpPointer(display_, None, root_, 0, 0, 0, 0, 70, 80);
  XEvent key{KeyPress};
  EXPECT_FALSE(api.HandleEvent(key)) << "the key is the toolkit's";
  EXPECT_TRUE(api.GetCursorPos(&at) && at == (Point{70, 80}));

  // A 4 x 2 pointer: white where source and mask are set, black where only the mask is.
  const Pixmap s = XCreateBitmapFromData(display_, root_, "\x05\x0A", 4, 2);  // the source
  const Pixmap m = XCreateBitmapFromData(display_, root_, "\x07\x0F", 4, 2);  // the mask
  XColor white{.pixel = 0, .red = 0xFFFF, .green = 0xFFFF, .blue = 0xFFFF, .flags = 0, .pad = 0};
  XColor black{};
  const Cursor cursor = XCreatePixmapCursor(display_, s, m, &white, &black, 1, 0);
  XDefineCursor(display_, root_, cursor);
  EXPECT_GE(Pump(api), 1) << "no pointer-image notice reached HandleEvent";

  CursorInfo after;
  ASSERT_TRUE(api.GetCursorInfo(&after));
  EXPECT_NE(after.hCursor, before.hCursor);
  IconInfo icon;
  ASSERT_TRUE(api.GetIconInfo(after.hCursor, &icon));
  EXPECT_EQ(icon.xHotspot, 1U);
  EXPECT_EQ(icon.yHotspot, 0U);
  BitmapInfo bitmap;
  ASSERT_EQ(api.GetObject(icon.hbmMask, sizeof(bitmap), &bitmap), static_cast<int>(sizeof(bitmap)));
  EXPECT_EQ(bitmap.bmWidth, 4);
  EXPECT_EQ(bitmap.bmHeight, 2);
  EXPECT_EQ(api.GetObject(icon.hbmColor, sizeof(bitmap) - 1, &bitmap), 0);

  X11Image view(display_);
  ASSERT_TRUE(view.Resize(10, 6));
  const PixelRows rows = view.Pixels();
  for (int y = 0; y < 6; ++y) std::fill_n(rows.Row(y), 10, 0x00336699U);
  ASSERT_TRUE(api.DrawIconEx(view.Dc(), 1, 1, after.hCursor, 8, 8, 0, 0, win::DI_NORMAL));
  const char* expected[] = {"__________", "_WWKKWW___", "_WWKKWW___",
                            "_KKWWKKWW_", "_KKWWKKWW_", "__________"};
  ExpectPixels(rows, [&](int x, int y) {  // drawn at once: no frame planned into the view
    const char c = expected[y][x];
    return c == 'W' ? 0xFFFFFFU : c == 'K' ? 0U : 0x336699U;
  });
  EXPECT_TRUE(api.DeleteObject(icon.hbmMask));
  EXPECT_TRUE(api.DeleteObject(icon.hbmColor));
  EXPECT_FALSE(api.DeleteObject(0x12345));
  XUndefineCursor(display_, root_);
  XFreeCursor(display_, cursor);
  XFreePixmap(display_, s);
  XFreePixmap(display_, m);
}

// On a Wayland desktop: the screen, the pointer and the monitors are the screen cast's,
// read from its memory without a request to the server; the pointer is never slowed.
TEST_F(X11Server, ScreenCastIsTheScreenThePointerAndTheMonitors) {
  std::vector<std::uint32_t> frame(16 * 8);
  for (int i = 0; i < 16 * 8; ++i) frame[static_cast<std::size_t>(i)] = Pattern(i % 16, i / 16);
  wayland::CastScreen cast;
  cast.Monitors() = {{.origin = {0, 0},
                      .width = 16,
                      .height = 8,
                      .pixels = reinterpret_cast<const std::uint8_t*>(frame.data()),
                      .stride = 16 * 4,
                      .frameWidth = 16,
                      .frameHeight = 8},
                     {.origin = {16, 0}, .width = 8, .height = 8}};  // no frame from it yet
  X11Api api(display_, host_, &cast);
  EXPECT_EQ(api.GetSystemMetrics(win::SM_CMONITORS), 2);
  EXPECT_EQ(api.GetSystemMetrics(win::SM_CXVIRTUALSCREEN), 24);
  EXPECT_EQ(api.GetSystemMetrics(win::SM_CYVIRTUALSCREEN), 8);
  EXPECT_EQ(api.GetSystemMetrics(0), 16) << "the primary monitor, at the origin";

  Point at;
  ASSERT_TRUE(api.GetCursorPos(&at));
  EXPECT_EQ(at, Pointer()) << "before any metadata: the server's answer";
  cast.PointerAt(0, {3, 2}, {1, 0});
  const std::uint8_t image[] = {0, 0, 255, 255, 0, 0, 0, 0};  // an opaque blue pixel, a clear one
  cast.PointerImage(image, 2, 1, 8, wayland::ImageBytes::kRgba, true);
  CursorInfo cursor;
  ASSERT_TRUE(api.GetCursorInfo(&cursor));
  EXPECT_EQ(cursor.ptScreenPos, (Point{3, 2}));
  IconInfo icon;
  ASSERT_TRUE(api.GetIconInfo(cursor.hCursor, &icon));
  EXPECT_EQ(icon.xHotspot, 1U);
  BitmapInfo colour;
  ASSERT_EQ(api.GetObject(icon.hbmColor, sizeof(colour), &colour),
            static_cast<int>(sizeof(colour)));
  EXPECT_EQ(colour.bmWidth, 2);

  X11Image view(display_);
  ASSERT_TRUE(view.Resize(12, 6));
  const auto stretch = [&] {
    ASSERT_TRUE(api.StretchBlt(view.Dc(), 0, 0, 12, 6, api.GetDC(0), 2, 1, 4, 2, win::SRCCOPY));
  };
  stretch();
  ASSERT_TRUE(api.DrawIconEx(view.Dc(), 3, 3, cursor.hCursor, 6, 3, 0, 0, win::DI_NORMAL));
  EXPECT_EQ(view.Pixel(11, 5), Pattern(5, 2) & 0xFFFFFFU);
  EXPECT_EQ(view.Pixel(2, 2), Pattern(2, 1) & 0xFFFFFFU);
  EXPECT_EQ(view.Pixel(3, 3), 0x0000FFU) << "the pointer, three times as large";
  EXPECT_EQ(view.Pixel(6, 5), Pattern(4, 2) & 0xFFFFFFU) << "under its clear pixel";

  const unsigned long requests = XNextRequest(display_);
  frame[16 + 2] = 0x112233;  // (2, 1) changed, no frame said so: the capture stays
  stretch();
  EXPECT_EQ(view.Pixel(0, 0), Pattern(2, 1) & 0xFFFFFFU);
  cast.Changed();
  stretch();
  EXPECT_EQ(view.Pixel(0, 0), 0x112233U);
  EXPECT_EQ(api.GetPixel(api.GetDC(0), 2, 1), SwapRedBlue(0x112233));
  EXPECT_EQ(XNextRequest(display_), requests) << "the cast's frames cost the server nothing";
  EXPECT_EQ(api.GetPixel(api.GetDC(0), 16, 0), win::CLR_INVALID) << "no frame there yet";
  EXPECT_EQ(api.GetPixel(api.GetDC(0), 24, 0), win::CLR_INVALID);

  X11Image still(display_);  // frozen: the whole desktop, black where no frame is
  ASSERT_TRUE(still.Resize(24, 8));
  ASSERT_TRUE(api.BitBlt(still.Dc(), 0, 0, 24, 8, api.GetDC(0), 0, 0, win::SRCCOPY));
  EXPECT_EQ(still.Pixel(2, 1), 0x112233U);
  EXPECT_EQ(still.Pixel(15, 7), Pattern(15, 7) & 0xFFFFFFU);
  EXPECT_EQ(still.Pixel(20, 3), 0U);

  std::int32_t speed = 0;
  EXPECT_FALSE(api.GetMouseSpeed(&speed));
  EXPECT_FALSE(api.SetMouseSpeed(1));
}

TEST_F(X11Server, MonitorsAndWorkAreaOfTheRoot) {
  const Rect root{0, 0, 1280, 1024};
  Monitors monitors = ReadMonitors(display_);
  EXPECT_EQ(monitors.desktop, root);
  EXPECT_EQ(monitors.primary, root);  // Xvfb's one monitor, or the root where it counts none
  EXPECT_EQ(monitors.workArea, root);

  // Two desktops, the second current; its work area leaves a panel on top.
  const Atom desktop = XInternAtom(display_, "_NET_CURRENT_DESKTOP", False);
  const Atom workArea = XInternAtom(display_, "_NET_WORKAREA", False);
  auto set = [&](Atom atom, const std::vector<long>& values) {
    XChangeProperty(display_, root_, atom, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values.data()),
                    static_cast<int>(values.size()));
  };
  set(desktop, {1});
  set(workArea, {0, 0, 1280, 1024, 10, 30, 1200, 900});
  EXPECT_EQ(ReadMonitors(display_).workArea, (Rect{10, 30, 1210, 930}));
  set(desktop, {5});  // beyond the work areas given
  set(workArea, {10, 30, 1200, 900});
  EXPECT_EQ(ReadMonitors(display_).workArea, (Rect{10, 30, 1210, 930}));  // the first then

  X11Api api(display_, host_);
  EXPECT_GE(api.GetSystemMetrics(win::SM_CMONITORS), 1);
  EXPECT_EQ(api.GetSystemMetrics(win::SM_XVIRTUALSCREEN), 0);
  EXPECT_EQ(api.GetSystemMetrics(win::SM_YVIRTUALSCREEN), 0);
  EXPECT_EQ(api.GetSystemMetrics(win::SM_CXVIRTUALSCREEN), 1280);
  EXPECT_EQ(api.GetSystemMetrics(win::SM_CYVIRTUALSCREEN), 1024);
  EXPECT_EQ(api.GetSystemMetrics(0), 1280);
  EXPECT_EQ(api.GetSystemMetrics(1), 1024);
  XDeleteProperty(display_, root_, desktop);
  XDeleteProperty(display_, root_, workArea);
  EXPECT_EQ(ReadMonitors(display_).workArea, root);
}

TEST_F(X11Server, SlowedPointerGoesAThirdOfTheWayExactly) {
  int codes[4] = {};  // its event and error base, its version
  ASSERT_TRUE(XTestQueryExtension(display_, &codes[0], &codes[1], &codes[2], &codes[3]));
  XChangePointerControl(display_, True, True, 1, 1, 1);  // no acceleration
  XWarpPointer(display_, None, root_, 0, 0, 0, 0, 100, 500);
  X11Api api(display_, host_);
  std::int32_t speed = 0;
  ASSERT_TRUE(api.GetMouseSpeed(&speed));
  EXPECT_EQ(speed, X11Api::kFullSpeed);
  auto move = [&](int steps, int dx, int dy) {
    for (int i = 0; i < steps; ++i) {
      XTestFakeRelativeMotionEvent(display_, dx, dy, CurrentTime);
      if (i % 8 == 7) Pump(api);
    }
    Pump(api);
  };
  ASSERT_TRUE(api.SetMouseSpeed(X11Api::kFullSpeed / 3));
  move(2520, 1, 0);  // a third of a pixel each: the fractions add up to 840 exactly
  EXPECT_EQ(Pointer(), (Point{940, 500}));
  move(30, 0, -1);
  move(15, -2, 0);
  EXPECT_EQ(Pointer(), (Point{930, 490}));

  ASSERT_TRUE(api.SetMouseSpeed(X11Api::kFullSpeed));
  move(30, 1, 1);
  EXPECT_EQ(Pointer(), (Point{960, 520}));
}

TEST_F(X11Server, SettingsFolderFilesWindowsAndBrowser) {
  X11Api api(display_, host_);
  Handle list = 99;
  EXPECT_EQ(api.SHGetSpecialFolderLocation(0, 5, &list), static_cast<std::int32_t>(0x80070057U));
  EXPECT_EQ(list, 0U);
  ASSERT_EQ(api.SHGetSpecialFolderLocation(0, 26, &list), 0);
  EXPECT_NE(list, 0U);
  auto folder = [&] {
    std::string path;
    EXPECT_TRUE(api.SHGetPathFromIDList(list, &path));
    return path;
  };
  const std::filesystem::path temp =
      std::filesystem::temp_directory_path() / ("vimo-x11-" + std::to_string(getpid()));
  setenv("HOME", (temp / "home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (temp / "config/").c_str(), 1);
  EXPECT_EQ(folder(), (temp / "config").string());
  setenv("XDG_CONFIG_HOME", "relative", 1);
  EXPECT_EQ(folder(), (temp / "home/.config").string());
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(folder(), (temp / "home/.config").string());
  api.CoTaskMemFree(list);

  ASSERT_TRUE(api.MakeSureDirectoryPathExists(folder() + "/Vimo/Vimo.ini"));
  EXPECT_TRUE(std::filesystem::is_directory(temp / "home/.config/Vimo"));
  EXPECT_FALSE(api.MakeSureDirectoryPathExists("/etc/passwd/below/a.ini"));  // a file in the way
  std::filesystem::remove_all(temp);

  EXPECT_FALSE(api.ExcludeFromCapture(7));
  Rect outer;
  ASSERT_TRUE(api.GetWindowRect(7, &outer));
  EXPECT_EQ(outer, (Rect{10, 20, 310, 220}));
  ASSERT_TRUE(api.SetWindowPos(7, win::HWND_TOPMOST, 40, 50, 0, 0, win::SWP_NOSIZE));
  EXPECT_EQ(host_.placed, (std::vector<Handle>{7, win::HWND_TOPMOST, 40, 50}));

  EXPECT_EQ(api.ShellExecute(0, "open", "https://vimo.example.org", "", "", 1), 33);
  EXPECT_EQ(host_.opened, "https://vimo.example.org");
  host_.browser = false;
  EXPECT_EQ(api.ShellExecute(0, "open", "https://vimo.example.org", "", "", 1), 2);
}

}  // namespace
}  // namespace vimo::x11
