#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace quillon {

class LaunchClock;

// An optional diagnostic trace of the gesture, shared by the event tap and the router.
// It is off unless NOTCH_INPUT_TRACE_PATH names an acceptable absolute path; then each
// record is stamped with the uptime and appended, as one line, to that file (created
// 0600) on a background thread, so input handling never waits on the disk. A run writes
// at most 2000 records and 256 KiB, and never appends to a file already that large.
// Every failure is silent: tracing must not disturb input.
class LaunchInputTrace {
 public:
  static constexpr const char* environmentVariable = "NOTCH_INPUT_TRACE_PATH";
  static constexpr std::size_t maximumBytes = 262144;
  static constexpr std::size_t maximumLines = 2000;
  static constexpr std::size_t maximumPathBytes = 1024;

  // The process-wide trace; its path is read from the environment on first use.
  static LaunchInputTrace& shared();
  // The path tracing would use for this variable value, or none to stay off.
  static std::optional<std::string> acceptedPath(const char* value);

  // `path` absent = off. The clock stamps each record with its uptime.
  LaunchInputTrace(std::optional<std::string> path, const LaunchClock& clock);
  ~LaunchInputTrace();
  LaunchInputTrace(const LaunchInputTrace&) = delete;
  LaunchInputTrace& operator=(const LaunchInputTrace&) = delete;

  bool isEnabled() const { return path_.has_value(); }
  // Returns at once; the line is written later, in order with the records before it.
  void record(std::string_view message);
  // Waits until every record made so far has been written or dropped.
  void flush();

 private:
  void run();
  void append(const std::string& line);

  const std::optional<std::string> path_;
  const LaunchClock& clock_;

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable drained_;
  std::deque<std::string> pending_;
  bool writing_ = false;
  bool stopping_ = false;
  std::thread worker_;

  // Touched only by the worker.
  int fd_ = -1;
  std::size_t bytesWritten_ = 0;
  std::size_t linesWritten_ = 0;
};

}  // namespace quillon
