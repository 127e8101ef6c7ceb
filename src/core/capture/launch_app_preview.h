#pragma once

#include "core/support/bitmap.h"
#include "core/support/url.h"

namespace quillon {

// An app's last preview image and the bundle it was taken from. The URL travels with
// the image so that a registry ID re-used for another bundle never shows a stale image.
struct LaunchAppPreview {
  Url applicationURL;  // normalised, see normalizedURL
  Bitmap image;
  double savedAt = 0;  // when it was taken, in the clock's wall time: the carousel shows its age

  // The form in which bundle locations are compared: standardised, symbolic links
  // resolved where the path exists, as a directory URL. A non-file URL is returned as
  // it is (it never matches a registered bundle).
  static Url normalizedURL(const Url& url);
};

}  // namespace quillon
