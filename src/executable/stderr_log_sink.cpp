#include "executable/stderr_log_sink.h"

#include <unistd.h>

#include <cerrno>
#include <string>

namespace quillon {

void StderrLogSink::log(std::string_view line) {
  // One write per line, so that lines from several threads or processes sharing the
  // descriptor do not interleave.
  std::string text(line);
  text.push_back('\n');
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t count = ::write(STDERR_FILENO, text.data() + written, text.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return;  // nowhere left to report it
    written += static_cast<std::size_t>(count);
  }
}

}  // namespace quillon
