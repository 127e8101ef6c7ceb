#include "executable/log_sink_selection.h"

#include <string>
#include <string_view>

#include "executable/stderr_log_sink.h"

namespace quillon {

std::unique_ptr<LogSink> makeLogSink(const char* override, const std::function<std::unique_ptr<LogSink>()>& systemLog) {
  const std::string_view choice = override != nullptr ? override : "";
  if (choice == "stderr") return std::make_unique<StderrLogSink>();
  auto sink = systemLog();
  if (!choice.empty() && choice != "syslog") {
    sink->log("[Quillon/startup] unknown QUILLON_LOG value \"" + std::string(choice) + "\"; using the system log");
  }
  return sink;
}

}  // namespace quillon
