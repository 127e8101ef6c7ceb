#pragma once

#include <functional>
#include <memory>

#include "core/platform/log_sink.h"

namespace quillon {

// The one place that chooses where diagnostics go: QUILLON_LOG=stderr sends them to
// standard error (tests, bug reports); unset or "syslog" is the system log, which
// `systemLog` makes (syslog on Linux, the unified log on macOS). Any other value falls
// back to the system log and says so there.
std::unique_ptr<LogSink> makeLogSink(const char* override, const std::function<std::unique_ptr<LogSink>()>& systemLog);

}  // namespace quillon
