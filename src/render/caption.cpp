#include <string>

#include "app/main_window.h"

namespace vimo {

void MainWindow::UpdateCaption() {
  const std::string factor = "Vimo (" + std::to_string(s_.Factor) + "x)";
  form_->SetCaption(s_.NoticeTicks > 0 ? factor + "  " + s_.NoticeText : factor + s_.HintText);
}

}  // namespace vimo
