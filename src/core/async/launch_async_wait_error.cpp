#include "core/async/launch_async_wait_error.h"

#include <fmt/format.h>

namespace quillon {

std::string launchErrorText(LaunchAsyncWaitError::Code code, const Error&) {
  int index = 0;
  switch (code) {
    case LaunchAsyncWaitError::Code::timedOut: index = 0; break;
    case LaunchAsyncWaitError::Code::alreadyRunning: index = 1; break;
  }
  return fmt::format("The operation couldn't be completed. (Quillon.LaunchAsyncWaitError error {}.)", index);
}

}  // namespace quillon
