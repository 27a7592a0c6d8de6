// Menu commands and the plain option switches. The options themselves are the rows of
// SettingsTable() (settings/settings.cpp) that have a flag.
#include <stdexcept>

#include "app/main_window.h"
#include "platform/win32_constants.h"

namespace vimo {
namespace {

// Topmost changes neither move, size nor activate the window, and show it.
constexpr std::uint32_t kTopmostFlags =
    win::SWP_NOSIZE | win::SWP_NOMOVE | win::SWP_NOACTIVATE | win::SWP_SHOWWINDOW;

}  // namespace

void MainWindow::OnMenuClick(std::string_view name, std::int16_t index) {
  if (name == "Mag") {
    SetFactor(index);
    return;
  }
  if (name == "GridColor") {
    GridColorClick();
    return;
  }
  if (name == "About") {
    AboutClick();
    return;
  }
  if (name == "Freeze") {
    FreezeMenuClick();
    return;
  }
  if (name == "PixelInfo") {
    PixelInfoClick();
    return;
  }
  // An option's item toggles its flag; of a pair, the item sets it on, the other off.
  for (const Setting& row : SettingsTable()) {
    if (row.item == nullptr) continue;
    Flag& flag = s_.*row.flag;
    if (name == row.item) {
      flag = row.offItem != nullptr ? kTrue : Complement(flag);
    } else if (row.offItem != nullptr && name == row.offItem) {
      flag = kFalse;
    } else {
      continue;
    }
    ApplyOption(row);
    return;
  }
}

MainWindow::OptionItems& MainWindow::ItemsOf(Flag MagnifierState::*flag) {
  const std::span<const Setting> rows = SettingsTable();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].flag == flag) return optionItems_.at(i);
  }
  throw std::logic_error("not an option of the settings table");
}

void MainWindow::ApplyOption(const Setting& row) {
  if (row.apply != nullptr) {
    (this->*row.apply)();
  } else {
    MarkOption(row.flag);
  }
}

// The item is checked while the flag is on; the other item of a pair while it is off.
void MainWindow::MarkOption(Flag MagnifierState::*flag) {
  const OptionItems& items = ItemsOf(flag);
  items.on->SetChecked(s_.*flag != kFalse);
  if (items.off != nullptr) items.off->SetChecked(Complement(s_.*flag) != kFalse);
}

void MainWindow::ApplyOnTop() {
  const Handle hwnd = form_->hWnd();
  if (s_.OnTopOn != kFalse) {
    api_.SetWindowPos(hwnd, win::HWND_TOPMOST, 0, 0, 0, 0, kTopmostFlags);
    MarkOption(&MagnifierState::OnTopOn);
  } else {
    MarkOption(&MagnifierState::OnTopOn);
    api_.SetWindowPos(hwnd, win::HWND_NOTOPMOST, 0, 0, 0, 0, kTopmostFlags);
  }
}

void MainWindow::ApplyStick() { MarkOption(&MagnifierState::Sticky); }

void MainWindow::ApplyCentered() { MarkOption(&MagnifierState::Centered); }

void MainWindow::ApplyPointer() { MarkOption(&MagnifierState::PointerOn); }

void MainWindow::ApplyGrid() {
  MarkOption(&MagnifierState::GridOn);
  ComputeLayout();
  RenderFrame();
}

}  // namespace vimo
