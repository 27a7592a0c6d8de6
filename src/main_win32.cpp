// Vimo's entry point on Windows: the real Win32 backend and the magnifier window.
#include <windows.h>

#include <exception>

#include "app/main_window.h"
#include "platform/win32/win32_api_impl.h"
#include "platform/win32/win32_toolkit.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
  vimo::win32::Win32ApiImpl api;
  vimo::win32::Win32Toolkit toolkit(instance);
  vimo::MainWindow app(api, toolkit);
  try {
    app.Start();
  } catch (const std::exception&) {
    // Start-up failed outside any event handler; carry on only if a window is up.
    OutputDebugStringW(L"Vimo: the main window could not be started\n");
    if (!toolkit.HasLiveForms()) return 1;
  }
  return toolkit.Run();
}
