#pragma once

#include <exception>
#include <string>

namespace quillon {

// Stored data that parsed but holds a value the record cannot take (a data-corruption
// error). The description is for logs and tests; stores report it to the user as an
// invalid record.
class LaunchDecodingError : public std::exception {
 public:
  explicit LaunchDecodingError(std::string description) : description_(std::move(description)) {}
  const std::string& description() const { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  std::string description_;
};

}  // namespace quillon
