#include <string>

#include "app/main_window.h"

namespace vimo {

void MainWindow::UpdateCaption() {
  const std::string factor = "Vimo (" + std::to_string(s_.Factor) + "x)";
  // A notice stands in place of "frozen", which stands in place of the hint.
  if (s_.NoticeTicks > 0) {
    form_->SetCaption(factor + "  " + s_.NoticeText);
  } else {
    form_->SetCaption(s_.Frozen == kTrue ? factor + "  frozen" : factor + s_.HintText);
  }
}

}  // namespace vimo
