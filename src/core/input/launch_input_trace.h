#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace quillon {

class Clock;

// An optional diagnostic trace of the gesture, shared by the event tap and the router.
// It is off unless NOTCH_INPUT_TRACE_PATH names an acceptable absolute path; then each
// record is stamped with the uptime and appended, as one line, to that file (created
// 0600) on a background thread, so input handling never waits on the disk. A run writes
// at most 2000 records and 256 KiB, never appends to a file already that large, and
// stops queueing once those limits are reached.
//
// The path is hostile until proven otherwise: it is opened without following a symbolic
// link and without waiting (a FIFO with no reader is refused at once, not waited on), and
// only a regular file owned by this user with one link is written. Anything else turns
// tracing off for the run, with one log line. Other failures are silent: tracing must not
// disturb input.
class LaunchInputTrace {
 public:
  static constexpr const char* environmentVariable = "NOTCH_INPUT_TRACE_PATH";
  static constexpr std::size_t maximumBytes = 262144;
  static constexpr std::size_t maximumLines = 2000;
  static constexpr std::size_t maximumPathBytes = 1024;
  static constexpr const char* refusedLine =
      "[Quillon/input] input trace off: the path is not a regular file of this user with one link";

  // The process-wide trace; its path is read from the environment on first use.
  static LaunchInputTrace& shared();
  // The path tracing would use for this variable value, or none to stay off.
  static std::optional<std::string> acceptedPath(const char* value);

  // `path` absent = off. The clock stamps each record with its uptime.
  LaunchInputTrace(std::optional<std::string> path, const Clock& clock);
  ~LaunchInputTrace();
  LaunchInputTrace(const LaunchInputTrace&) = delete;
  LaunchInputTrace& operator=(const LaunchInputTrace&) = delete;

  bool isEnabled() const { return path_.has_value(); }
  // Returns at once; the line is written later, in order with the records before it.
  void record(std::string_view message);
  // Waits until every record made so far has been written or dropped.
  void flush();
  // Where the one refusal line goes, called from the writing thread; none = nowhere.
  // Once this returns the previous receiver is never called again.
  void reportRefusalTo(std::function<void(std::string_view)> receiver);

 private:
  void run();
  void append(const std::string& line);
  void refuse();

  const std::optional<std::string> path_;
  const Clock& clock_;

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable drained_;
  std::deque<std::string> pending_;
  bool writing_ = false;
  bool stopping_ = false;
  // Records accepted for writing, counted against the limits before they are queued.
  std::size_t queuedBytes_ = 0;
  std::size_t queuedLines_ = 0;
  bool refused_ = false;
  std::function<void(std::string_view)> refusalReceiver_;
  std::thread worker_;

  // Touched only by the worker.
  int fd_ = -1;
  std::size_t bytesWritten_ = 0;
  std::size_t linesWritten_ = 0;
};

}  // namespace quillon
