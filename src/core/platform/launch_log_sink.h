#pragma once

#include <string_view>

namespace quillon {

// One diagnostic line to the system log, written exactly as given. Lines start with a
// bracketed tag ("[Quillon/startup] ..."); there are no levels.
class LaunchLogSink {
 public:
  LaunchLogSink() = default;
  LaunchLogSink(const LaunchLogSink&) = delete;
  LaunchLogSink& operator=(const LaunchLogSink&) = delete;
  virtual ~LaunchLogSink() = default;

  virtual void log(std::string_view line) = 0;
};

}  // namespace quillon
