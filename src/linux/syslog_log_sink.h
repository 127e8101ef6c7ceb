#pragma once

#include "core/platform/launch_log_sink.h"

namespace quillon {

// The system log through syslog(3); on a systemd machine the lines reach the journal
// under the identifier "quillon".
class SyslogLogSink final : public LaunchLogSink {
 public:
  SyslogLogSink();
  ~SyslogLogSink() override;

  // LaunchLogSink:
  void log(std::string_view line) override;
};

}  // namespace quillon
