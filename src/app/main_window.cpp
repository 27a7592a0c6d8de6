#include "app/main_window.h"

#include "ui/designs.h"

namespace vimo {

MainWindow::MainWindow(Win32Api& api, Toolkit& toolkit)
    : api_(api), toolkit_(toolkit), screen_(toolkit.GetScreen()) {}

void MainWindow::Start() {
  Form& form = toolkit_.LoadForm(MainDesign(), *this);
  form.Show();
}

void MainWindow::OnCreate(Form& form) {
  // Controls and menu items are looked up once; the tick never searches by name.
  form_ = &form;
  buffPic_ = &form.Picture("BuffPic");
  stillPic_ = &form.Picture("StillPic");
  freezeItem_ = &form.Menu("Freeze");
  label1_ = &form.LabelControl("Label1");
  label2_ = &form.LabelControl("Label2");
  shape1_ = &form.ShapeControl("Shape1");
  pop_ = &form.Menu("Pop");
  mag_ = &form.MenuArray("Mag");
  optionItems_.clear();
  for (const Setting& row : SettingsTable()) {
    optionItems_.push_back({row.item != nullptr ? &form.Menu(row.item) : nullptr,
                            row.offItem != nullptr ? &form.Menu(row.offItem) : nullptr});
  }
}

void MainWindow::OnTimer(std::string_view name) {
  if (name == "Timer") Tick();
}

void MainWindow::OnHandlerFailure(std::string_view /*what*/) {
  // Whatever went wrong, the user's mouse must not stay slowed.
  if (s_.MouseSlowed == kTrue) RestoreMouseSpeed();
}

}  // namespace vimo
