#include "core/switching/launch_switch_session.h"

#include <algorithm>
#include <set>

namespace quillon {

std::optional<Uuid> LaunchSwitchSession::begin(const Uuid& currentID, std::vector<Uuid> appIDs) {
  if (phase_ != Phase::idle || std::find(appIDs.begin(), appIDs.end(), currentID) == appIDs.end()) return std::nullopt;
  if (std::set<Uuid>(appIDs.begin(), appIDs.end()).size() != appIDs.size()) return std::nullopt;
  token_ = Uuid::random();
  appIDs_ = std::move(appIDs);
  originalID_ = selectedID_ = currentID;
  phase_ = Phase::preparing;
  return token_;
}

bool LaunchSwitchSession::activate(const Uuid& token) {
  if (token != token_ || phase_ != Phase::preparing) return false;
  phase_ = Phase::active;
  return true;
}

std::optional<Uuid> LaunchSwitchSession::advance(std::int64_t steps) {
  if (phase_ != Phase::active || !selectedID_) return std::nullopt;
  const auto found = std::find(appIDs_.begin(), appIDs_.end(), *selectedID_);
  if (found == appIDs_.end()) return std::nullopt;
  const auto count = static_cast<std::int64_t>(appIDs_.size());
  const auto index = static_cast<std::int64_t>(found - appIDs_.begin());
  selectedID_ = appIDs_[static_cast<std::size_t>(((index + steps % count) % count + count) % count)];
  return selectedID_;
}

std::optional<Uuid> LaunchSwitchSession::release(bool inside) {
  if (phase_ == Phase::committing) return std::nullopt;
  if (phase_ == Phase::active && inside && selectedID_ && selectedID_ != originalID_) {
    phase_ = Phase::committing;
    token_ = Uuid::random();
    return selectedID_;
  }
  reset();
  return std::nullopt;
}

}  // namespace quillon
