#include "core/storage/plist/launch_decoding_error.h"

namespace quillon {

std::string launchErrorText(LaunchDecodingError::Code code, const Error&) {
  switch (code) {
    case LaunchDecodingError::Code::unsupportedModifierChord: return "Empty or unsupported modifier chord";
  }
  return {};
}

}  // namespace quillon
