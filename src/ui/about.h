// The About window frmAbout: one object for the whole run. Its window is loaded on first
// use and again after every close, so the year and the version are read afresh each time.
#pragma once

#include <string>
#include <string_view>

#include "platform/toolkit.h"
#include "platform/win32_api.h"

namespace vimo {

// The address the shell is given for a homepage: a bare host gets "https://", since an
// address without a scheme opens no browser on most systems.
std::string HomepageUrl(std::string_view address);

class AboutWindow : public FormEvents {
 public:
  AboutWindow(Win32Api& api, Toolkit& toolkit, std::string_view homepage);

  // The About command: the window comes up topmost and modeless, owned by `owner`.
  void Open(Form& owner);
  // Reading the handle loads the window when it is not loaded.
  Handle hWnd();

  // Events.
  void OnCreate(Form& form) override;
  void OnLoad() override;
  void OnControlClick(std::string_view control) override;

 private:
  Win32Api& api_;
  Toolkit& toolkit_;
  std::string homepage_;
  Form* form_ = nullptr;
};

}  // namespace vimo
