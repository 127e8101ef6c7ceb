#pragma once

namespace quillon {

// How switching runs for an app.
enum class LaunchImageRoute {
  preview,   // cards with the notch image
  iconOnly,  // icons without an image; the chord still switches
  menuOnly,  // the notch gesture is not available; only the status-bar menu switches
};

}  // namespace quillon
