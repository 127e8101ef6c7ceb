#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/platform/log_sink.h"

namespace quillon {

class FakeLogSink final : public LogSink {
 public:
  void log(std::string_view line) override { lines_.emplace_back(line); }
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

}  // namespace quillon
