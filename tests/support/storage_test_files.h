#pragma once

#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <ostream>
#include <set>
#include <string>

#include "core/storage/files/launch_storage_error.h"
#include "core/support/bytes.h"

namespace quillon {
// Readable failures: the error's text and errno instead of a byte dump.
inline void PrintTo(const Error& error, std::ostream* out) {
  *out << error.description() << " (errno " << error.errnoValue() << ")";
}
}  // namespace quillon

namespace quillon::testing_files {

// The storage error `operation` threw, or none.
inline std::optional<Error> errorOf(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const Error& error) {
    return error;
  }
  return std::nullopt;
}

inline void writeFile(const std::filesystem::path& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline Bytes readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline std::string readText(const std::filesystem::path& path) { return stringOf(readFile(path)); }

// The names in `directory` (not recursive).
inline std::set<std::string> entries(const std::filesystem::path& directory) {
  std::set<std::string> names;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(directory, ignored))
    names.insert(entry.path().filename());
  return names;
}

// Makes every write past `bytes` in a regular file fail with EFBIG (root included) for
// the life of the object: a deterministic disk-full stand-in, since tests run as root
// and permissions do not stop them.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &previous_);
    previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~ScopedFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    ::signal(SIGXFSZ, previousHandler_);
  }
  ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
  ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

 private:
  rlimit previous_{};
  sighandler_t previousHandler_ = SIG_DFL;
};

}  // namespace quillon::testing_files
