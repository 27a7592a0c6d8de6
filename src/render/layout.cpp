// The view layout: whole Factor x Factor blocks inside a 1-pixel frame, less the
// read-out band while measuring.
#include <cmath>

#include "app/arith.h"
#include "app/main_window.h"

namespace vimo {
namespace {

constexpr int kBandMargin = 26;  // 24-pixel read-out band plus the frame's 2 pixels
constexpr int kPlainMargin = 2;  // the frame's 2 pixels
constexpr float kLabel1FromBottom = 24.0F;
constexpr float kLabel2FromBottom = 12.0F;

// Whole blocks that fit; a client too small for one block gives none, never fewer.
std::int32_t Blocks(float client, int margin, int factor) {
  const double n = std::floor((static_cast<double>(client) - margin) / factor);
  return n > 0 ? ToInt32(n) : 0;
}

}  // namespace

bool MainWindow::GridMode() const { return s_.GridOn == kTrue && s_.Factor > 1; }

void MainWindow::ComputeLayout() {
  if (s_.Factor < 1) return;  // before the load handler has set a factor
  // Locked, whose value LockMen's check mark always shows (ApplyLock sets it from the flag).
  const int bottom = (s_.MeasureOn == kTrue && s_.Locked != kFalse) ? kBandMargin : kPlainMargin;
  const int allowance = GridMode() ? 1 : 2;
  const std::int32_t f = s_.Factor;

  const std::int32_t n = Blocks(form_->ScaleWidth(), kPlainMargin, f);
  shape1_->SetWidth(static_cast<float>(n * f + allowance));
  const std::int32_t m = Blocks(form_->ScaleHeight(), bottom, f);
  shape1_->SetHeight(static_cast<float>(m * f + allowance));

  s_.ViewWidth = ToInt16(n * f);
  s_.ViewHeight = ToInt16(m * f);
  s_.SrcWidth = static_cast<std::int16_t>(s_.ViewWidth / f);
  s_.SrcHeight = static_cast<std::int16_t>(s_.ViewHeight / f);
  ReserveGrid();
}

void MainWindow::OnResize() {
  label1_->SetTop(form_->ScaleHeight() - kLabel1FromBottom);
  label1_->SetWidth(form_->ScaleWidth());
  label2_->SetTop(form_->ScaleHeight() - kLabel2FromBottom);
  label2_->SetWidth(form_->ScaleWidth());
  if (form_->State() == WindowState::kNormal) {
    form_->Cls();
    if (form_->ScaleHeight() > 1) ComputeLayout();
    form_->Refresh();
  }
  buffPic_->SetWidth(form_->ScaleWidth());
  buffPic_->SetHeight(form_->ScaleHeight());
}

void MainWindow::OnPaint() { RenderFrame(); }

}  // namespace vimo
