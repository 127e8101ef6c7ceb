#pragma once

#include <optional>
#include <string>

#include "core/support/url.h"

namespace quillon {

// The one place that turns paths and URLs into the forms in which bundle locations are
// compared, so two callers never disagree on whether two locations are the same.

// The path with every symbolic link, "." and ".." resolved; none when a component is
// missing or cannot be searched.
std::optional<std::string> resolvedPath(const std::string& path);

// A file URL standardized and resolved, as a directory URL when it names a directory;
// none for another scheme or a location that does not resolve.
std::optional<Url> resolvedLocation(const Url& url);

// The form in which two locations are compared: `resolvedLocation`, or the
// standardized URL of a location that does not (or no longer) exist.
Url canonicalLocation(const Url& url);

// The bundle an executable at ".../Name.app/Contents/MacOS/<file>" belongs to (the
// extension in any case); none for an executable anywhere else or a relative path.
// Only the path is examined.
std::optional<std::string> bundlePathOfExecutable(const std::string& executablePath);

}  // namespace quillon
