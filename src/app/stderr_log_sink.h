#pragma once

#include "core/platform/launch_log_sink.h"

namespace quillon {

// Diagnostic lines on standard error, for tests and bug reports (QUILLON_LOG=stderr).
class StderrLogSink final : public LaunchLogSink {
 public:
  // LaunchLogSink:
  void log(std::string_view line) override;
};

}  // namespace quillon
