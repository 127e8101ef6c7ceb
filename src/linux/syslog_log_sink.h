#pragma once

#include "core/platform/log_sink.h"

namespace quillon {

// The system log through syslog(3); on a systemd machine the lines reach the journal
// under the identifier "quillon".
class SyslogLogSink final : public LogSink {
 public:
  SyslogLogSink();
  ~SyslogLogSink() override;

  // LogSink:
  void log(std::string_view line) override;
};

}  // namespace quillon
