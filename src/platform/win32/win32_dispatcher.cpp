#include "platform/win32/win32_dispatcher.h"

#include <windows.h>

#include "platform/win32/win32_text.h"

namespace vimo::win32 {

void Dispatcher::Record(const char* what) noexcept {
  ++failures_;
  try {
    last_ = what;
    const std::wstring line = L"Vimo: an event handler failed: " + Widen(last_) + L"\n";
    OutputDebugStringW(line.c_str());
  } catch (...) {
    OutputDebugStringW(L"Vimo: an event handler failed\n");
  }
}

void Dispatcher::Failed(FormEvents& events, const char* what) noexcept {
  Record(what);
  try {
    events.OnHandlerFailure(what);
  } catch (const std::exception& failure) {
    Record(failure.what());
  } catch (...) {
    Record("unknown failure in the failure handler");
  }
}

}  // namespace vimo::win32
