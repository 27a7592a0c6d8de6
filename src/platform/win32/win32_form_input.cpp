// A form's input: the mouse routed to the form and its labels, keys, command buttons and
// timers, each delivered as an event through the dispatcher.
#include "platform/win32/win32_form.h"
#include "platform/win32/win32_support.h"

#include <windowsx.h>

#include <cstring>
#include <string>
#include <vector>

namespace vimo::win32 {
namespace {

std::int16_t KeyShift() {
  std::int16_t shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= 1;
  if (GetKeyState(VK_CONTROL) < 0) shift |= 2;
  if (GetKeyState(VK_MENU) < 0) shift |= 4;
  return shift;
}

std::int16_t MouseShift(WPARAM wParam) {
  std::int16_t shift = 0;
  if ((wParam & MK_SHIFT) != 0) shift |= 1;
  if ((wParam & MK_CONTROL) != 0) shift |= 2;
  if (GetKeyState(VK_MENU) < 0) shift |= 4;
  return shift;
}

std::int16_t HeldButtons(WPARAM wParam) {
  std::int16_t buttons = 0;
  if ((wParam & MK_LBUTTON) != 0) buttons |= kLeftButton;
  if ((wParam & MK_RBUTTON) != 0) buttons |= kRightButton;
  if ((wParam & MK_MBUTTON) != 0) buttons |= kMiddleButton;
  return buttons;
}

POINT MousePoint(LPARAM lParam) {
  return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

}  // namespace

MouseHit Win32Form::HitAt(POINT point) const {
  RECT client{};
  GetClientRect(hwnd_, &client);
  return HitLabels(labels_, {point.x, point.y}, PtInRect(&client, point) != FALSE);
}

void Win32Form::Raise(const MouseEvents& events) {
  for (const MouseEvent& event : events) Deliver([&] { vimo::Raise(events_, event); });
}

void Win32Form::MouseDown(std::int16_t button, WPARAM wParam, LPARAM lParam) {
  const POINT at = MousePoint(lParam);
  if (!router_.Holding()) SetCapture(hwnd_);
  Raise(router_.Down(button, MouseShift(wParam), {at.x, at.y}, HitAt(at)));
}

void Win32Form::MouseUp(std::int16_t button, WPARAM wParam, LPARAM lParam) {
  const POINT at = MousePoint(lParam);
  const bool held = router_.Holding();
  const MouseEvents events = router_.Up(button, MouseShift(wParam), {at.x, at.y}, HitAt(at));
  if (held && !router_.Holding()) ReleaseCapture();
  Raise(events);
}

void Win32Form::MouseMove(WPARAM wParam, LPARAM lParam) {
  const POINT at = MousePoint(lParam);
  Raise(router_.Move(HeldButtons(wParam), MouseShift(wParam), {at.x, at.y}, HitAt(at)));
}

// Buttons, and Enter and Escape through the dialog keys. Menu commands never come this
// way: PopupMenu delivers them itself.
void Win32Form::Command(WPARAM wParam) {
  const int id = LOWORD(wParam);
  if (HIWORD(wParam) != BN_CLICKED) return;
  for (const Button& button : buttons_) {
    if (button.id == id || (id == IDOK && button.isDefault) ||
        (id == IDCANCEL && button.isCancel)) {
      const std::string name = button.name;
      Deliver([&] { events_.OnControlClick(name); });
      return;
    }
  }
}

void Win32Form::KeyPress(WPARAM wParam) {
  auto key = static_cast<std::int16_t>(wParam);
  Deliver([&] { events_.OnKeyPress(key); });
}

void Win32Form::KeyUp(WPARAM wParam) {
  const auto key = static_cast<std::int16_t>(wParam);
  const std::int16_t shift = KeyShift();
  Deliver([&] { events_.OnKeyUp(key, shift); });
}

// The wheel goes to the focused window wherever the pointer is; it turns the factor only
// over this window (its point is on the screen).
bool Win32Form::Wheel(WPARAM wParam, LPARAM lParam) {
  const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  RECT window{};
  if (GetWindowRect(hwnd_, &window) == FALSE || PtInRect(&window, at) == FALSE) return false;
  const std::int32_t delta = GET_WHEEL_DELTA_WPARAM(wParam);
  Deliver([&] { events_.OnMouseWheel(delta); });
  return true;
}

namespace {

// The clipboard is opened for this window; another program holding it open refuses.
class ClipboardLease {
 public:
  explicit ClipboardLease(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  ~ClipboardLease() {
    if (open_) CloseClipboard();
  }
  ClipboardLease(const ClipboardLease&) = delete;
  ClipboardLease& operator=(const ClipboardLease&) = delete;
  bool Open() const { return open_; }

  // Hands `bytes` to the clipboard as `format`; what was on it goes.
  bool Put(UINT format, const void* bytes, std::size_t size) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (memory == nullptr) return false;
    void* at = GlobalLock(memory);
    if (at == nullptr) {
      GlobalFree(memory);
      return false;
    }
    std::memcpy(at, bytes, size);
    GlobalUnlock(memory);
    if (EmptyClipboard() == FALSE || SetClipboardData(format, memory) == nullptr) {
      GlobalFree(memory);  // still ours: the clipboard did not take it
      return false;
    }
    return true;
  }

 private:
  bool open_;
};

}  // namespace

bool Win32Form::SetClipboardText(std::string_view text) {
  ClipboardLease clipboard(LiveWindow());
  if (!clipboard.Open()) return false;
  // As Unicode text with Windows' line ends; the system gives CF_TEXT to those who ask.
  std::string lines;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) lines += '\r';
    lines += text[i];
  }
  const std::wstring wide = Widen(lines);
  return clipboard.Put(CF_UNICODETEXT, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
}

// A 24-bit bottom-up CF_DIB, which every program that pastes pictures reads (a 32-bit one
// is taken by some as transparent).
bool Win32Form::SetClipboardImage(const PixelRows& image) {
  if (image.width <= 0 || image.height <= 0) return true;
  ClipboardLease clipboard(LiveWindow());
  if (!clipboard.Open()) return false;
  const std::size_t stride = (static_cast<std::size_t>(image.width) * 3 + 3) & ~std::size_t{3};
  std::vector<BYTE> dib(sizeof(BITMAPINFOHEADER) + stride * static_cast<std::size_t>(image.height));
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = image.width;
  header.biHeight = image.height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(dib.size() - sizeof(header));
  std::memcpy(dib.data(), &header, sizeof(header));
  for (int y = 0; y < image.height; ++y) {
    BYTE* out =
        dib.data() + sizeof(header) + stride * static_cast<std::size_t>(image.height - 1 - y);
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t v = image.Rgb(image.Row(y)[x]);
      *out++ = static_cast<BYTE>(v);        // blue
      *out++ = static_cast<BYTE>(v >> 8);   // green
      *out++ = static_cast<BYTE>(v >> 16);  // red
    }
  }
  return clipboard.Put(CF_DIB, dib.data(), dib.size());
}

void Win32Form::TimerFired(WPARAM id) {
  for (Timer& timer : timers_) {
    if (timer.id != id || timer.running) continue;
    timer.running = true;
    const std::string_view name = timer.name;  // timers_ never changes after load
    Deliver([&] { events_.OnTimer(name); });
    timer.running = false;
  }
}

}  // namespace vimo::win32
