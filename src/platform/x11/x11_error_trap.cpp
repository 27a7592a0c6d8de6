#include "platform/x11/x11_error_trap.h"

namespace vimo::x11 {
namespace {

ErrorTrap* active = nullptr;

}  // namespace

ErrorTrap::ErrorTrap(Display* display)
    : display_(display),
      first_(NextRequest(display)),
      previous_(XSetErrorHandler(&ErrorTrap::Handler)),
      outer_(active) {
  active = this;
}

ErrorTrap::~ErrorTrap() {
  active = outer_;
  XSetErrorHandler(previous_);
}

bool ErrorTrap::Failed(bool sync) {
  if (sync) XSync(display_, False);
  return code_ != 0;
}

int ErrorTrap::Handler(Display* display, XErrorEvent* error) {
  for (ErrorTrap* trap = active; trap != nullptr; trap = trap->outer_) {
    if (trap->display_ == display && error->serial >= trap->first_) {
      trap->code_ = error->error_code;
      return 0;
    }
  }
  // An error of someone else's request: the handler before the first trap decides.
  ErrorTrap* outermost = active;
  while (outermost != nullptr && outermost->outer_ != nullptr) outermost = outermost->outer_;
  return outermost != nullptr && outermost->previous_ != nullptr
             ? outermost->previous_(display, error)
             : 0;
}

}  // namespace vimo::x11
