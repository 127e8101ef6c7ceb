#pragma once

#include <optional>
#include <string>

#include "core/support/url.h"

namespace quillon {

// Where the program keeps its files: the folder "com.quillon.app" in the user's
// Application Support directory.
class DataDirectory {
 public:
  static constexpr const char* folderName = "com.quillon.app";

  // The stored files, addressed from the Application Support directory.
  static Url preferencesFileUrl(const Url& applicationSupport);
  static Url onboardingFileUrl(const Url& applicationSupport);
  // The data directory: the parent of the preferences file.
  static Url url(const Url& applicationSupport);

  // The Application Support directory of the freedesktop.org base-directory rules:
  // $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share; none when
  // neither gives an absolute path. Pass the variables' values (null when unset).
  static std::optional<std::string> xdgApplicationSupportPath(const char* xdgDataHome, const char* home);

  // Creates `path` and its missing parents with mode 0700, as the base-directory rules
  // ask; existing directories are left as they are. Returns 0 or the failing errno; the
  // caller need not act on it, because taking the instance lock reports an unusable
  // location to the user.
  static int createMissingPrivately(const std::string& path);
};

}  // namespace quillon
