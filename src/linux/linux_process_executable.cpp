#include "linux/linux_process_executable.h"

#include <unistd.h>

#include <string_view>

namespace quillon {

std::optional<std::string> processExecutablePath(pid_t pid) {
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  std::string buffer(4096, '\0');
  const ssize_t length = ::readlink(link.c_str(), buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return std::nullopt;
  buffer.resize(static_cast<std::size_t>(length));
  constexpr std::string_view deleted = " (deleted)";
  if (buffer.size() > deleted.size() && buffer.ends_with(deleted)) buffer.resize(buffer.size() - deleted.size());
  return buffer;
}

}  // namespace quillon
