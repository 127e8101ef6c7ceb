#pragma once

#include "core/platform/log_sink.h"

namespace quillon {

// The unified system log, subsystem "com.quillon.app". Lines are logged public: they
// carry tags, states and identifiers the user reads in Console when reporting a problem.
class OsLogSink final : public LogSink {
 public:
  // LogSink:
  void log(std::string_view line) override;
};

}  // namespace quillon
