#pragma once

#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "core/async/task.h"
#include "core/support/url.h"

namespace quillon {

// The backup a reset wrote first, or the text of why nothing could be changed.
using LaunchResetResult = std::variant<Url, std::string>;

// Asks `confirm`, then runs `reset` (which backs the original up before writing
// anything). None when the user cancelled. A failure that is not a storage error
// reads as invalidRecord, as it does when a store loads.
Task<std::optional<LaunchResetResult>> confirmedReset(std::function<Task<bool>()> confirm, std::function<Url()> reset);

}  // namespace quillon
