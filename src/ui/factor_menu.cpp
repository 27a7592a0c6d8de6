// The magnification submenu: one checked item, equal to Factor.
#include "app/main_window.h"

namespace vimo {

void MainWindow::SetFactor(std::int16_t index) {
  const std::int16_t last = mag_->UBound();
  // An index without item fails here, before any check mark is cleared, so the menu
  // keeps showing the factor in force.
  MenuItem& chosen = mag_->Item(index);
  for (std::int16_t i = 1; i <= last; ++i) mag_->Item(i).SetChecked(false);
  chosen.SetChecked(true);
  s_.Factor = index;
  UpdateCaption();
  ItemsOf(&MagnifierState::GridOn).on->SetEnabled(index != 1);
  form_->Cls();
  ComputeLayout();
  form_->Refresh();
}

}  // namespace vimo
