#include <string>

#include "app/main_window.h"

namespace vimo {

void MainWindow::UpdateCaption() {
  form_->SetCaption("Vimo (" + std::to_string(s_.Factor) + "x)" + s_.HintText);
}

}  // namespace vimo
