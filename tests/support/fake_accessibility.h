#pragma once

#include <optional>
#include <utility>
#include <vector>

#include "core/platform/accessibility.h"

namespace quillon {

// Trust and hit-test answers set by the test. Hits are given per rectangle (the first
// rectangle holding the point answers, as the front-most window would); a point outside
// all of them finds nothing. Every query is recorded with its time-out.
class FakeAccessibility final : public Accessibility {
 public:
  struct Query {
    GlobalPoint point;
    double timeout;
  };

  void setTrusted(bool trusted) { trusted_ = trusted; }
  void addHit(GlobalRect area, AccessibilityHit hit) { hits_.emplace_back(area, std::move(hit)); }
  void clearHits() { hits_.clear(); }

  const std::vector<Query>& queries() const { return queries_; }

  // Accessibility:
  bool isTrusted(bool /*prompt*/) override { return trusted_; }
  std::optional<AccessibilityHit> elementAtPoint(GlobalPoint quartzPoint, double messagingTimeoutSeconds) override {
    queries_.push_back({quartzPoint, messagingTimeoutSeconds});
    for (const auto& [area, hit] : hits_) {
      if (area.contains(quartzPoint)) return hit;
    }
    return std::nullopt;
  }

 private:
  bool trusted_ = true;
  std::vector<std::pair<GlobalRect, AccessibilityHit>> hits_;
  std::vector<Query> queries_;
};

}  // namespace quillon
