// Every event handler runs through the dispatcher: whatever a handler lets escape is
// caught here, recorded, reported to the form's OnHandlerFailure, and Vimo runs on.
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "platform/toolkit.h"

namespace vimo::win32 {

class Dispatcher {
 public:
  template <typename Handler>
  void Deliver(FormEvents& events, Handler&& handler) noexcept {
    try {
      handler();
    } catch (const std::exception& failure) {
      Failed(events, failure.what());
    } catch (...) {
      Failed(events, "unknown failure");
    }
  }

  // A failure that escaped the toolkit itself rather than a handler.
  void Record(const char* what) noexcept;

  int FailureCount() const { return failures_; }
  const std::string& LastFailure() const { return last_; }

 private:
  void Failed(FormEvents& events, const char* what) noexcept;

  int failures_ = 0;
  std::string last_;
};

}  // namespace vimo::win32
