#pragma once

#include <string>

namespace quillon {

// The user's language preference as the platform states it.
class Locale {
 public:
  Locale() = default;
  Locale(const Locale&) = delete;
  Locale& operator=(const Locale&) = delete;
  virtual ~Locale() = default;

  // The preferred language or locale name ("ja", "en_US.UTF-8", "C"); empty when the
  // platform names none.
  virtual std::string preferredLanguage() const = 0;
};

}  // namespace quillon
