#pragma once

#include <string_view>

namespace quillon {

// Lays a platform's string tables over the common ones: where the users of a platform
// have other words for a thing (its keys, file manager or settings), its table holds
// them, keyed like the common tables, and L10n::text finds them first; every other text
// stays as written. Called once at start, before any text is shown, by the code that
// builds the platform; both views must outlive the program (embedded tables do). Empty
// tables take the platform's words away again.
void usePlatformStringTables(std::string_view japanese, std::string_view english);

}  // namespace quillon
