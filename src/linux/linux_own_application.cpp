#include "linux/linux_own_application.h"

#include <unistd.h>

#include <string>

namespace quillon {

LaunchOwnApplication linuxOwnApplication() {
  std::string buffer(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
    return LaunchOwnApplication::fromExecutablePath({});
  }
  buffer.resize(static_cast<std::size_t>(length));
  return LaunchOwnApplication::fromExecutablePath(buffer);
}

}  // namespace quillon
