#include "core/view_models/launch_confirmed_reset.h"

#include "core/storage/files/launch_storage_error.h"

namespace quillon {

Task<std::optional<LaunchResetResult>> confirmedReset(std::function<Task<bool>()> confirm, std::function<Url()> reset) {
  if (!confirm || !reset) co_return std::nullopt;
  Task<bool> confirmation = confirm();
  if (!co_await std::move(confirmation)) co_return std::nullopt;
  try {
    co_return LaunchResetResult(reset());
  } catch (const Error& error) {
    co_return LaunchResetResult(
        (error.code<LaunchStorageError::Code>() ? error : LaunchStorageError::invalidRecord).description());
  }
}

}  // namespace quillon
