#pragma once

#include <string_view>

namespace quillon {

// One diagnostic line to the system log, written exactly as given. Lines start with a
// bracketed tag ("[Quillon/startup] ..."); there are no levels.
class LogSink {
 public:
  LogSink() = default;
  LogSink(const LogSink&) = delete;
  LogSink& operator=(const LogSink&) = delete;
  virtual ~LogSink() = default;

  virtual void log(std::string_view line) = 0;
};

}  // namespace quillon
