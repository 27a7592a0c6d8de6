// Every event handler runs through the dispatcher: whatever a handler lets escape is
// caught here, recorded, reported to the form's OnHandlerFailure (itself guarded), and
// Vimo runs on.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "platform/toolkit.h"

namespace vimo {

class Dispatcher {
 public:
  // Where a backend also reports each failure (a debug log); may be null.
  using Sink = void (*)(std::string_view what);
  explicit Dispatcher(Sink sink = nullptr) : sink_(sink) {}

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
  void Record(std::string_view what) noexcept;
  // The most recent failures, oldest first (at most kKeep).
  const std::vector<std::string>& Failures() const { return failures_; }

  static constexpr std::size_t kKeep = 64;

 private:
  void Failed(FormEvents& events, const char* what) noexcept;

  Sink sink_;
  std::vector<std::string> failures_;
};

}  // namespace vimo
