#pragma once

#include <optional>

#include "core/support/url.h"

namespace quillon {

class Bundle;

// A bundle that passed the strict check made immediately before it is launched: a
// local application bundle ("APPL") whose executable is a runnable regular file inside
// it. Both URLs are canonical, so a link swapped in after registration is seen here.
struct ValidatedLaunchApplication {
  Url url;            // canonical bundle directory URL
  Url executableURL;  // canonical URL of the executable

  // Throws LaunchLifecycleError::invalidApplicationURL or ::invalidExecutable.
  static ValidatedLaunchApplication validate(const Url& url);

  // The form in which bundle locations are compared: standardized, links resolved, an
  // existing directory, as a directory file URL. None when any of that fails.
  static std::optional<Url> canonical(const Url& url);

  // The canonical executable of a bundle opened at `canonicalBundle`: it must resolve
  // to a path inside the bundle, be a regular file and be executable. None otherwise.
  static std::optional<Url> canonicalExecutable(const Bundle& bundle, const Url& canonicalBundle);

  friend bool operator==(const ValidatedLaunchApplication&, const ValidatedLaunchApplication&) = default;
};

// The path extension, lower-cased, is "app" (".APP" counts; the platform's file system
// is case-insensitive and so are its bundle checks).
bool hasApplicationExtension(const Url& url);

}  // namespace quillon
