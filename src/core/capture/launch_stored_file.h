#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// One record file of the preview archive as the directory listing saw it.
struct LaunchStoredFile {
  std::string name;
  std::uint64_t size = 0;
  double modifiedAt = 0;  // seconds since the Unix epoch; orders the files by age

  friend bool operator==(const LaunchStoredFile&, const LaunchStoredFile&) = default;
};

}  // namespace quillon
