#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

// One running sample notch app, started from its bundle with --announce. Waits read its
// announcement lines ("mapped window=… pid=…", "expanded", "collapsed") under a deadline,
// so tests follow the app's own events instead of sleeping. Stops it with SIGTERM.
class SampleAppProcess {
 public:
  // `bundleName` is the bundle's base name in the build's sample-apps folder ("Aurora").
  explicit SampleAppProcess(const std::string& bundleName, std::vector<std::string> extraArguments = {});
  ~SampleAppProcess();
  SampleAppProcess(const SampleAppProcess&) = delete;
  SampleAppProcess& operator=(const SampleAppProcess&) = delete;

  pid_t pid() const { return pid_; }
  std::uint32_t window() const { return window_; }
  // Readable when more announcement text has arrived (for waiting beside other work).
  int outputFd() const { return out_; }

  // The next announcement line, or empty when none arrives within the deadline.
  std::string nextLine(double deadlineSeconds = 20.0);
  // Reads lines until one equals `line`; false when the deadline passes first.
  bool waitFor(const std::string& line, double deadlineSeconds = 20.0);
  // Waits for the surface to be mapped; records its window number. False on time-out.
  bool waitUntilMapped(double deadlineSeconds = 20.0);

  // SIGTERM, then the exit status (-1 when it did not exit within the deadline).
  int terminate(double deadlineSeconds = 20.0);

 private:
  pid_t pid_ = -1;
  int pidFd_ = -1;  // becomes readable when the process ends
  int out_ = -1;
  std::string buffer_;
  std::uint32_t window_ = 0;
};

}  // namespace quillon
