// The About window: version, copyright year and the homepage link.
#include "ui/about.h"

#include <string>

#include "app/main_window.h"
#include "platform/win32_constants.h"
#include "ui/designs.h"
#include "version.h"

namespace vimo {
namespace {

constexpr const char* kCopyrightPrefix = "\u00A9 2026 Vimo team - ";
constexpr int kShowNormal = 1;  // SW_SHOWNORMAL
// Topmost and shown, neither moved, sized nor activated.
constexpr std::uint32_t kTopmostShow =
    win::SWP_NOSIZE | win::SWP_NOMOVE | win::SWP_NOACTIVATE | win::SWP_SHOWWINDOW;

bool HasScheme(std::string_view address) {
  const std::size_t end = address.find("://");
  if (end == std::string_view::npos || end == 0) return false;
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (!letter(address[0])) return false;
  for (const char c : address.substr(0, end)) {
    if (!letter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

}  // namespace

std::string HomepageUrl(std::string_view address) {
  if (HasScheme(address)) return std::string(address);
  return "https://" + std::string(address);
}

AboutWindow::AboutWindow(Win32Api& api, Toolkit& toolkit, std::string_view homepage)
    : api_(api), toolkit_(toolkit), homepage_(homepage) {}

Handle AboutWindow::hWnd() {
  if (form_ == nullptr || !form_->Loaded()) toolkit_.LoadForm(AboutDesign(), *this);
  return form_->hWnd();
}

void AboutWindow::Open(Form& owner) {
  const Handle hwnd = hWnd();
  api_.SetWindowPos(hwnd, win::HWND_TOPMOST, 0, 0, 0, 0, kTopmostShow);
  form_->ShowModeless(owner);
}

void AboutWindow::OnCreate(Form& form) { form_ = &form; }

void AboutWindow::OnLoad() {
  form_->LabelControl("lblCopyright")
      .SetCaption(kCopyrightPrefix + std::to_string(toolkit_.CurrentYear()));
  form_->LabelControl("lblVersion")
      .SetCaption("Version " + std::to_string(toolkit_.VersionMajor()) + "." +
                  std::to_string(toolkit_.VersionMinor()));
}

void AboutWindow::OnControlClick(std::string_view control) {
  if (control == "cmdClose") {
    form_->Unload();
  } else if (control == "lblHomepage") {
    api_.ShellExecute(0, "open", HomepageUrl(homepage_), "", "", kShowNormal);
  }
}

}  // namespace vimo

namespace vimo {

void MainWindow::AboutClick() {
  if (!frmAbout_) frmAbout_ = std::make_unique<AboutWindow>(api_, toolkit_, VIMO_HOMEPAGE);
  frmAbout_->Open(*form_);
}

}  // namespace vimo
