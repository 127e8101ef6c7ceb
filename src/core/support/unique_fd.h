#pragma once

#include <unistd.h>

#include <utility>

namespace quillon {

// Owns one file descriptor. Every early return in descriptor-walking code closes what
// it opened; a leaked directory descriptor would keep a deleted folder alive and, for
// the instance lock, keep the lock held by a forked child.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(std::exchange(other.fd_, -1));
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }
  bool isValid() const { return fd_ >= 0; }
  explicit operator bool() const { return isValid(); }
  int release() { return std::exchange(fd_, -1); }

  // Linux and macOS both release the descriptor even when close() reports EINTR, so
  // close is never retried (a retry could close a descriptor another thread just got).
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

}  // namespace quillon
