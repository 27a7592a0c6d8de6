// The grid colour: chosen in the colour dialog, kept in the state as GridColor and
// given to BuffPic as its pen.
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
    s_.GridColor = dialog.Color();
    buffPic_->SetForeColor(s_.GridColor);
    RenderFrame();
  } catch (const std::exception&) {
    // Cancel, or any other failure: the grid keeps its colour and nothing is reported.
  }
}

}  // namespace vimo
