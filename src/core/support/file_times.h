#pragma once

#include <ctime>

namespace quillon {

// A file's modification and status-change times from its stat record. POSIX names them
// st_mtim and st_ctim; Darwin's record has the same values as st_mtimespec and
// st_ctimespec. The member is chosen by what the record has, so no platform test is
// needed and a platform with neither fails to compile here rather than elsewhere.
template <class Stat>
timespec modificationTimeOf(const Stat& info) {
  if constexpr (requires { info.st_mtim; }) {
    return info.st_mtim;
  } else {
    return info.st_mtimespec;
  }
}

template <class Stat>
timespec changeTimeOf(const Stat& info) {
  if constexpr (requires { info.st_ctim; }) {
    return info.st_ctim;
  } else {
    return info.st_ctimespec;
  }
}

}  // namespace quillon
