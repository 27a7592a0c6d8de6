// The grid colour: chosen in the colour dialog, kept as BuffPic's foreground colour.
#include <exception>

#include "app/main_window.h"

namespace vimo {
namespace {

constexpr std::int32_t kCcRgbInit = 1;  // open with the dialog's current colour selected

}  // namespace

void MainWindow::GridColorClick() {
  try {
    CommonDialog& dialog = form_->Dialog("CommonDialog");
    dialog.SetFlags(kCcRgbInit);
    dialog.SetCancelError(true);
    dialog.ShowColor();
    buffPic_->SetForeColor(dialog.Color());
    RenderFrame();
  } catch (const std::exception&) {
    // Cancel, or any other failure: the grid keeps its colour and nothing is reported.
  }
}

}  // namespace vimo
