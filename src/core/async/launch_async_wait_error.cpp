#include "core/async/launch_async_wait_error.h"

#include <fmt/format.h>

namespace quillon {

std::string genericDescription(LaunchAsyncWaitError error) {
  int index = 0;
  switch (error) {
    case LaunchAsyncWaitError::timedOut:
      index = 0;
      break;
    case LaunchAsyncWaitError::alreadyRunning:
      index = 1;
      break;
  }
  return fmt::format("The operation couldn't be completed. (Quillon.LaunchAsyncWaitError error {}.)", index);
}

}  // namespace quillon
