#pragma once

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

// The areas of the product whose failures have names of their own. Each has one
// enumeration of codes and one function that puts a code into words.
enum class ErrorDomain {
  asyncWait,              // LaunchAsyncWaitError: a bounded wait gave up
  lifecycle,              // LaunchLifecycleError: a quit-open-verify transition failed
  openApplication,        // LaunchOpenApplicationError: the platform could not open an app
  surfaceCapture,         // SurfaceCaptureError: probing or capturing a notch surface failed
  storage,                // LaunchStorageError: local data could not be read or written
  decoding,               // LaunchDecodingError: stored data parsed but holds a value its record cannot take
  onboardingApplication,  // LaunchOnboardingApplicationError: a chosen bundle cannot be registered
  appRegistration,        // AppRegistrationError: the menu could not add an app
  runningApplications,    // LaunchRunningApplicationsError: the running applications could not all be read
  captureService,         // LaunchCaptureServiceError: the platform's capture service failed
};

// A code enumeration names its domain through `launchErrorDomain(code)` and its words
// through `launchErrorText(code, error)` (the error for what the code carries beside it),
// both found beside the enumeration.
template <class Code>
concept ErrorCode = std::is_enum_v<Code> && requires(Code code) {
  { launchErrorDomain(code) } -> std::same_as<ErrorDomain>;
};

// A failure a platform service reported in its own terms: its error domain and code,
// kept for the log and never shown to the user.
struct PlatformFailure {
  std::string domain;
  long code = 0;
  friend bool operator==(const PlatformFailure&, const PlatformFailure&) = default;
};

// Every failure as one value: the domain, a code of the domain's enumeration, and what
// little a code needs beside it (the errno of a failed system call, for the log; the
// windows an ambiguous match found; the platform's own domain and code). Returned
// through `Result`, or thrown by value where a coroutine must fail; its fixed text
// comes from the domain's one mapping.
class Error {
 public:
  template <ErrorCode Code>
  Error(Code code, int errnoValue = 0, std::vector<std::uint32_t> windowIDs = {})  // NOLINT: a code is an error
      : domain_(launchErrorDomain(code)),
        code_(static_cast<int>(code)),
        errnoValue_(errnoValue),
        windowIDs_(std::move(windowIDs)),
        text_([](const Error& error) { return launchErrorText(static_cast<Code>(error.code_), error); }) {}
  template <ErrorCode Code>
  Error(Code code, PlatformFailure platform) : Error(code) {
    platform_ = std::move(platform);
  }

  ErrorDomain domain() const { return domain_; }
  // The code when the error is of `Code`'s domain.
  template <ErrorCode Code>
  std::optional<Code> code() const {
    if (domain_ != launchErrorDomain(Code{})) return std::nullopt;
    return static_cast<Code>(code_);
  }
  template <ErrorCode Code>
  bool is(Code code) const {
    return this->code<Code>() == code;
  }
  int errnoValue() const { return errnoValue_; }
  const std::vector<std::uint32_t>& windowIDs() const { return windowIDs_; }
  const PlatformFailure& platform() const { return platform_; }
  // The domain's fixed text for the code.
  std::string description() const { return text_(*this); }

  friend bool operator==(const Error& a, const Error& b) {
    return a.domain_ == b.domain_ && a.code_ == b.code_ && a.errnoValue_ == b.errnoValue_ &&
           a.windowIDs_ == b.windowIDs_ && a.platform_ == b.platform_;
  }

 private:
  ErrorDomain domain_;
  int code_;
  int errnoValue_;
  std::vector<std::uint32_t> windowIDs_;
  PlatformFailure platform_;
  std::string (*text_)(const Error&);
};

}  // namespace quillon
