#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/support/uuid.h"

namespace quillon {

// One press-scroll-release gesture: which app it began on, which one is selected, and
// whether a release commits. A gesture yields at most one switch; once committing, it
// ignores further releases and cancellations until the commit is finished.
class LaunchSwitchSession {
 public:
  enum class Phase { idle, preparing, active, committing };

  // Starts preparing when idle and `currentID` is among `appIDs`, which hold no
  // duplicates; the new gesture's token, or none (nothing changes).
  std::optional<Uuid> begin(const Uuid& currentID, std::vector<Uuid> appIDs);
  // The carousel is shown: preparing becomes active for the same token.
  bool activate(const Uuid& token);
  // Moves the selection by `steps` with wrap-around in both directions.
  std::optional<Uuid> advance(std::int64_t steps);
  // The id to commit to when released inside the notch on another app; otherwise the
  // session resets (a committing session stays as it is).
  std::optional<Uuid> release(bool inside);
  void finishCommit() { reset(); }
  void cancel() {
    if (phase_ != Phase::committing) reset();
  }

  Phase phase() const { return phase_; }
  const Uuid& token() const { return token_; }
  const std::optional<Uuid>& selectedID() const { return selectedID_; }
  const std::optional<Uuid>& originalID() const { return originalID_; }
  const std::vector<Uuid>& appIDs() const { return appIDs_; }

 private:
  void reset() { *this = LaunchSwitchSession(); }

  Phase phase_ = Phase::idle;
  Uuid token_ = Uuid::random();
  std::optional<Uuid> selectedID_;
  std::optional<Uuid> originalID_;
  std::vector<Uuid> appIDs_;
};

}  // namespace quillon
