// The window toolkit over user32 and gdi32: forms built from designs, the event
// dispatcher, the screen and the message loop.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "platform/dispatcher.h"
#include "platform/toolkit.h"

namespace vimo::win32 {

class Win32Form;

// At the system's scale until the main window is moved to a monitor of another.
class Win32Screen final : public Screen {
 public:
  Win32Screen();
  float Width() const override;
  float Height() const override;
  float TwipsPerPixelX() const override { return twipsPerPixelX_; }
  float TwipsPerPixelY() const override { return twipsPerPixelY_; }
  void Follow(float tppX, float tppY) {
    twipsPerPixelX_ = tppX;
    twipsPerPixelY_ = tppY;
  }

 private:
  float twipsPerPixelX_ = 15.0F;
  float twipsPerPixelY_ = 15.0F;
};

class Win32Toolkit final : public Toolkit {
 public:
  explicit Win32Toolkit(HINSTANCE instance);
  ~Win32Toolkit() override;
  Win32Toolkit(const Win32Toolkit&) = delete;
  Win32Toolkit& operator=(const Win32Toolkit&) = delete;

  // MessageBoxW, owned by the thread's active window (or none).
  int MsgBox(std::string_view text, int style, std::string_view title) override;
  Screen& GetScreen() override { return screen_; }
  Form& LoadForm(const FormDesign& design, FormEvents& events) override;
  int VersionMajor() const override;
  int VersionMinor() const override;
  int CurrentYear() const override;

  // The message loop; returns the exit code once the first form's window is gone.
  int Run();

  // True while some form still has its window.
  bool HasLiveForms() const;

  // For the forms.
  HINSTANCE Instance() const { return instance_; }
  Dispatcher& Events() { return dispatcher_; }
  Win32Screen& ScreenMetrics() { return screen_; }
  const wchar_t* WindowClass(bool greenPointer) const;
  // The window that owns forms kept out of the taskbar.
  HWND OwnerFor(const Win32Form& form);
  bool IsMainForm(const Win32Form& form) const { return main_ == &form; }
  // Whether forms deliver events (false once the toolkit is shutting down).
  bool Delivering() const { return delivering_; }
  // Loads comctl32 for the label tooltips; false where it cannot be had.
  bool TooltipsAvailable();
  // Enter, Escape and Tab for forms with command buttons; true when the message was
  // used up. Any message loop of Vimo's calls it before TranslateMessage.
  bool IsDialogKey(MSG& msg);

 private:
  void RegisterClasses();
  // Each failure the dispatcher catches goes to the debugger's output.
  static void DebugLog(std::string_view what);

  HINSTANCE instance_;
  Win32Screen screen_;
  Dispatcher dispatcher_{&DebugLog};
  std::vector<std::unique_ptr<Win32Form>> forms_;  // unloaded forms stay as husks
  Win32Form* main_ = nullptr;
  HCURSOR greenPointer_ = nullptr;
  HWND hiddenOwner_ = nullptr;
  int tooltipState_ = 0;  // 0 not tried, 1 available, -1 not available
  bool delivering_ = true;
};

// Vimo's own pointer (platform/green_pointer.h); the caller destroys it with DestroyCursor.
HCURSOR CreateGreenPointer();

}  // namespace vimo::win32
