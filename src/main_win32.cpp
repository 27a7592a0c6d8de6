// Vimo's entry point on Windows: the real Win32 backend and the magnifier window.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <exception>

#include "app/main_window.h"
#include "platform/win32/win32_api_impl.h"
#include "platform/win32/win32_toolkit.h"

namespace {

// The magnifier's state, for the last-chance handlers below.
const vimo::MagnifierState* g_state = nullptr;

// However the process dies, a mouse speed Vimo reduced is given back first: the speed
// is system-wide and would otherwise outlive Vimo. Plain user32, no allocation.
void GiveBackMouseSpeed() {
  const vimo::MagnifierState* state = g_state;
  if (state == nullptr || state->MouseSlowed != vimo::kTrue) return;
  void* speed = reinterpret_cast<void*>(static_cast<std::intptr_t>(state->SavedMouseSpeed));
  SystemParametersInfoW(SPI_SETMOUSESPEED, 0, speed, 0);
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* /*exception*/) {
  GiveBackMouseSpeed();
  return EXCEPTION_CONTINUE_SEARCH;  // the system's own crash handling goes on
}

[[noreturn]] void OnTerminate() {
  GiveBackMouseSpeed();
  std::abort();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
  vimo::win32::Win32ApiImpl api;
  vimo::win32::Win32Toolkit toolkit(instance);
  vimo::MainWindow app(api, toolkit);
  g_state = &app.state();
  SetUnhandledExceptionFilter(&OnUnhandledException);
  std::set_terminate(&OnTerminate);
  bool started = true;
  try {
    app.Start();
  } catch (const std::exception&) {
    // Start-up failed outside any event handler; carry on only if a window is up.
    OutputDebugStringW(L"Vimo: the main window could not be started\n");
    started = toolkit.HasLiveForms();
  }
  const int code = started ? toolkit.Run() : 1;
  GiveBackMouseSpeed();
  g_state = nullptr;
  return code;
}
