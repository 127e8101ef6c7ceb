#pragma once

#include "core/platform/log_sink.h"

namespace quillon {

// Diagnostic lines on standard error, for tests and bug reports (QUILLON_LOG=stderr).
class StderrLogSink final : public LogSink {
 public:
  // LogSink:
  void log(std::string_view line) override;
};

}  // namespace quillon
