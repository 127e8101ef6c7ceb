#include "linux/linux_own_application.h"

#include <unistd.h>

#include "linux/linux_process_executable.h"

namespace quillon {

OwnApplication linuxOwnApplication() {
  return OwnApplication::fromExecutablePath(processExecutablePath(::getpid()).value_or(""));
}

}  // namespace quillon
