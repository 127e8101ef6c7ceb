#pragma once

#include <string>

namespace quillon {

// The user's language preference as the platform states it.
class LaunchLocale {
 public:
  LaunchLocale() = default;
  LaunchLocale(const LaunchLocale&) = delete;
  LaunchLocale& operator=(const LaunchLocale&) = delete;
  virtual ~LaunchLocale() = default;

  // The preferred language or locale name ("ja", "en_US.UTF-8", "C"); empty when the
  // platform names none.
  virtual std::string preferredLanguage() const = 0;
};

}  // namespace quillon
