#include "mac/os_log_sink.h"

#include <os/log.h>

#include <string>

namespace quillon {

namespace {

os_log_t quillonLog() {
  static os_log_t handle = os_log_create("com.quillon.app", "diagnostics");
  return handle;
}

}  // namespace

void OsLogSink::log(std::string_view line) {
  const std::string text(line);
  os_log(quillonLog(), "%{public}s", text.c_str());
}

}  // namespace quillon
