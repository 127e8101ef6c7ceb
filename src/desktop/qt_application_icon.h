#pragma once

class QIcon;

namespace quillon {

// The application's own icon, compiled into the program so that it shows without an
// installed icon theme (alerts, the window icon).
QIcon qtApplicationIcon();

}  // namespace quillon
