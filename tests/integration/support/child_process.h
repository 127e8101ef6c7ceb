#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/support/unique_fd.h"

namespace quillon {

// A child process started from a test, with pipes for its standard output and error.
// It is killed (SIGKILL) and reaped when the object goes away, so a failing test never
// leaves a process behind.
class ChildProcess {
 public:
  // Starts `arguments[0]` with `environment` added to (and overriding) the test's own.
  // With `outputIntoError`, standard output shares the error pipe, so that lines a child
  // prints on either can be waited for in the order it wrote them.
  ChildProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {},
               bool outputIntoError = false);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Reads exactly `count` bytes of standard output; false on end of file or when
  // `timeoutSeconds` pass first.
  bool readOutput(std::size_t count, double timeoutSeconds);
  // Reads standard error until a line equal to `line` arrives; false on end of file or
  // time-out. Everything read is kept in errorText().
  bool waitForErrorLine(const std::string& line, double timeoutSeconds);
  // The first complete line of standard error, starting at offset `from` or later, that
  // begins with `prefix`; none on end of file or time-out.
  std::optional<std::string> waitForErrorLineStartingWith(const std::string& prefix, double timeoutSeconds,
                                                          std::size_t from = 0);
  // The same for the first line `accept` takes.
  std::optional<std::string> waitForErrorLineWhere(const std::function<bool(std::string_view)>& accept,
                                                   double timeoutSeconds, std::size_t from);
  const std::string& errorText() const { return errorText_; }
  pid_t pid() const { return pid_; }
  // Whether the process is still running (not yet exited).
  bool isRunning();
  // Sends `signal` and waits for the exit; returns the wait status.
  int killAndWait(int signal);
  // Waits up to `timeoutSeconds` for the exit; the wait status, or none on time-out.
  std::optional<int> waitForExit(double timeoutSeconds);

 private:
  void reap();

  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
  UniqueFd output_;
  UniqueFd error_;
  std::string errorText_;
};

}  // namespace quillon
