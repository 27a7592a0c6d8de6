// The window procedure of every form: each message becomes the form's handling of it.
#include "platform/win32/win32_form.h"

namespace vimo::win32 {

LRESULT CALLBACK Win32Form::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* form = static_cast<Win32Form*>(create->lpCreateParams);
    form->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (form == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  // Nothing may unwind through the system's frames.
  try {
    return form->HandleMessage(message, wParam, lParam);
  } catch (const std::exception& failure) {
    form->toolkit_.Events().Record(failure.what());
  } catch (...) {
    form->toolkit_.Events().Record("unknown failure in the window procedure");
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Win32Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND hwnd = hwnd_;
  switch (message) {
    case WM_ERASEBKGND:
      EraseBackground(reinterpret_cast<HDC>(wParam));
      return 1;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_SIZE:
      if (!showing_) Deliver([&] { events_.OnResize(); });
      return 0;
    case WM_DPICHANGED:
      DpiChanged(wParam);
      return 0;
    case WM_LBUTTONDOWN:
      MouseDown(kLeftButton, wParam, lParam);
      return 0;
    case WM_RBUTTONDOWN:
      MouseDown(kRightButton, wParam, lParam);
      return 0;
    case WM_MBUTTONDOWN:
      MouseDown(kMiddleButton, wParam, lParam);
      return 0;
    case WM_LBUTTONUP:
      MouseUp(kLeftButton, wParam, lParam);
      return 0;
    case WM_RBUTTONUP:
      MouseUp(kRightButton, wParam, lParam);
      return 0;
    case WM_MBUTTONUP:
      MouseUp(kMiddleButton, wParam, lParam);
      return 0;
    case WM_MOUSEMOVE:
      MouseMove(wParam, lParam);
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != hwnd) router_.Reset();
      return 0;
    case WM_CHAR:
      KeyPress(wParam);
      return 0;
    case WM_KEYUP:
      KeyUp(wParam);
      return 0;
    case WM_MOUSEWHEEL:
      if (Wheel(wParam, lParam)) return 0;
      break;
    case WM_TIMER:
      TimerFired(wParam);
      return 0;
    case WM_COMMAND:
      Command(wParam);
      return 0;
    case DM_GETDEFID:
      for (const Button& button : buttons_) {
        if (button.isDefault) return MAKELRESULT(button.id, DC_HASDEFID);
      }
      break;
    case WM_CLOSE:
      RunUnload();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      // The session ends with this message: the same steps as a close, settings and all.
      if (wParam != FALSE) RunUnload();
      return 0;
    case WM_DESTROY:
      ready_ = false;
      for (const Timer& timer : timers_) KillTimer(hwnd, timer.id);
      router_.Reset();
      if (toolkit_.IsMainForm(*this)) PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      ReleaseResources();
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      return DefWindowProcW(hwnd, message, wParam, lParam);
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace vimo::win32
