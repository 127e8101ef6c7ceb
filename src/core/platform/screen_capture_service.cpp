#include "core/platform/screen_capture_service.h"

namespace quillon {

std::string launchErrorText(LaunchCaptureServiceError::Code code, const Error& error) {
  switch (code) {
    case LaunchCaptureServiceError::Code::captureFailed:
      return "capture failed: " + error.platform().domain + " " + std::to_string(error.platform().code);
  }
  return {};
}

}  // namespace quillon
