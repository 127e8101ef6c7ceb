#pragma once

#include <optional>
#include <string>

namespace quillon {

// What a process's executable says about the application it belongs to. An
// executable at ".../Name.app/Contents/MacOS/<file>" belongs to that bundle, whose
// Info dictionary names the identifier; anything else is a process outside a bundle.
struct ProcessIdentity {
  std::optional<std::string> bundlePath;
  std::optional<std::string> bundleIdentifier;

  // `executablePath` as the kernel reports it: absolute and with links resolved.
  static ProcessIdentity forExecutable(const std::string& executablePath);

  friend bool operator==(const ProcessIdentity&, const ProcessIdentity&) = default;
};

}  // namespace quillon
