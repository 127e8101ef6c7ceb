#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

namespace quillon {

// Sets (or, with none, unsets) one environment variable for the life of the object and
// restores the previous value afterwards, so tests that pick a language or a log sink
// do not leak into each other.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* old = ::getenv(name_.c_str())) previous_ = old;
    apply(value);
  }
  ~ScopedEnvironment() { apply(previous_); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  void apply(const std::optional<std::string>& value) const {
    if (value) {
      ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }
  std::string name_;
  std::optional<std::string> previous_;
};

}  // namespace quillon
