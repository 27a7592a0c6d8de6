#include "platform/dispatcher.h"

namespace vimo {

void Dispatcher::Record(std::string_view what) noexcept {
  try {
    if (sink_ != nullptr) sink_(what);
    if (failures_.size() == kKeep) failures_.erase(failures_.begin());
    failures_.emplace_back(what);
  } catch (...) {
    // Out of memory: the failure goes unrecorded, the program goes on.
  }
}

void Dispatcher::Failed(FormEvents& events, const char* what) noexcept {
  Record(what);
  try {
    events.OnHandlerFailure(what);
  } catch (const std::exception& failure) {
    Record(failure.what());
  } catch (...) {
    Record("unknown failure in the failure handler");
  }
}

}  // namespace vimo
