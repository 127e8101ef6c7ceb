#pragma once

#include <optional>
#include <string>
#include <utility>

#include "core/product/launch_single_instance.h"

namespace quillon {

// The outcome of taking the instance lock: acquired (with the lock), unavailable (with
// a message ready to show), or already running in another process.
class LaunchInstanceAcquisition {
 public:
  enum class Kind { acquired, unavailable, alreadyRunning };

  static LaunchInstanceAcquisition acquired(LaunchSingleInstance instance) {
    LaunchInstanceAcquisition result(Kind::acquired);
    result.instance_.emplace(std::move(instance));
    return result;
  }
  static LaunchInstanceAcquisition unavailable(std::string message) {
    LaunchInstanceAcquisition result(Kind::unavailable);
    result.message_ = std::move(message);
    return result;
  }
  static LaunchInstanceAcquisition alreadyRunning() { return LaunchInstanceAcquisition(Kind::alreadyRunning); }

  Kind kind() const { return kind_; }
  // The held lock of an `acquired` result (moved out; none afterwards or otherwise).
  std::optional<LaunchSingleInstance> takeInstance() { return std::exchange(instance_, std::nullopt); }
  // The message of an `unavailable` result.
  const std::string& message() const { return message_; }

 private:
  explicit LaunchInstanceAcquisition(Kind kind) : kind_(kind) {}
  Kind kind_;
  std::optional<LaunchSingleInstance> instance_;
  std::string message_;
};

}  // namespace quillon
