#include "linux/syslog_log_sink.h"

#include <syslog.h>

#include <string>

namespace quillon {

SyslogLogSink::SyslogLogSink() { ::openlog("quillon", LOG_PID, LOG_USER); }

SyslogLogSink::~SyslogLogSink() { ::closelog(); }

void SyslogLogSink::log(std::string_view line) {
  const std::string text(line);
  // "%s" so that a "%" inside the line is written as it stands.
  ::syslog(LOG_NOTICE, "%s", text.c_str());
}

}  // namespace quillon
